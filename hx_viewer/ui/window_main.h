#pragma once

#include "vw_window_base.h"

#include <QList>
#include <QString>

class QHBoxLayout;
class QShortcut;
class VwFrameLeft;
class VwFrameRight;
class VwWebView;
class VwReportCommand;

// The viewer's main window: the title bar over a video column and a
// telemetry column. It owns the window commands, the full-screen and
// maximised layouts and the window's keys.
class WindowMain : public VwWindowBase
{
    Q_OBJECT

public:
    static WindowMain *instance();

    bool maximizedMode = false;
    bool swappedForFullScreen = false;
    QHBoxLayout *mainLayout = nullptr;
    VwFrameLeft *frameLeft = nullptr;
    VwFrameRight *frameRight = nullptr;
    QShortcut *escapeShortcut = nullptr;
    QShortcut *returnShortcut = nullptr;
    QShortcut *enterShortcut = nullptr;
    bool firstShow = true;
    // The map window, toggled by the title bar's map button.
    VwWebView *mapView = nullptr;

    // The report command behind onStartReport, made on first use.
    VwReportCommand *reportCommand();

Q_SIGNALS:
    // Full screen from the sub video pane shows the other camera in the main
    // pane: asked once on the way in and once on the way out.
    void swapCamerasRequested();

public Q_SLOTS:
    void onCloseApplication();
    void onShowInfo();
    void onMinimize();
    void onFullScreen();
    void onFullScreenSub();
    void onMaximize();
    void onLoadingListStart(bool bLoading);
    void onFoldersUnreadable(int count);
    void onLoadingListEnd(bool bLoading);
    void onStartReport();
    void onStartCapture();
    void onRequestVideoCaptureDone(QList<QString> *fileList);
    void onVideoCaptureFailed();
    void onMap();
    void onNext();
    void onPrevious();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    // An open popup (a completer, a drop-down list) takes its plain keys
    // before the window's application-wide shortcuts.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // A folder or a recording file dropped on the window opens like the open button.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    explicit WindowMain(QWidget *parent = nullptr);
    QShortcut *addShortcut(const QKeySequence &key);
    void toggleEnlarged(bool fromMaximize);

    VwReportCommand *m_reportCommand = nullptr;
};
