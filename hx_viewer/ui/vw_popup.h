#pragma once

#include <QDialog>

class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QVBoxLayout;
class TitleWidget;
class VwButton;
class VwWidgetDrag;

// The frame every dialog of the viewer is built on: a title bar, a dark
// content area and a button bar, without a window-system frame. Dialogs fill
// the content area and the button bar themselves.
class VwPopup : public QDialog
{
    Q_OBJECT

public:
    VwPopup(QWidget *parent, const QString &title, const QString &logo, Qt::WindowFlags flags);

    // Fills the frame as the language chooser; the chosen entry lands in languageChoice.
    void setupLanguageChooser();

    TitleWidget *titleWidget() const { return _titleWidget; }
    QWidget *contentArea() const { return _contentArea; }
    QWidget *buttonBar() const { return _buttonBar; }
    VwButton *okButton() const { return _okButton; }
    VwButton *cancelButton() const { return _cancelButton; }

    // The chooser's entry: 0 follows the system, 1 Japanese, 2 English.
    static int languageChoice;

public Q_SLOTS:
    void onLanguageSelected(int index);

protected:
    static bool isJapanese();
    // The framed panel that fills the content area of most dialogs, with the
    // dialogs' margins; returns its layout, aligned to the top.
    QVBoxLayout *addContentPanel();

    TitleWidget *_titleWidget = nullptr;
    QVBoxLayout *_mainLayout = nullptr;
    QWidget *_contentArea = nullptr;
    QWidget *_buttonBar = nullptr;
    QHBoxLayout *_buttonLayout = nullptr;
    VwWidgetDrag *_dragHelper = nullptr;
    VwButton *_okButton = nullptr;
    VwButton *_cancelButton = nullptr;
};

// Small layout helpers shared by the dialogs.
QLabel *addTextLabel(QWidget *parent, QBoxLayout *layout, const QString &text,
                     const QString &objectName);
void addFixedSpacer(QBoxLayout *layout, int width, int height);
