#include "window_main.h"

#include "hx_button.h"
#include "hx_frame_title.h"
#include "hx_ui_log.h"
#include "vw_app.h"
#include "vw_dialog_progress.h"
#include "vw_frame_left.h"
#include "vw_frame_list.h"
#include "vw_frame_play.h"
#include "vw_frame_right.h"
#include "vw_frame_video_main.h"
#include "vw_frame_video_sub.h"
#include "vw_key_event.h"
#include "vw_language.h"
#include "vw_play_process.h"
#include "vw_player.h"
#include "vw_popup_capture.h"
#include "vw_popup_info.h"
#include "vw_popup_message.h"
#include "vw_report_command.h"
#include "vw_style.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "vw_web_view.h"
#include "vw_widget_video_list.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QShortcut>
#include <QTimer>

namespace {
const QSize kWindowSize(1094, 687);
constexpr int kLayoutMargin = 4;
constexpr int kFocusRestoreDelayMs = 10;
// How long a file step button stays off after a step.
constexpr int kFileStepHoldMs = 300;
} // namespace

WindowMain *WindowMain::instance()
{
    static WindowMain *window = new WindowMain;
    return window;
}

WindowMain::WindowMain(QWidget *parent)
    : VwWindowBase(parent, QString(), QStringLiteral("title_logo_kv.png"), false)
{
    setWindowTitle(QStringLiteral("KT-LV550N_A"));
    setFixedSize(kWindowSize);

    VwApp *app = VwApp::instance();
    app->mainWindow = this;
    app->installShortcuts();

    mainLayout = new QHBoxLayout(mainWidget);
    mainLayout->setContentsMargins(kLayoutMargin, kLayoutMargin, kLayoutMargin, kLayoutMargin);
    mainLayout->setSpacing(kLayoutMargin);
    frameLeft = new VwFrameLeft(mainWidget);
    mainLayout->addWidget(frameLeft);
    frameRight = new VwFrameRight(mainWidget);
    mainLayout->addWidget(frameRight);
    VwPlayProcess::instance()->attach(frameRight->fileList->table);
    setAcceptDrops(true);
    mapView = VwWebView::instance(this);

    escapeShortcut = addShortcut(QKeySequence(Qt::Key_Escape));
    escapeShortcut->setEnabled(false);
    returnShortcut = addShortcut(QKeySequence(Qt::Key_Return));
    enterShortcut = addShortcut(QKeySequence(Qt::Key_Enter));
    qApp->installEventFilter(this);

    connect(titleBar->title_close, &QPushButton::clicked, this, &WindowMain::onCloseApplication);
    connect(titleBar->title_minimize, &QPushButton::clicked, this, &WindowMain::onMinimize);
    connect(titleBar->title_info, &QPushButton::clicked, this, &WindowMain::onShowInfo);
    connect(titleBar->title_map, &QPushButton::clicked, this, &WindowMain::onMap);
    connect(titleBar->infoShortcut, &QShortcut::activated, this, &WindowMain::onShowInfo);
    connect(escapeShortcut, &QShortcut::activated, this, &WindowMain::onFullScreen);
    connect(returnShortcut, &QShortcut::activated, this, &WindowMain::onFullScreen);
    connect(enterShortcut, &QShortcut::activated, this, &WindowMain::onFullScreen);
    connect(VwVideoFileList::instance(), &VwVideoFileList::listUpdateStarted, this,
            &WindowMain::onLoadingListStart);
    connect(VwVideoFileList::instance(), &VwVideoFileList::listUpdateEnd, this,
            &WindowMain::onLoadingListEnd);
    connect(VwVideoFileList::instance(), &VwVideoFileList::foldersUnreadable, this,
            &WindowMain::onFoldersUnreadable, Qt::QueuedConnection);
    connect(VwPlayer::instance(), &VwPlayerBase::positionChanged, mapView,
            &VwWebView::onPositionChanged);
    connect(VwPlayer::instance(), &VwPlayerBase::playEvent, mapView, &VwWebView::onPlayEvent);
    connect(titleBar->title_capture, &QPushButton::clicked, this, &WindowMain::onStartCapture);
    connect(titleBar->title_report, &QPushButton::clicked, this, &WindowMain::onStartReport);
    connect(titleBar->captureShortcut, &QShortcut::activated, this, &WindowMain::onStartCapture);
    connect(titleBar->reportShortcut, &QShortcut::activated, this, &WindowMain::onStartReport);
    connect(frameLeft->playBar, &VwFramePlay::nextRequested, this, &WindowMain::onNext);
    connect(frameLeft->playBar, &VwFramePlay::previousRequested, this, &WindowMain::onPrevious);
    connect(frameLeft->playBar, &VwFramePlay::openRequested, frameRight->fileList, &VwFrameList::onOpen);
    connect(titleBar->title_maximize, &QPushButton::clicked, this, &WindowMain::onMaximize);
    // Before main asks for the folder named on the command line.
    connect(app, &VwApp::openFolderRequested, frameRight->fileList, &VwFrameList::openFolder);
    connect(frameLeft->mainVideo, &VwFrameVideoBase::fullScreenRequested, this, &WindowMain::onFullScreen);
    connect(frameRight->subVideo, &VwFrameVideoBase::fullScreenRequested, this, &WindowMain::onFullScreenSub);

    // The pane's own swap button is held off for a moment after each swap;
    // the window's swaps start no such pause, so that leaving full screen
    // right after entering it still swaps the cameras back.
    VwPlayer *player = VwPlayer::instance();
    connect(this, &WindowMain::swapCamerasRequested, player, [player] { player->toggleSwap(true); });
    // Queued: the capture dialog is modal and must not run inside the
    // player's capture call.
    qRegisterMetaType<QList<QString> *>();
    connect(player, &VwPlayer::videoCaptureDone, this, &WindowMain::onRequestVideoCaptureDone,
            Qt::QueuedConnection);
    connect(player, &VwPlayer::videoCaptureFailed, this, &WindowMain::onVideoCaptureFailed,
            Qt::QueuedConnection);
}

QShortcut *WindowMain::addShortcut(const QKeySequence &key)
{
    auto *shortcut = new QShortcut(key, this);
    shortcut->setContext(Qt::ApplicationShortcut);
    return shortcut;
}

bool WindowMain::eventFilter(QObject *watched, QEvent *event)
{
    // Qt lets application shortcuts fire while a popup is open, so Return in
    // a folder field's completion list would switch to full screen instead
    // of picking the folder. An accepted override hands the key to the popup.
    if (event->type() == QEvent::ShortcutOverride && QApplication::activePopupWidget()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            event->accept();
            return true;
        }
    }
    return VwWindowBase::eventFilter(watched, event);
}

void WindowMain::onCloseApplication()
{
    qCDebug(lcHxUi) << "WindowMain::onCloseApplication";
    mapView->release();
    Q_EMIT VwApp::instance()->appEvent(VwApp::EVENT_APP_CLOSE, 0);
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

void WindowMain::onShowInfo()
{
    // Playback pauses behind the popup; with nothing loaded there is nothing to pause.
    VwPlayer::instance()->prepareForCapture();
    VwPopupInfo popup(this, QString(), QString());
    popup.exec();
}

void WindowMain::onMinimize()
{
    showMinimized();
}

void WindowMain::onFullScreen()
{
    if (VwKeyEvent::instance()->isKeyHeld())
        return;
    toggleEnlarged(false);
}

void WindowMain::onFullScreenSub()
{
    // Checked here as well: a refused relayout must not leave the cameras swapped.
    if (VwKeyEvent::instance()->isKeyHeld())
        return;
    swappedForFullScreen = true;
    Q_EMIT swapCamerasRequested();
    onFullScreen();
}

void WindowMain::onMaximize()
{
    if (VwKeyEvent::instance()->isKeyHeld()) {
        // The click has already toggled the checkable button; put it back.
        titleBar->title_maximize->setChecked(isFullScreen());
        return;
    }
    toggleEnlarged(true);
}

void WindowMain::toggleEnlarged(bool fromMaximize)
{
    VwApp *app = VwApp::instance();
    const bool entering = !isFullScreen();
    const int param = fromMaximize ? 1 : 0;
    qCDebug(lcHxUi) << "WindowMain::toggleEnlarged" << (entering ? "enter" : "leave") << param;
    // The window stays mapped throughout: hidden and shown again at once, it
    // would be withdrawn by the window manager after it asked for full
    // screen, and the manager drops the request with the withdrawal.
    Q_EMIT app->appEvent(entering ? VwApp::EVENT_FULLSCREEN_ENTER : VwApp::EVENT_FULLSCREEN_LEAVE,
                         param);
    if (entering) {
        if (fromMaximize)
            maximizedMode = true;
        mainLayout->setContentsMargins(0, 0, 0, 0);
        mainLayout->setSpacing(0);
        // A window of fixed size cannot be made full screen by the window system.
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        showFullScreen();
        escapeShortcut->setEnabled(true);
    } else {
        if (fromMaximize)
            maximizedMode = false;
        if (!fromMaximize && swappedForFullScreen) {
            swappedForFullScreen = false;
            Q_EMIT swapCamerasRequested();
        }
        mainLayout->setContentsMargins(kLayoutMargin, kLayoutMargin, kLayoutMargin, kLayoutMargin);
        mainLayout->setSpacing(kLayoutMargin);
        showNormal();
        setFixedSize(kWindowSize);
        escapeShortcut->setEnabled(false);
        QTimer::singleShot(kFocusRestoreDelayMs, this, [this] { setFocus(); });
    }
    const int shownParam = fromMaximize ? 1 : int(maximizedMode);
    Q_EMIT app->appEvent(entering ? VwApp::EVENT_FULLSCREEN_ENTERED : VwApp::EVENT_FULLSCREEN_LEFT,
                         shownParam);
    // Leaving by Escape or Return ends a maximised layout as well.
    if (!entering)
        maximizedMode = false;
}

void WindowMain::onLoadingListStart(bool bLoading)
{
    // Whatever the list does next (a new card, another group), the recording
    // being played may no longer be in it.
    qCDebug(lcHxUi) << "WindowMain::onLoadingListStart" << bLoading;
    VwPlayer::instance()->onUserStop();
    if (bLoading) {
        const bool japanese = VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE;
        VwDialogProgress::showProgress(japanese ? QStringLiteral("ファイルOPEN")
                                                : QStringLiteral("Open files..."),
                                       false);
    }
}

void WindowMain::onLoadingListEnd(bool bLoading)
{
    if (bLoading)
        VwDialogProgress::closeProgress();
}

void WindowMain::onFoldersUnreadable(int count)
{
    const bool japanese = VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE;
    const QString text = japanese
        ? QStringLiteral("名前を読み取れないフォルダーが%1個あります。\nその中の録画は一覧に表示されません。").arg(count)
        : QStringLiteral("%1 folder(s) could not be read: their names are not valid text.\nTheir recordings are not listed.").arg(count);
    VwPopupMessage popup(this, QStringLiteral("注意"), text);
    popup.exec();
}

void WindowMain::onStartReport()
{
    if (VwKeyEvent::instance()->isKeyHeld())
        return;
    qCDebug(lcHxUi) << "WindowMain::onStartReport";
    reportCommand()->start();
}

VwReportCommand *WindowMain::reportCommand()
{
    if (!m_reportCommand)
        m_reportCommand = new VwReportCommand(this);
    return m_reportCommand;
}

void WindowMain::onStartCapture()
{
    if (VwKeyEvent::instance()->isKeyHeld())
        return;
    qCDebug(lcHxUi) << "WindowMain::onStartCapture";
    VwPlayer::instance()->startCapture();
}

void WindowMain::onRequestVideoCaptureDone(QList<QString> *fileList)
{
    if (!fileList || fileList->isEmpty())
        return;
    VwPopupCapture dialog(this, fileList);
    // A failed save has shown why; the dialog comes back so that another
    // folder can be chosen or the capture cancelled.
    bool saved = false;
    while (!saved && dialog.exec() == QDialog::Accepted)
        saved = dialog.save();
    if (!saved)
        dialog.discard();
}

void WindowMain::onVideoCaptureFailed()
{
    VwPopupCapture::showWarning(
        this, VwPopupCapture::failureText(VwApp::instance()->appPath(VwApp::PATH_BACKUP), QString()));
}

void WindowMain::onMap()
{
    if (!mapView->prepareToShow()) {
        mapView->onClose();
        return;
    }
    mapView->show();
    mapView->setFocus(Qt::OtherFocusReason);
}

void WindowMain::onNext()
{
    disableFor(frameLeft->playBar->nextButton, kFileStepHoldMs);
    frameRight->fileList->table->onNext();
}

void WindowMain::onPrevious()
{
    disableFor(frameLeft->playBar->previousButton, kFileStepHoldMs);
    frameRight->fileList->table->onPrevious();
}

void WindowMain::keyPressEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return;
    VwKeyEvent::instance()->keyPress(event->key());
}

void WindowMain::keyReleaseEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return;
    VwKeyEvent::instance()->keyRelease(event->key());
}

void WindowMain::showEvent(QShowEvent *event)
{
    VwWindowBase::showEvent(event);
    firstShow = false;
    VwLanguage *language = VwLanguage::instance();
    if (language->language != VwLanguage::LANGUAGE_JAPANESE)
        language->applyLanguage();
}

void WindowMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (!frameRight->fileList->isBusy() && !VwFrameList::openablePath(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void WindowMain::dropEvent(QDropEvent *event)
{
    const QString path = VwFrameList::openablePath(event->mimeData());
    if (path.isEmpty() || frameRight->fileList->isBusy()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Opened once the drop is over: the drag source waits for this handler,
    // and opening may ask the user something.
    VwFrameList *panel = frameRight->fileList;
    QTimer::singleShot(0, panel, [panel, path] { panel->openFolder(path); });
}
