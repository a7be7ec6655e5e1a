#include "hx_button.h"
#include "hx_test_media.h"
#include "hx_test_viewer.h"
#include "sync_harness.h"

#include "audio_output.h"
#include "av_player.h"
#include "vw_app.h"
#include "vw_frame_eq.h"
#include "vw_frame_play.h"
#include "vw_language.h"
#include "vw_play_process.h"
#include "vw_play_slider.h"
#include "vw_released_slider.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"

#include <QApplication>
#include <QLabel>
#include <QShortcut>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using hxsync::Harness;
using hxsync::sendMouse;

namespace {

QPoint along(QWidget *slider, double fraction)
{
    return QPoint(int(slider->width() * fraction), slider->height() / 2);
}

} // namespace

// The play bar, the position slider and the picture and sound strip, driven
// by the real player on generated recordings whose frames carry their numbers.
class TestPlayControls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void heldPressEndsWithRelease_data();
    void heldPressEndsWithRelease();
    void wheel();
    void playBar();
    void playBarFollowsPlayer();
    void sliderFollowsPlayer_data();
    void sliderFollowsPlayer();
    void sliderEdgeCases();
    void mouseSeeks_data();
    void mouseSeeks();
    void scrubInStep();
    void soundBackAfterStopDuringDrag();
    void pictureAndSound();

private:
    // Waits until both cameras show the same picture and nothing changes for a while.
    bool settled();

    QTemporaryDir m_dir;
    Harness *m_harness = nullptr;
    hxsync::CodePlayer *m_player = nullptr;
    VwPlaySlider *m_slider = nullptr;
    QSlider *m_harnessSlider = nullptr;
};

void TestPlayControls::initTestCase()
{
    if (hxFfmpegPath().isEmpty())
        QSKIP("ffmpeg is not installed");
    hxsync::Config config;
    config.frontWidth = 320;
    config.frontHeight = 180;
    config.rearWidth = 256;
    config.rearHeight = 144;
    config.seconds = 8.0;
    config.recordings = 2;
    m_harness = new Harness(config, this);
    QString error;
    QVERIFY2(m_harness->prepare(m_dir.path(), &error), qPrintable(error));
    m_player = m_harness->player();
    m_harnessSlider = m_player->positionSlider();
}

void TestPlayControls::init()
{
    if (!m_player)
        return;
    m_slider = new VwPlaySlider(m_player);
    m_slider->resize(688, 29);
    m_slider->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_slider));
}

void TestPlayControls::cleanup()
{
    delete m_slider;
    m_slider = nullptr;
    if (!m_player)
        return;
    m_player->onUserStop();
    Harness::wait(50);
    m_player->setPositionSlider(m_harnessSlider);
    m_player->applySpeed(1.0);
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_JAPANESE);
}

bool TestPlayControls::settled()
{
    int last = -2;
    int still = 0;
    return Harness::waitFor([&] {
        const int front = m_player->frontCode();
        still = front == last && front == m_player->rearCode() ? still + 1 : 0;
        last = front;
        return still >= 40;
    }, 5000);
}

void TestPlayControls::heldPressEndsWithRelease_data()
{
    QTest::addColumn<QString>("end");
    QTest::newRow("release") << "release";
    QTest::newRow("disabled while held") << "disable";
    QTest::newRow("hidden while held") << "hide";
}

void TestPlayControls::heldPressEndsWithRelease()
{
    QFETCH(QString, end);
    VwReleasedSlider slider;
    slider.setRange(0, 3);
    slider.resize(114, 20);
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));
    QSignalSpy knob(&slider, &VwSlider::sliderPressedWithKnob);
    QSignalSpy released(&slider, &VwSlider::mouseReleased);

    // A groove press puts the handle under the mouse and goes on as a drag.
    sendMouse(&slider, QEvent::MouseButtonPress, along(&slider, 0.95));
    QCOMPARE(slider.value(), 3);
    QCOMPARE(knob.count(), 1);
    QCOMPARE(knob.first().at(0).toBool(), false);
    QVERIFY(slider.isSliderDown());
    if (end == QLatin1String("disable"))
        slider.setEnabled(false);
    else if (end == QLatin1String("hide"))
        slider.hide();
    sendMouse(&slider, QEvent::MouseButtonRelease, along(&slider, 0.95));
    QCOMPARE(released.count(), 1);
    QVERIFY(!slider.isSliderDown());
}

void TestPlayControls::wheel()
{
    // The wheel moves only the sliders whose every value change is put to use.
    VwFrameEQ strip(m_player);
    const QList<QPair<QSlider *, bool>> sliders = {
        {m_slider->slider(), false}, {strip._speedSlider, false}, {strip._volumeSlider, true}};
    for (const auto &entry : sliders) {
        QSlider *slider = entry.first;
        slider->setEnabled(true);
        slider->setRange(0, 4);
        slider->setValue(2);
        QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(slider, &event);
        QCOMPARE(slider->value() != 2, entry.second);
    }
}

void TestPlayControls::playBar()
{
    VwFramePlay bar(m_player, m_harness->process());
    bar.resize(1366, 71);
    bar.show();
    for (QWidget *button : {bar.previousButton, bar.playButton, bar.stopButton, bar.nextButton})
        QVERIFY(!button->isEnabled());
    QVERIFY(!bar.playShortcut->isEnabled());

    // Only a list with recordings enables the commands on it.
    VwVideoFileList *list = VwVideoFileList::instance();
    list->setGroupMask(0);
    QVERIFY(!bar.playButton->isEnabled());
    list->setGroupMask(VwVideoFileList::GROUP_ALL);
    for (QWidget *button : {bar.previousButton, bar.playButton, bar.nextButton})
        QVERIFY(button->isEnabled());
    QVERIFY(bar.playShortcut->isEnabled() && bar.restartShortcut->isEnabled());

    QSignalSpy previous(&bar, &VwFramePlay::previousRequested);
    QSignalSpy next(&bar, &VwFramePlay::nextRequested);
    QSignalSpy open(&bar, &VwFramePlay::openRequested);
    for (HxButton *button : {bar.previousButton, bar.nextButton, bar.openButton})
        button->click();
    QVERIFY(previous.count() == 1 && next.count() == 1 && open.count() == 1);

    // Full screen hides the open button; the maximised layout keeps it, at the right end.
    VwApp *app = VwApp::instance();
    for (int param : {0, 1}) {
        Q_EMIT app->appEvent(VwApp::EVENT_FULLSCREEN_ENTER, param);
        QCOMPARE(bar.openButton->isVisible(), param == 1);
        if (param == 1)
            QTRY_COMPARE(bar.openButton->geometry().right(), bar.width() - 1);
        Q_EMIT app->appEvent(VwApp::EVENT_FULLSCREEN_LEAVE, param);
        QVERIFY(bar.openButton->isVisible());
    }
}

void TestPlayControls::playBarFollowsPlayer()
{
    VwFramePlay bar(m_player, m_harness->process());
    bar.onLoadingListEnd(false);
    QList<bool> stopAtStop;
    connect(m_player, &VwPlayerBase::playEvent, &bar, [&](PLAY_EVENT event, VwVideoItem *) {
        if (event == PLAY_EVENT_STOPPED)
            stopAtStop << bar.stopButton->isEnabled();
    });
    auto state = [&bar] { return qMakePair(bar.playButton->isChecked(), bar.playButton->toolTip()); };
    QVERIFY(m_harness->start(0));
    QVERIFY(bar.stopButton->isEnabled());
    QCOMPARE(state(), qMakePair(true, languageText("play_pause")));
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_ENGLISH);
    QCOMPARE(state(), qMakePair(true, QStringLiteral("Pause")));

    QTRY_VERIFY(bar.playButton->isEnabled());
    QTest::mouseClick(bar.playButton, Qt::LeftButton);
    QCOMPARE(state(), qMakePair(false, QStringLiteral("Play")));
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_JAPANESE);
    QCOMPARE(state(), qMakePair(false, languageText("play_play")));
    QTRY_VERIFY(bar.playButton->isEnabled());
    QTest::mouseClick(bar.playButton, Qt::LeftButton);
    QCOMPARE(state(), qMakePair(true, languageText("play_pause")));

    // On the way to another recording the stop button stays; a final stop ends it.
    stopAtStop.clear();
    QVERIFY(m_harness->start(1));
    QCOMPARE(stopAtStop, QList<bool>{true});
    bar.stopButton->click();
    QVERIFY(!bar.stopButton->isEnabled());
    QTRY_COMPARE(state(), qMakePair(false, languageText("play_play")));
    QCOMPARE(stopAtStop, (QList<bool>{true, false}));

    // Nothing loaded: the click toggled the button, the player's answer puts it back.
    QTRY_VERIFY(bar.playButton->isEnabled());
    QSignalSpy events(m_player, &VwPlayerBase::playEvent);
    QTest::mouseClick(bar.playButton, Qt::LeftButton);
    QCOMPARE(events.last().at(0).value<PLAY_EVENT>(), PLAY_EVENT_NO_MEDIA);
    QCOMPARE(state(), qMakePair(false, languageText("play_play")));
}

void TestPlayControls::sliderFollowsPlayer_data()
{
    QTest::addColumn<int>("scale");
    QTest::newRow("recording as long as its file") << 1;
    QTest::newRow("recording twice as long") << 2;
}

void TestPlayControls::sliderFollowsPlayer()
{
    QFETCH(int, scale);
    VwVideoFileList *list = VwVideoFileList::instance();
    VwVideoItem *first = list->visibleItems().at(0).data();
    VwVideoItem *second = list->visibleItems().at(1).data();
    const quint32 own = first->durationMs;
    first->durationMs = own * scale;
    auto restore = qScopeGuard([&] { first->durationMs = own; });

    int checked = 0;
    QString mismatch;
    QMetaObject::Connection follow = connect(m_player, &VwPlayerBase::positionChanged, this,
                                             [&](qint64 position, qint64 total) {
        const qint64 t = qint64(std::trunc(double(position) * first->durationMs / double(total)));
        if (m_slider->currentTime()->text() != VwVideoItem::timeText(int(t)) || m_player->displayTime() != t
            || m_slider->slider()->value() != position)
            mismatch = QStringLiteral("%1 of %2").arg(position).arg(total);
        ++checked;
    });
    QVERIFY(m_harness->start(0));
    QCOMPARE(m_slider->durationTime()->text(), first->durationText());
    QTRY_VERIFY(m_slider->slider()->isEnabled());
    QTRY_VERIFY(checked > 10);
    disconnect(follow);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

    // Run out: the slider goes home and off, then shows the next recording.
    QList<QStringList> atStop;
    connect(m_player, &VwPlayerBase::playEvent, m_slider, [&](PLAY_EVENT event, VwVideoItem *item) {
        if (event == PLAY_EVENT_STOPPED && item)
            atStop << QStringList{m_slider->currentTime()->text(), QString::number(m_slider->slider()->value()),
                                  QString::number(m_slider->slider()->isEnabled())};
    });
    m_player->seek(m_player->playerF()->duration() - 1500, false);
    QTRY_COMPARE_WITH_TIMEOUT(atStop.size(), 1, 10000);
    QCOMPARE(atStop.first(), (QStringList{"00:00", "0", "0"}));
    QTRY_COMPARE_WITH_TIMEOUT(m_slider->durationTime()->text(), second->durationText(), 10000);
    QCOMPARE(list->currentItem(), second);
}

void TestPlayControls::sliderEdgeCases()
{
    m_slider->onPositionChanged(500, 0);
    QCOMPARE(m_slider->currentTime()->text(), QStringLiteral("00:00"));
    m_slider->onPlayEvent(PLAY_EVENT_LOADED, nullptr);
    m_slider->onPlayEvent(PLAY_EVENT_STOPPED, nullptr);
    VwVideoItem *item = VwVideoFileList::instance()->visibleItems().at(0).data();
    m_slider->onPlayEvent(PLAY_EVENT_LOADED, item);
    m_slider->onPlayEvent(PLAY_EVENT_STOPPED, nullptr);
    Harness::wait(300);
    QVERIFY(!m_slider->slider()->isEnabled());
}

void TestPlayControls::mouseSeeks_data()
{
    QTest::addColumn<bool>("paused");
    QTest::addColumn<bool>("drag");
    QTest::newRow("groove click while playing") << false << false;
    QTest::newRow("groove click while paused") << true << false;
    QTest::newRow("drag while playing") << false << true;
    QTest::newRow("drag while paused") << true << true;
}

void TestPlayControls::mouseSeeks()
{
    QFETCH(bool, paused);
    QFETCH(bool, drag);
    QVERIFY(m_harness->start(0));
    VwSlider *slider = m_slider->slider();
    QTRY_VERIFY(slider->isEnabled());
    if (paused)
        m_player->onPlayOrPause();

    sendMouse(slider, QEvent::MouseButtonPress, along(slider, drag ? 0.2 : 0.7));
    if (drag) {
        sendMouse(slider, QEvent::MouseMove, along(slider, 0.5));
        Harness::wait(100);
        sendMouse(slider, QEvent::MouseMove, along(slider, 0.7));
        // The handle stays under the mouse while the pictures catch up.
        Harness::wait(300);
    }
    const int target = slider->value();
    QVERIFY(std::abs(target - int(slider->maximum() * 0.7)) < slider->maximum() / 20);
    sendMouse(slider, QEvent::MouseButtonRelease, along(slider, 0.7));
    QCOMPARE(m_player->playerF()->isPaused(), paused);

    // Both cameras show the moment the slider and its label stand at.
    qint64 position = slider->value();
    if (paused) {
        QVERIFY(settled());
    } else {
        Harness::wait(300);
        QSignalSpy reports(m_player, &VwPlayerBase::positionChanged);
        QVERIFY(reports.wait(3000));
        position = reports.first().at(0).toLongLong();
    }
    QCOMPARE(qint64(slider->value()), position);
    const int frame = m_player->frontCode();
    QVERIFY2(std::abs(frame * 1000 / 30 - position) <= (paused ? 34 : 100),
             qPrintable(QStringLiteral("frame %1 at %2 ms").arg(frame).arg(position)));
    QVERIFY(std::abs(m_player->rearCode() - frame) <= 1);
    QVERIFY(position >= target - 1000);
    const VwVideoItem *item = m_player->currentItem();
    const qint64 shown = qint64(std::trunc(double(position) * item->durationMs / m_player->playerF()->duration()));
    QCOMPARE(m_slider->currentTime()->text(), VwVideoItem::timeText(int(shown)));
}

void TestPlayControls::scrubInStep()
{
    // The harness seeks through its own slider before it drags this one.
    m_player->setPositionSlider(m_harnessSlider);
    QVERIFY(m_harness->start(0));
    hxsync::Result released;
    const hxsync::Result drag = m_harness->sliderDrag(20, 0, &released);
    QCOMPARE(drag.failedSeeks, 0);
    QCOMPARE(drag.offsets.size(), 20);
    QVERIFY2(drag.maxOffset() <= 1, qPrintable(QString::number(drag.maxOffset())));
    QVERIFY(released.offsets.size() > 50);
    QVERIFY2(released.maxOffset() <= 1, qPrintable(QString::number(released.maxOffset())));
    const int code = m_player->frontCode();
    QTRY_VERIFY(m_player->frontCode() > code);
}

void TestPlayControls::soundBackAfterStopDuringDrag()
{
    QVERIFY(m_harness->start(0));
    VwSlider *slider = m_slider->slider();
    QTRY_VERIFY(slider->isEnabled());
    // Paused, and past the short silence of the pause: only the drag keeps it quiet.
    m_player->onPlayOrPause();
    Harness::wait(1200);
    av::AudioOutput *audio = m_player->playerF()->audio();
    QVERIFY(audio->volume() > 0.5);
    sendMouse(slider, QEvent::MouseButtonPress, along(slider, 0.5));
    QCOMPARE(audio->volume(), 0.0);
    m_player->onUserStop();
    QTRY_VERIFY(!slider->isEnabled());
    QVERIFY(!slider->isSliderDown());
    QVERIFY(audio->volume() > 0.5);
    sendMouse(slider, QEvent::MouseButtonRelease, along(slider, 0.5));
}

void TestPlayControls::pictureAndSound()
{
    VwFrameEQ strip(m_player);
    strip.resize(690, 30);
    strip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&strip));
    QVERIFY(m_harness->start(0));
    av::AVPlayer *front = m_player->playerF();

    strip._brightnessSlider->setValue(70);
    QCOMPARE(front->videoFilters().size(), 1);
    strip._brightnessButton->click();
    QCOMPARE(strip._brightnessSlider->value(), 50);
    QVERIFY(front->videoFilters().isEmpty());
    QVERIFY(m_player->playerR()->videoFilters().isEmpty());

    // The speed shows while the handle moves and applies when it is let go.
    VwSlider *speed = strip._speedSlider;
    sendMouse(speed, QEvent::MouseButtonPress, along(speed, 0.6));
    sendMouse(speed, QEvent::MouseMove, along(speed, 0.98));
    QCOMPARE(strip._speedLabel->text(), QStringLiteral("2.0 x"));
    QCOMPARE(front->speed(), 1.0);
    sendMouse(speed, QEvent::MouseButtonRelease, along(speed, 0.98));
    QCOMPARE(front->speed(), 2.0);
    QVERIFY(!speed->isSliderDown());
    strip._speedButton->click();
    QCOMPARE(speed->value(), 2);
    QCOMPARE(strip._speedLabel->text(), QStringLiteral("1 x"));
    QCOMPARE(front->speed(), 1.0);

    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_ENGLISH);
    QTest::mouseClick(strip._muteButton, Qt::LeftButton);
    QVERIFY(strip._muteButton->isChecked());
    QVERIFY(!strip._volumeSlider->isEnabled());
    QCOMPARE(strip._muteButton->toolTip(), QStringLiteral("Unmute"));
    QVERIFY(front->audio()->isMute());
    QTest::mouseClick(strip._muteButton, Qt::LeftButton);
    QVERIFY(strip._volumeSlider->isEnabled());
    QCOMPARE(strip._muteButton->toolTip(), QStringLiteral("Mute"));
}

HX_TEST_VIEWER_MAIN(TestPlayControls)

#include "tst_play_controls.moc"
