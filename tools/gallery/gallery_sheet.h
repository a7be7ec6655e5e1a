#pragma once

#include <QStringList>
#include <QWidget>

class QGridLayout;
class QPushButton;

// One sheet with every image button of the viewer in each of its states,
// the text buttons, labels, sliders, check boxes and the plain images.
class GallerySheet : public QWidget
{
    Q_OBJECT

public:
    explicit GallerySheet(QWidget *parent = nullptr);

    // Images the sheet asked for that are not in the resources.
    QStringList missingImages() const { return m_missing; }
    // Shows the sheet and pictures it, the hover cells with the pointer on them.
    QPixmap render();

private:
    enum Kind { FourState, Checkable, Single };
    enum State { Normal, Hover, Pressed, Disabled, Checked, CheckedHover, CheckedPressed, CheckedDisabled };

    void addHeader(const QString &title);
    void addImageButtonRow(const QString &name, Kind kind, const QSize &size);
    void addStyledButtonRow(const QString &objectName, const QSize &size, const char *property,
                            bool checkable);
    void addTextButtonRow(const QString &objectName, const QSize &size);
    void addWidgetRow(const QString &title, const QList<QWidget *> &widgets);
    void addOtherWidgets();
    void addPlainImages();
    QWidget *imageLabel(const QString &name);
    void checkImage(const QString &name);
    void putInState(QPushButton *button, State state);
    static QString stateName(State state);

    QGridLayout *m_grid = nullptr;
    int m_row = 0;
    QStringList m_missing;
    QList<QPushButton *> m_hoverButtons;
};
