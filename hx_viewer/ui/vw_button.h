#pragma once

#include <QPushButton>

class QLayout;
class QSize;

// The program's push button. It never takes the keyboard focus, so the main
// window keeps receiving the navigation keys, and it leaves the language
// table when it is destroyed.
class VwButton : public QPushButton
{
    Q_OBJECT

public:
    explicit VwButton(QWidget *parent = nullptr);
    ~VwButton() override;

    // A button whose look comes from the application style sheet rule for
    // `objectName` ("button", "popup_button", ...). A non-empty tooltip is
    // registered as the Japanese tooltip; the caller registers the English one.
    static VwButton *create(QWidget *parent, QLayout *layout, const QString &objectName,
                            const QString &tooltip, const QSize &size);

    void setEnglishToolTip(const QString &english);
    // A tooltip that follows a state (play/pause, mute...): both languages are
    // registered anew and the current one is shown, so that a language switch
    // keeps the text of the state the button is in.
    void setToolTips(const QString &japanese, const QString &english);

protected:
    // Shared by the factories of this class and HxButton.
    static void setUp(VwButton *button, const QString &objectName, const QString &tooltip,
                      const QSize &size);
};
