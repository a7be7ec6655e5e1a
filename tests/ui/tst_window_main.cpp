#include "hx_button.h"
#include "hx_frame_title.h"
#include "hx_modal_answerer.h"
#include "hx_test_viewer.h"
#include "vw_app.h"
#include "vw_frame_eq.h"
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
#include "vw_popup_info.h"
#include "vw_popup_message.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "vw_widget_drag.h"
#include "window_main.h"

#include <QApplication>
#include <QBoxLayout>
#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(VwApp::Event)

using EventList = QList<QPair<int, int>>;
Q_DECLARE_METATYPE(EventList)

class TestWindowMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void geometry_data();
    void geometry();
    void returnTwice();
    void maximizeThenEscape();
    void fullScreenAfterMaximizeCarriesNoStaleParam();
    void fullScreenFromSubPaneSwapsAndSwapsBack();
    void paneAndPlayBarCommands();
    void heldKeyBlocksLayoutCommands_data();
    void heldKeyBlocksLayoutCommands();
    void autoRepeatIsIgnored();
    void keyGuard_data();
    void keyGuard();
    void buttonFeedingKeyIsHeldOff();
    void drag_data();
    void drag();
    void titleBarFollowsPlayEvents_data();
    void titleBarFollowsPlayEvents();
    void stopOnTheWayToAnotherRecording();
    void rebuiltListStopsPlayback();
    void infoCommandOpensPopup_data();
    void infoCommandOpensPopup();
    void unreadableFoldersAreReported();
    void altEnterIsSwallowedWhileActive();
    void openPopupTakesReturn();
    void closeAnnouncesAndClosesWindows();

private:
    void pressKey(int key, bool autoRepeat = false);
    void releaseKey(int key, bool autoRepeat = false);
    void sendMouse(QEvent::Type type, const QPoint &windowPos);
    EventList appEvents(const QSignalSpy &spy) const;
    static bool announced(const QSignalSpy &playEvents, PLAY_EVENT event);

    WindowMain *window = nullptr;
};

void TestWindowMain::initTestCase()
{
    qRegisterMetaType<VwApp::Event>();
    window = WindowMain::instance();
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

void TestWindowMain::init()
{
    VwKeyEvent *guard = VwKeyEvent::instance();
    guard->pressedKey = -1;
    guard->keyTrackingEnabled = true;
    if (window->isFullScreen())
        window->onFullScreen();
    window->activateWindow();
    // The offscreen platform does not always tell the widgets when a closed
    // window hands the activation back.
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}

void TestWindowMain::cleanup()
{
    VwKeyEvent::instance()->pressedKey = -1;
}

void TestWindowMain::pressKey(int key, bool autoRepeat)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(window, &event);
}

void TestWindowMain::releaseKey(int key, bool autoRepeat)
{
    QKeyEvent event(QEvent::KeyRelease, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(window, &event);
}

// Delivers the mouse event to the innermost widget under the point, the way
// the window system would, so that it reaches the window by propagation.
void TestWindowMain::sendMouse(QEvent::Type type, const QPoint &windowPos)
{
    QWidget *target = window->childAt(windowPos);
    if (!target)
        target = window;
    const QPoint local = target->mapFrom(window, windowPos);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, target->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

EventList TestWindowMain::appEvents(const QSignalSpy &spy) const
{
    EventList events;
    for (const QList<QVariant> &arguments : spy)
        events.append({arguments.at(0).value<VwApp::Event>(), arguments.at(1).toInt()});
    return events;
}

// Whether the player announced the event without a recording.
bool TestWindowMain::announced(const QSignalSpy &playEvents, PLAY_EVENT event)
{
    for (const QList<QVariant> &arguments : playEvents) {
        if (arguments.at(0).value<PLAY_EVENT>() == event && !arguments.at(1).value<VwVideoItem *>())
            return true;
    }
    return false;
}

void TestWindowMain::geometry_data()
{
    QTest::addColumn<QString>("part");
    QTest::addColumn<QRect>("rect");

    QTest::newRow("window") << "window" << QRect(0, 0, 1094, 687);
    QTest::newRow("title bar") << "title" << QRect(0, 0, 1094, 43);
    QTest::newRow("content") << "main_widget" << QRect(0, 43, 1094, 644);
    QTest::newRow("left column") << "left" << QRect(4, 47, 690, 636);
    QTest::newRow("video block") << "main_video_frame" << QRect(4, 47, 690, 444);
    QTest::newRow("main video") << "video_main_pane" << QRect(5, 48, 688, 413);
    QTest::newRow("slider strip") << "3a3a3a" << QRect(5, 461, 688, 29);
    QTest::newRow("play slider") << "slider_frame" << QRect(5, 461, 688, 29);
    QTest::newRow("bottom block") << "border_back" << QRect(4, 495, 690, 182);
    QTest::newRow("graph") << "graph_panel" << QRect(5, 496, 688, 79);
    QTest::newRow("picture and sound") << "picture_sound_panel" << QRect(5, 575, 690, 30);
    QTest::newRow("play bar") << "play_bar" << QRect(5, 605, 688, 71);
    QTest::newRow("right column") << "right" << QRect(698, 47, 392, 636);
    QTest::newRow("gps") << "frame_gps" << QRect(698, 47, 392, 26);
    QTest::newRow("sub video block") << "sub_video_frame" << QRect(698, 73, 392, 248);
    QTest::newRow("sub video") << "video_sub_pane" << QRect(699, 74, 390, 246);
    QTest::newRow("file list") << "file_list" << QRect(698, 332, 392, 345);
}

void TestWindowMain::geometry()
{
    QFETCH(QString, part);
    QFETCH(QRect, rect);

    QWidget *widget = nullptr;
    if (part == QLatin1String("window"))
        widget = window;
    else if (part == QLatin1String("title"))
        widget = window->titleBar;
    else if (part == QLatin1String("left"))
        widget = window->frameLeft;
    else if (part == QLatin1String("right"))
        widget = window->frameRight;
    else if (part == QLatin1String("file_list"))
        widget = window->frameRight->fileList;
    else
        widget = window->findChild<QWidget *>(part);
    QVERIFY2(widget, qPrintable(part));
    if (widget == window) {
        QCOMPARE(window->size(), rect.size());
        return;
    }
    QCOMPARE(QRect(widget->mapTo(window, QPoint(0, 0)), widget->size()), rect);
}

void TestWindowMain::returnTwice()
{
    QSignalSpy spy(VwApp::instance(), &VwApp::appEvent);

    QTest::keyClick(window, Qt::Key_Return);
    QVERIFY(window->isFullScreen());
    QCOMPARE(appEvents(spy), EventList({{1, 0}, {2, 0}}));
    QCOMPARE(window->mainLayout->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(window->mainLayout->spacing(), 0);
    QVERIFY(window->frameRight->isHidden());
    QVERIFY(window->titleBar->isHidden());
    QVERIFY(window->escapeShortcut->isEnabled());
    // The picture and sound strip sits beside the slider in full screen.
    QCOMPARE(window->frameLeft->pictureSoundPanel->parentWidget(), window->frameLeft->sliderStrip);
    QCOMPARE(window->frameLeft->bottomBlock->height(), 71);

    spy.clear();
    QTest::keyClick(window, Qt::Key_Return);
    QVERIFY(!window->isFullScreen());
    QCOMPARE(appEvents(spy), EventList({{3, 0}, {4, 0}}));
    QCOMPARE(window->mainLayout->contentsMargins(), QMargins(4, 4, 4, 4));
    QCOMPARE(window->mainLayout->spacing(), 4);
    QVERIFY(window->frameRight->isVisible());
    QVERIFY(window->titleBar->isVisible());
    QVERIFY(!window->escapeShortcut->isEnabled());
    QCOMPARE(window->size(), QSize(1094, 687));
    QCOMPARE(window->frameLeft->width(), 690);
    QCOMPARE(window->frameLeft->videoBlock->height(), 444);
    QCOMPARE(window->frameLeft->bottomBlock->size(), QSize(690, 182));
    QCOMPARE(window->frameLeft->bottomLayout->indexOf(window->frameLeft->pictureSoundPanel), 1);
    QTRY_COMPARE(window->focusWidget(), window);
}

void TestWindowMain::maximizeThenEscape()
{
    QSignalSpy spy(VwApp::instance(), &VwApp::appEvent);
    HxFrameTitle *title = window->titleBar;

    QTest::mouseClick(title->title_maximize, Qt::LeftButton);
    QVERIFY(window->isFullScreen());
    QVERIFY(window->maximizedMode);
    QCOMPARE(appEvents(spy), EventList({{1, 1}, {2, 1}}));
    QVERIFY(title->isVisible());
    QVERIFY(window->frameRight->isVisible());
    QVERIFY(title->title_maximize->isChecked());
    QCOMPARE(title->title_maximize->toolTip(), languageText("restore_window"));
    QCOMPARE(window->frameLeft->bottomBlock->height(), 152);

    spy.clear();
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(!window->isFullScreen());
    QCOMPARE(appEvents(spy), EventList({{3, 0}, {4, 1}}));
    QVERIFY(!title->title_maximize->isChecked());
    QCOMPARE(title->title_maximize->toolTip(), languageText("maximize"));
    QVERIFY(!window->escapeShortcut->isEnabled());

    // Escape does nothing in the normal layout.
    spy.clear();
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(!window->isFullScreen());
    QCOMPARE(spy.count(), 0);
}

void TestWindowMain::fullScreenAfterMaximizeCarriesNoStaleParam()
{
    window->onMaximize();
    window->onFullScreen();
    QVERIFY(!window->maximizedMode);

    QSignalSpy spy(VwApp::instance(), &VwApp::appEvent);
    window->onFullScreen();
    QCOMPARE(appEvents(spy), EventList({{1, 0}, {2, 0}}));
    window->onFullScreen();
}

void TestWindowMain::fullScreenFromSubPaneSwapsAndSwapsBack()
{
    VwPlayer *player = VwPlayer::instance();
    QTRY_VERIFY(!player->isSwapped());
    QSignalSpy swaps(window, &WindowMain::swapCamerasRequested);
    window->onFullScreenSub();
    QVERIFY(window->isFullScreen());
    QVERIFY(window->swappedForFullScreen);
    QCOMPARE(swaps.count(), 1);
    QVERIFY(player->isSwapped());

    // Straight back, before a swap button would be usable again.
    window->onFullScreen();
    QVERIFY(!window->swappedForFullScreen);
    QCOMPARE(swaps.count(), 2);
    QVERIFY(!player->isSwapped());

    // A plain full screen does not swap.
    window->onFullScreen();
    window->onFullScreen();
    QCOMPARE(swaps.count(), 2);
}

void TestWindowMain::paneAndPlayBarCommands()
{
    // The panes' full-screen buttons: the main pane as it is, the sub pane swapped.
    window->frameLeft->mainVideo->fullScreenButton()->click();
    QVERIFY(window->isFullScreen());
    QVERIFY(!window->swappedForFullScreen);
    QVERIFY(window->frameLeft->mainVideo->fullScreenButton()->isChecked());
    QTest::keyClick(window, Qt::Key_Return);
    QVERIFY(!window->frameLeft->mainVideo->fullScreenButton()->isChecked());
    window->frameRight->subVideo->fullScreenButton()->click();
    QVERIFY(window->swappedForFullScreen);
    window->onFullScreen();

    // A file step holds its button off for a moment.
    for (HxButton *button : {window->frameLeft->playBar->nextButton, window->frameLeft->playBar->previousButton}) {
        button->setEnabled(true);
        button->click();
        QVERIFY(!button->isEnabled());
        QTRY_VERIFY(button->isEnabled());
    }
}

void TestWindowMain::heldKeyBlocksLayoutCommands_data()
{
    QTest::addColumn<int>("heldKey");
    QTest::addColumn<QString>("command");

    for (int key : {int(Qt::Key_Right), int(Qt::Key_Left), int(Qt::Key_F)}) {
        const QString name = QKeySequence(key).toString();
        QTest::addRow("%s, Return", qPrintable(name)) << key << "return";
        QTest::addRow("%s, maximise", qPrintable(name)) << key << "maximize";
        QTest::addRow("%s, sub pane", qPrintable(name)) << key << "sub";
    }
}

void TestWindowMain::heldKeyBlocksLayoutCommands()
{
    QFETCH(int, heldKey);
    QFETCH(QString, command);
    QSignalSpy spy(VwApp::instance(), &VwApp::appEvent);
    QSignalSpy swaps(window, &WindowMain::swapCamerasRequested);

    auto run = [&] {
        if (command == QLatin1String("return"))
            QTest::keyClick(window, Qt::Key_Return);
        else if (command == QLatin1String("maximize"))
            QTest::mouseClick(window->titleBar->title_maximize, Qt::LeftButton);
        else
            window->onFullScreenSub();
    };

    pressKey(heldKey);
    QCOMPARE(VwKeyEvent::instance()->pressedKey, heldKey);
    run();
    QVERIFY(!window->isFullScreen());
    QCOMPARE(spy.count(), 0);
    QCOMPARE(swaps.count(), 0);
    QVERIFY(!window->swappedForFullScreen);
    QVERIFY(!window->titleBar->title_maximize->isChecked());

    releaseKey(heldKey);
    run();
    QVERIFY(window->isFullScreen());
    QCOMPARE(spy.count(), 2);
}

void TestWindowMain::autoRepeatIsIgnored()
{
    pressKey(Qt::Key_Right);
    releaseKey(Qt::Key_Right, true);
    QCOMPARE(VwKeyEvent::instance()->pressedKey, int(Qt::Key_Right));
    releaseKey(Qt::Key_Right);
    QCOMPARE(VwKeyEvent::instance()->pressedKey, -1);
    pressKey(Qt::Key_Left, true);
    QCOMPARE(VwKeyEvent::instance()->pressedKey, -1);
}

void TestWindowMain::keyGuard_data()
{
    // Steps are "+key" for a press and "-key" for a release; the signals are
    // the names emitted, in order.
    QTest::addColumn<bool>("tracking");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("signalNames");
    QTest::addColumn<int>("heldAfter");

    QTest::newRow("press and release Right")
        << true << QStringList{"+R", "-R"} << QStringList{"pressedF1", "releasedF1"} << -1;
    QTest::newRow("Left held") << true << QStringList{"+L"} << QStringList{"pressedB1"}
                               << int(Qt::Key_Left);
    QTest::newRow("F held") << true << QStringList{"+F"} << QStringList{"pressedFF"} << int(Qt::Key_F);
    QTest::newRow("second press of the same key")
        << true << QStringList{"+R", "+R"} << QStringList{"pressedF1"} << int(Qt::Key_Right);
    QTest::newRow("another key replaces the held one")
        << true << QStringList{"+R", "+L"} << QStringList{"pressedF1", "releasedF1", "pressedB1"}
        << int(Qt::Key_Left);
    QTest::newRow("release of a key not held")
        << true << QStringList{"+R", "-L"} << QStringList{"pressedF1"} << int(Qt::Key_Right);
    QTest::newRow("untracked key") << true << QStringList{"+X", "-X"} << QStringList{} << -1;
    QTest::newRow("tracking off") << false << QStringList{"+R"} << QStringList{} << -1;
}

void TestWindowMain::keyGuard()
{
    QFETCH(bool, tracking);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, signalNames);
    QFETCH(int, heldAfter);

    VwKeyEvent *guard = VwKeyEvent::instance();
    guard->keyTrackingEnabled = tracking;
    QStringList emitted;
    const QList<QMetaObject::Connection> connections = {
        connect(guard, &VwKeyEvent::pressedF1, this, [&] { emitted << "pressedF1"; }),
        connect(guard, &VwKeyEvent::releasedF1, this, [&] { emitted << "releasedF1"; }),
        connect(guard, &VwKeyEvent::pressedB1, this, [&] { emitted << "pressedB1"; }),
        connect(guard, &VwKeyEvent::releasedB1, this, [&] { emitted << "releasedB1"; }),
        connect(guard, &VwKeyEvent::pressedFF, this, [&] { emitted << "pressedFF"; }),
        connect(guard, &VwKeyEvent::releasedFF, this, [&] { emitted << "releasedFF"; }),
    };
    const QHash<QChar, int> keys = {
        {'R', Qt::Key_Right}, {'L', Qt::Key_Left}, {'F', Qt::Key_F}, {'X', Qt::Key_Space}};
    for (const QString &step : steps) {
        if (step.at(0) == QLatin1Char('+'))
            guard->keyPress(keys.value(step.at(1)));
        else
            guard->keyRelease(keys.value(step.at(1)));
    }
    for (const QMetaObject::Connection &connection : connections)
        disconnect(connection);
    guard->keyTrackingEnabled = true;

    QCOMPARE(emitted, signalNames);
    QCOMPARE(guard->pressedKey, heldAfter);
}

void TestWindowMain::buttonFeedingKeyIsHeldOff()
{
    HxButton button;
    VwKeyEvent *guard = VwKeyEvent::instance();
    connect(&button, &QPushButton::pressed, guard, &VwKeyEvent::onPressedF1);
    connect(&button, &QPushButton::released, guard, &VwKeyEvent::onReleasedF1);

    guard->keyPress(Qt::Key_Left);
    button.pressed();
    QCOMPARE(guard->pressedKey, int(Qt::Key_Right));
    QVERIFY(!button.isEnabled());
    QTRY_VERIFY(button.isEnabled());

    button.released();
    QCOMPARE(guard->pressedKey, -1);
    QVERIFY(!button.isEnabled());
    QTRY_VERIFY(button.isEnabled());
}

void TestWindowMain::drag_data()
{
    QTest::addColumn<int>("y");
    QTest::addColumn<bool>("maximized");
    QTest::addColumn<bool>("moves");

    QTest::newRow("title bar") << 20 << false << true;
    QTest::newRow("below the title bar") << 50 << false << false;
    QTest::newRow("maximised") << 20 << true << false;
}

void TestWindowMain::drag()
{
    QFETCH(int, y);
    QFETCH(bool, maximized);
    QFETCH(bool, moves);

    window->move(100, 100);
    if (maximized)
        window->onMaximize();
    QSignalSpy moved(window->dragHelper, &VwWidgetDrag::onWindowMove);
    const QPoint start = window->pos();

    sendMouse(QEvent::MouseButtonPress, QPoint(300, y));
    sendMouse(QEvent::MouseMove, QPoint(340, y + 30));
    sendMouse(QEvent::MouseButtonRelease, QPoint(340, y + 30));

    QCOMPARE(window->pos(), moves ? start + QPoint(40, 30) : start);
    QCOMPARE(moved.count(), moves ? 1 : 0);
    QVERIFY(!window->dragHelper->isDragging());
    if (maximized)
        window->onMaximize();
}

void TestWindowMain::titleBarFollowsPlayEvents_data()
{
    QTest::addColumn<QList<int>>("events");
    QTest::addColumn<QString>("front");
    QTest::addColumn<QString>("rear");
    QTest::addColumn<bool>("withItem");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("label");

    const QString front = QStringLiteral("/card/DCIM/NORM_20240101_120000_F.MP4");
    const QString rear = QStringLiteral("/card/DCIM/NORM_20240101_120000_R.MP4");
    QTest::newRow("loaded") << QList<int>{PLAY_EVENT_LOADED} << front << rear << true << true << front;
    QTest::newRow("loaded, rear camera only")
        << QList<int>{PLAY_EVENT_LOADED} << QString() << rear << true << true << rear;
    QTest::newRow("loaded, stopped at the end with a next recording")
        << QList<int>{PLAY_EVENT_LOADED, PLAY_EVENT_STOPPED} << front << rear << true << true << QString();
    QTest::newRow("loaded, stopped without a next recording")
        << QList<int>{PLAY_EVENT_LOADED, PLAY_EVENT_STOPPED} << front << rear << false << false << QString();
    QTest::newRow("loaded, user stop") << QList<int>{PLAY_EVENT_LOADED, PLAY_EVENT_USER_STOP} << front
                                       << rear << false << false << front;
    QTest::newRow("loaded, play, pause")
        << QList<int>{PLAY_EVENT_LOADED, PLAY_EVENT_PLAY, PLAY_EVENT_PAUSE} << front << rear << true
        << true << front;
}

void TestWindowMain::titleBarFollowsPlayEvents()
{
    QFETCH(QList<int>, events);
    QFETCH(QString, front);
    QFETCH(QString, rear);
    QFETCH(bool, withItem);
    QFETCH(bool, enabled);
    QFETCH(QString, label);

    HxFrameTitle *title = window->titleBar;
    title->onPlayEvent(PLAY_EVENT_USER_STOP, nullptr);
    title->fileLabel->clear();

    VwVideoItem recording(QString(), false, nullptr);
    recording.frontPath = front;
    recording.rearPath = rear;
    for (int event : events) {
        // Only the load and a stop at the end of a recording carry one.
        const bool carries = event == PLAY_EVENT_LOADED || withItem;
        title->onPlayEvent(PLAY_EVENT(event), carries ? &recording : nullptr);
    }

    QCOMPARE(title->title_capture->isEnabled(), enabled);
    QCOMPARE(title->title_report->isEnabled(), enabled);
    QCOMPARE(title->captureShortcut->isEnabled(), enabled);
    QCOMPARE(title->reportShortcut->isEnabled(), enabled);
    QCOMPARE(title->fileLabel->text(), label);

    QSignalSpy captures(title->captureShortcut, &QShortcut::activated);
    QTest::keyClick(window, Qt::Key_F5);
    QCOMPARE(captures.count(), enabled ? 1 : 0);
}

void TestWindowMain::stopOnTheWayToAnotherRecording()
{
    HxFrameTitle *title = window->titleBar;
    VwVideoItem recording(QStringLiteral("/card/DCIM/NORM_20240101_120000_F.MP4"), false, nullptr);
    VwPlayProcess *process = VwPlayProcess::instance();
    title->onPlayEvent(PLAY_EVENT_LOADED, &recording);

    // Choosing a recording stops the player first; its stop carries no
    // recording, but one is on its way.
    QSignalSpy stops(VwPlayer::instance(), &VwPlayerBase::playEvent);
    process->onVideoLoadingStart(&recording);
    QVERIFY(announced(stops, PLAY_EVENT_STOPPED));
    QVERIFY(title->fileLabel->text().isEmpty());
    QVERIFY(title->title_capture->isEnabled());
    QVERIFY(title->captureShortcut->isEnabled());

    // Choosing nothing withdraws it; that stop ends the commands.
    process->onVideoLoadingStart(nullptr);
    VwPlayProcess::setPlayLoading(false);
    QVERIFY(!title->title_capture->isEnabled());
    QVERIFY(!title->reportShortcut->isEnabled());
}

void TestWindowMain::rebuiltListStopsPlayback()
{
    HxFrameTitle *title = window->titleBar;
    VwVideoItem recording(QStringLiteral("/card/DCIM/NORM_20240101_120000_F.MP4"), false, nullptr);
    title->onPlayEvent(PLAY_EVENT_LOADED, &recording);
    QSignalSpy events(VwPlayer::instance(), &VwPlayerBase::playEvent);

    VwVideoFileList *list = VwVideoFileList::instance();
    list->setGroupMask(list->groupMask());

    QVERIFY(announced(events, PLAY_EVENT_USER_STOP));
    QVERIFY(!title->title_capture->isEnabled());
}

void TestWindowMain::infoCommandOpensPopup_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("F7") << true;
    QTest::newRow("button") << false;
}

void TestWindowMain::infoCommandOpensPopup()
{
    QFETCH(bool, byKey);
    QString opened;
    HxModalAnswerer answerer({HxModalAnswerer::on<VwPopupInfo>([&opened](VwPopupInfo *popup) {
        opened = popup->findChild<QLabel *>(QStringLiteral("text_normal_label"))->text();
        popup->okButton()->click();
    })});
    if (byKey)
        QTest::keyClick(window, Qt::Key_F7);
    else
        QTest::mouseClick(window->titleBar->title_info, Qt::LeftButton);
    QCOMPARE(opened, QStringLiteral("    Version : 1.0.4"));
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(window->findChildren<VwPopupInfo *>().isEmpty());
}

void TestWindowMain::unreadableFoldersAreReported()
{
    QString told;
    HxModalAnswerer answerer({HxModalAnswerer::on<VwPopupMessage>([&told](VwPopupMessage *popup) {
        told = popup->textLabel()->text();
        popup->okButton()->click();
    })});
    Q_EMIT VwVideoFileList::instance()->foldersUnreadable(3);
    QTRY_VERIFY(!told.isEmpty());
    QVERIFY2(told.contains(QLatin1Char('3')), qPrintable(told));
    QVERIFY(!QApplication::activeModalWidget());
}

void TestWindowMain::altEnterIsSwallowedWhileActive()
{
    QShortcut altEnter(QKeySequence(Qt::ALT | Qt::Key_Return), window);
    altEnter.setContext(Qt::ApplicationShortcut);
    QSignalSpy activated(&altEnter, &QShortcut::activated);
    QSignalSpy layout(VwApp::instance(), &VwApp::appEvent);

    QTest::keyClick(window, Qt::Key_Return, Qt::AltModifier);
    QTest::keyClick(window, Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier);
    QCOMPARE(activated.count(), 0);
    QCOMPARE(layout.count(), 0);

    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTest::keyClick(&other, Qt::Key_Return, Qt::AltModifier);
    QCOMPARE(activated.count(), 1);
    other.close();
}

void TestWindowMain::openPopupTakesReturn()
{
    // Return in a drop-down list open in another window of the viewer is
    // the list's: the main window's layout stays as it is.
    QComboBox combo;
    combo.addItems({QStringLiteral("a"), QStringLiteral("b")});
    combo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&combo));
    combo.showPopup();
    QTRY_VERIFY(QApplication::activePopupWidget());
    QSignalSpy layout(VwApp::instance(), &VwApp::appEvent);
    QTest::keyClick(combo.view(), Qt::Key_Return);
    QCOMPARE(layout.count(), 0);
    QVERIFY(!window->isFullScreen());
    combo.hidePopup();
    QTRY_VERIFY(!QApplication::activePopupWidget());

    QTest::keyClick(window, Qt::Key_Return);
    QVERIFY(window->isFullScreen());
}

void TestWindowMain::closeAnnouncesAndClosesWindows()
{
    QSignalSpy spy(VwApp::instance(), &VwApp::appEvent);
    QTest::mouseClick(window->titleBar->title_close, Qt::LeftButton);
    QCOMPARE(appEvents(spy), EventList({{5, 0}}));
    QVERIFY(!window->isVisible());
}

HX_TEST_VIEWER_MAIN(TestWindowMain)

#include "tst_window_main.moc"
