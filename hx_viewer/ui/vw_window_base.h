#pragma once

#include <QMainWindow>

class HxFrameTitle;
class QVBoxLayout;
class VwWidgetDrag;

// A frameless top-level window with its own title bar, moved by dragging the
// title area. Content goes into mainWidget.
class VwWindowBase : public QMainWindow
{
    Q_OBJECT

public:
    VwWindowBase(QWidget *parent, const QString &title, const QString &logo, bool modal);

    VwWidgetDrag *dragHelper = nullptr;
    QWidget *centralArea = nullptr;
    QVBoxLayout *centralLayout = nullptr;
    HxFrameTitle *titleBar = nullptr;
    QWidget *mainWidget = nullptr;

Q_SIGNALS:
    void closeSignal();
};
