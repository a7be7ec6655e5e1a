#include "hx_test_files.h"
#include "hx_test_media.h"
#include "sync_harness.h"

#include "audio_output.h"
#include "av_player.h"
#include "video_frame.h"
#include "video_renderer.h"
#include "vw_app.h"
#include "vw_play_process.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

using namespace av;
using hxsync::Harness;

namespace {

constexpr double kSeconds = 4.0;

struct Event {
    PLAY_EVENT event;
    VwVideoItem *item;
};

// Play events in order, with what the players looked like at each.
class EventLog : public QObject
{
public:
    explicit EventLog(VwPlayerBase *player)
    {
        connect(player, &VwPlayerBase::playEvent, this, [this, player](PLAY_EVENT event, VwVideoItem *item) {
            events.append({event, item});
            if (event == PLAY_EVENT_LOADED)
                rearLoadedAtLoaded = player->playerR()->isLoaded();
        });
    }

    int count(PLAY_EVENT event) const
    {
        return int(std::count_if(events.cbegin(), events.cend(), [event](const Event &e) { return e.event == event; }));
    }
    int indexOf(PLAY_EVENT event, int from = 0) const
    {
        for (int i = from; i < events.size(); ++i) {
            if (events.at(i).event == event)
                return i;
        }
        return -1;
    }
    bool waitFor(PLAY_EVENT event, int timeoutMs = 15000) const
    {
        return Harness::waitFor([this, event] { return count(event) > 0; }, timeoutMs);
    }

    QVector<Event> events;
    bool rearLoadedAtLoaded = false;
};

} // namespace

class TestVwPlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void loadFrontAndRear();
    void oneCamera_data();
    void oneCamera();
    void unplayableFiles_data();
    void unplayableFiles();
    void stopWhileIdle();
    void endAdvancesAndWraps();
    void frontPictureEndsFirst();
    void pauseThenChooseAnother();
    void listRebuiltWhileStopping();
    void startPauseWaitsOnTheEventLoop();
    void volumeCurve_data();
    void volumeCurve();
    void muteButtonWins();
    void speedChanges();
    void fastSeekTargets_data();
    void fastSeekTargets();
    void frameStep();
    void seekStopsShortOfTheEnd();
    void swap();
    void capture();
    void camerasStayInStep();

private:
    VwVideoItem *listed(const QString &name) const;
    bool play(VwVideoItem *item);

    QTemporaryDir m_dir;
    Harness *m_harness = nullptr;
    hxsync::CodePlayer *m_player = nullptr;
};

void TestVwPlayer::initTestCase()
{
    if (hxFfmpegPath().isEmpty())
        QSKIP("ffmpeg is not installed");
    QVERIFY(m_dir.isValid());

    // Two pairs made by the harness, then one recording of each lone camera.
    const QString folder = m_dir.path() + QStringLiteral("/card");
    QDir().mkpath(folder);
    HxTestVideoSpec spec;
    spec.seconds = kSeconds;
    spec.audio = true;
    QString error;
    QVERIFY2(hxMakeCodedVideo(folder + QStringLiteral("/NORM260415-081202F.MP4"), spec, &error), qPrintable(error));
    QVERIFY2(hxMakeCodedVideo(folder + QStringLiteral("/NORM260415-081302R.MP4"), spec, &error), qPrintable(error));
    QVERIFY(hxWriteFile(m_dir.path() + QStringLiteral("/NORM260415-090002F.MP4"), "not a movie, only its name\n"));

    hxsync::Config config;
    config.frontWidth = 320;
    config.frontHeight = 180;
    config.rearWidth = 256;
    config.rearHeight = 144;
    // Long enough that no pause falls into the last two seconds, where
    // seeks stop short of the end.
    config.seconds = 2 * kSeconds;
    config.recordings = 2;
    m_harness = new Harness(config, this);
    QVERIFY2(m_harness->prepare(folder, &error), qPrintable(error));
    QCOMPARE(VwVideoFileList::instance()->visibleItems().size(), 4);
    m_player = m_harness->player();
    qRegisterMetaType<QList<QString> *>();
}

void TestVwPlayer::cleanup()
{
    if (!m_player)
        return;
    // The user's stop also ends a fast seek carried over to the next load.
    m_player->onUserStop();
    Harness::wait(50);
    if (m_player->isSwapped())
        m_player->toggleSwap(true);
    m_player->applySpeed(1.0);
}

VwVideoItem *TestVwPlayer::listed(const QString &name) const
{
    for (const VwVideoItemPtr &item : VwVideoFileList::instance()->visibleItems()) {
        if (QFileInfo(item->primaryPath()).fileName().startsWith(name))
            return item.data();
    }
    return nullptr;
}

bool TestVwPlayer::play(VwVideoItem *item)
{
    EventLog log(m_player);
    m_harness->select(item);
    return log.waitFor(PLAY_EVENT_LOADED)
        && Harness::waitFor([this] { return m_player->playerF()->mediaStatus() == BufferedMedia; }, 5000);
}

void TestVwPlayer::loadFrontAndRear()
{
    VwVideoItem *item = listed(QStringLiteral("NORM260415-081002"));
    QVERIFY(item);
    EventLog log(m_player);
    m_harness->select(item);
    QVERIFY(log.waitFor(PLAY_EVENT_LOADED));
    Harness::wait(300);

    // Stop first (nothing played: at once), then one load, then one LOADED
    // once the rear file is open too.
    QCOMPARE(log.indexOf(PLAY_EVENT_STOPPED), 0);
    const int load = log.indexOf(PLAY_EVENT_LOAD);
    QVERIFY(load > 0);
    QCOMPARE(log.events.at(load).item, item);
    QVERIFY(log.indexOf(PLAY_EVENT_LOADED) > load);
    QCOMPARE(log.count(PLAY_EVENT_LOAD), 1);
    QCOMPARE(log.count(PLAY_EVENT_LOADED), 1);
    QVERIFY(log.rearLoadedAtLoaded);
    QCOMPARE(log.events.at(log.indexOf(PLAY_EVENT_LOADED)).item, item);
    QCOMPARE(log.count(PLAY_EVENT_FIRST_FRAME), 1);

    QCOMPARE(m_player->playerF()->file(), item->frontPath);
    QCOMPARE(m_player->playerR()->file(), item->rearPath);
    QCOMPARE(m_player->pendingStops(), 2);
    QVERIFY(!VwPlayProcess::playLoading());
    QVERIFY(m_player->frontCode() >= 0);
    QVERIFY(m_player->rearCode() >= 0);
}

void TestVwPlayer::oneCamera_data()
{
    QTest::addColumn<QString>("recording");
    QTest::newRow("front only") << QStringLiteral("NORM260415-081202");
    QTest::newRow("rear only") << QStringLiteral("NORM260415-081302");
}

void TestVwPlayer::oneCamera()
{
    // After a pair, so that a rear picture left in the sub pane would show.
    QFETCH(QString, recording);
    QVERIFY(play(listed(QStringLiteral("NORM260415-081002"))));
    QVERIFY(Harness::waitFor([this] { return m_player->rearCode() >= 0; }, 3000));

    VwVideoItem *item = listed(recording);
    QVERIFY(item);
    QVERIFY(item->frontPath.isEmpty() != item->rearPath.isEmpty());
    QVERIFY(play(item));
    // The lone camera plays on the front player, its sound too, in the main pane.
    QCOMPARE(m_player->playerF()->file(), item->frontPath.isEmpty() ? item->rearPath : item->frontPath);
    QVERIFY(!m_player->playerR()->isLoaded());
    QCOMPARE(m_player->pendingStops(), 1);
    QVERIFY(Harness::waitFor([this] { return m_player->playerF()->audio()->isOpen(); }, 3000));
    QVERIFY(m_player->rendererMain()->currentFrame().isValid());
    QVERIFY(!m_player->rendererSub()->currentFrame().isValid());
}

void TestVwPlayer::unplayableFiles_data()
{
    QTest::addColumn<bool>("badFront");
    QTest::newRow("front file is not a movie") << true;
    QTest::newRow("rear file is not a movie") << false;
}

void TestVwPlayer::unplayableFiles()
{
    QFETCH(bool, badFront);
    const QString bad = m_dir.path() + QStringLiteral("/NORM260415-090002F.MP4");
    VwVideoItem *pair = listed(QStringLiteral("NORM260415-081002"));
    QVERIFY(pair);
    VwVideoItem item(pair->frontPath, false, &pair->dateTime);
    item.durationMs = pair->durationMs;
    item.rearPath = bad;
    if (badFront) {
        item.frontPath = bad;
        item.rearPath = pair->rearPath;
    }

    EventLog log(m_player);
    m_harness->process()->onVideoLoadingStart(&item);
    QVERIFY(VwPlayProcess::playLoading());
    if (badFront) {
        // Nothing can play: the views are told it stopped, and the list
        // takes next/previous requests again.
        QVERIFY(Harness::waitFor([&log] { return log.count(PLAY_EVENT_STOPPED) >= 2; }, 10000));
        QCOMPARE(log.count(PLAY_EVENT_LOADED), 0);
        QVERIFY(!m_player->currentItem());
        QVERIFY(!VwPlayProcess::playLoading());
    } else {
        // The front camera plays alone.
        QVERIFY(log.waitFor(PLAY_EVENT_LOADED));
        QCOMPARE(log.events.at(log.indexOf(PLAY_EVENT_LOADED)).item, &item);
        QCOMPARE(m_player->pendingStops(), 1);
        QVERIFY(!VwPlayProcess::playLoading());
    }
    m_player->stop();
    Harness::wait(50);
}

void TestVwPlayer::stopWhileIdle()
{
    m_player->stop();
    Harness::wait(50);
    EventLog log(m_player);
    m_player->stop();
    QCOMPARE(log.events.size(), 1);
    QCOMPARE(log.events.first().event, PLAY_EVENT_STOPPED);
    QCOMPARE(log.events.first().item, nullptr);

    m_player->onUserStop();
    QCOMPARE(log.events.size(), 3);
    QCOMPARE(log.events.last().event, PLAY_EVENT_USER_STOP);

    m_player->onPlayOrPause();
    QCOMPARE(log.events.last().event, PLAY_EVENT_NO_MEDIA);
}

void TestVwPlayer::endAdvancesAndWraps()
{
    // The last recording runs out; the first one follows.
    const QList<VwVideoItemPtr> items = VwVideoFileList::instance()->visibleItems();
    VwVideoItem *last = items.last().data();
    VwVideoItem *first = items.first().data();
    QVERIFY(play(last));
    EventLog log(m_player);
    QVERIFY(Harness::waitFor([&log] { return log.count(PLAY_EVENT_LOADED) > 0; }, int(kSeconds * 1000) + 10000));

    const int stopped = log.indexOf(PLAY_EVENT_STOPPED);
    QVERIFY(stopped >= 0);
    QCOMPARE(log.events.at(stopped).item, first);
    const int load = log.indexOf(PLAY_EVENT_LOAD, stopped);
    QVERIFY(load > stopped);
    QCOMPARE(log.events.at(load).item, first);
    QCOMPARE(m_player->currentItem(), first);
    QCOMPARE(VwVideoFileList::instance()->currentItem(), first);
}

void TestVwPlayer::frontPictureEndsFirst()
{
    // A front file whose sound outlasts its picture, beside a rear file as
    // long as the sound: when the front picture ends, the pair ends.
    const QString dir = m_dir.path() + QStringLiteral("/short");
    QDir().mkpath(dir);
    HxTestVideoSpec spec;
    spec.seconds = 1.0;
    QString error;
    const QString picture = dir + QStringLiteral("/picture.mp4");
    QVERIFY2(hxMakeCodedVideo(picture, spec, &error), qPrintable(error));
    spec.seconds = kSeconds;
    const QString rear = dir + QStringLiteral("/NORM260415-100002R.MP4");
    QVERIFY2(hxMakeCodedVideo(rear, spec, &error), qPrintable(error));
    const QString front = dir + QStringLiteral("/NORM260415-100002F.MP4");
    QProcess ffmpeg;
    ffmpeg.start(hxFfmpegPath(), {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-i"), picture,
                                  QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                  QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(kSeconds),
                                  QStringLiteral("-c:v"), QStringLiteral("copy"), QStringLiteral("-c:a"),
                                  QStringLiteral("aac"), front});
    QVERIFY(ffmpeg.waitForFinished(60000));
    QCOMPARE(ffmpeg.exitCode(), 0);

    VwVideoItem item(front, false, nullptr);
    item.rearPath = rear;
    EventLog log(m_player);
    m_harness->process()->onVideoLoadingStart(&item);
    QVERIFY(log.waitFor(PLAY_EVENT_LOADED));
    QVERIFY(m_player->playerF()->duration() > 3000);
    qint64 rearStoppedAt = -1;
    QMetaObject::Connection watch = connect(m_player, &VwPlayerBase::playEvent, this,
                                            [this, &rearStoppedAt](PLAY_EVENT event, VwVideoItem *) {
        if (event == PLAY_EVENT_STOPPED && rearStoppedAt < 0)
            rearStoppedAt = m_player->playerR()->position();
    });
    QVERIFY(Harness::waitFor([&rearStoppedAt] { return rearStoppedAt >= 0; }, 15000));
    disconnect(watch);
    QVERIFY2(rearStoppedAt < 2000, qPrintable(QString::number(rearStoppedAt)));
    m_player->stop();
    Harness::wait(50);
}

void TestVwPlayer::pauseThenChooseAnother()
{
    QVERIFY(play(listed(QStringLiteral("NORM260415-081002"))));
    Harness::wait(500);
    EventLog log(m_player);
    m_player->onPlayOrPause();
    QCOMPARE(log.events.last().event, PLAY_EVENT_PAUSE);
    QVERIFY(m_player->playerF()->isPaused());
    QVERIFY(m_player->playerR()->isPaused());

    VwVideoItem *other = listed(QStringLiteral("NORM260415-081102"));
    m_harness->select(other);
    QVERIFY(log.waitFor(PLAY_EVENT_LOADED));
    QCOMPARE(m_player->currentItem(), other);
    QVERIFY(!m_player->isPaused());
    QVERIFY(!m_player->playerF()->isPaused());
    QVERIFY(!m_player->playerR()->isPaused());
    const int play = log.indexOf(PLAY_EVENT_PLAY, log.indexOf(PLAY_EVENT_LOAD));
    QVERIFY(play > 0);
    QVERIFY(m_player->playerF()->position() < 1000);
    // It runs.
    const qint64 before = m_player->playerF()->position();
    Harness::wait(400);
    QVERIFY(m_player->playerF()->position() > before);
}

void TestVwPlayer::listRebuiltWhileStopping()
{
    // The choice waits for the playing pair to stop; a rebuild that leaves
    // the list empty takes the chosen record away meanwhile.
    QVERIFY(play(listed(QStringLiteral("NORM260415-081002"))));
    QPointer<VwVideoItem> chosen = listed(QStringLiteral("NORM260415-081102"));
    EventLog log(m_player);
    m_harness->select(chosen);
    VwVideoFileList *list = VwVideoFileList::instance();
    list->load({QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("NORM260415-090002F.MP4")))});
    QVERIFY(list->visibleItems().isEmpty());

    QVERIFY(log.waitFor(PLAY_EVENT_STOPPED));
    QVERIFY(Harness::waitFor([] { return !VwPlayProcess::playLoading(); }, 5000));
    Harness::wait(100);
    QCOMPARE(log.count(PLAY_EVENT_LOAD), 0);
    QVERIFY(!m_player->playerF()->isPlaying());
    QVERIFY(!chosen);

    QString error;
    QVERIFY2(m_harness->prepare(m_dir.path() + QStringLiteral("/card"), &error), qPrintable(error));
}

void TestVwPlayer::startPauseWaitsOnTheEventLoop()
{
    // The players report their first pictures through this thread's event
    // loop: a wait for them that blocked the thread could only run out, and
    // then seek before either had a picture.
    bool called = false;
    qint64 atReturn = -1;
    int seeksAtReturn = 0;
    QSignalSpy seeks(m_player->playerF(), &AVPlayer::seekFinished);
    const QMetaObject::Connection loaded = connect(m_player, &VwPlayerBase::playEvent, this,
                                                   [&](PLAY_EVENT event, VwVideoItem *) {
        if (event != PLAY_EVENT_LOADED || called)
            return;
        called = true;
        m_player->positionSlider()->setValue(3000);
        m_player->onStartPause();
        atReturn = m_player->playerF()->position();
        seeksAtReturn = seeks.count();
    });
    m_harness->select(listed(QStringLiteral("NORM260415-081002")));
    QVERIFY(Harness::waitFor([&called] { return called; }, 15000));
    disconnect(loaded);
    QVERIFY2(atReturn < 1000, qPrintable(QString::number(atReturn)));
    QVERIFY(Harness::waitFor([&] { return seeks.count() > seeksAtReturn && !m_player->playerF()->isSeekPending(); }, 5000));
}

void TestVwPlayer::volumeCurve_data()
{
    QTest::addColumn<int>("slider");
    QTest::addColumn<double>("gain");
    QTest::newRow("0 is silent") << 0 << 0.0;
    QTest::newRow("1") << 1 << 0.1116;
    QTest::newRow("100 amplifies a little") << 100 << 1.0355;
}

void TestVwPlayer::volumeCurve()
{
    QFETCH(int, slider);
    QFETCH(double, gain);
    QCOMPARE(qRound(VwPlayerBase::volumeGain(slider) * 10000), qRound(gain * 10000));

    QSlider volume;
    volume.setRange(0, 100);
    volume.setValue(slider);
    m_player->setVolumeSlider(&volume);
    QMetaObject::invokeMethod(m_player, "onSetVolume");
    QCOMPARE(qRound(m_player->playerF()->audio()->volume() * 10000), qRound(gain * 10000));
    m_player->setVolumeSlider(nullptr);
}

void TestVwPlayer::muteButtonWins()
{
    QCheckBox mute;
    QSlider volume;
    volume.setRange(0, 100);
    volume.setValue(80);
    m_player->setMuteButton(&mute);
    m_player->setVolumeSlider(&volume);
    AudioOutput *audio = m_player->playerF()->audio();
    EventLog log(m_player);

    mute.setChecked(true);
    QMetaObject::invokeMethod(m_player, "onMute");
    QVERIFY(audio->isMute());
    QCOMPARE(log.events.last().event, PLAY_EVENT_MUTE);
    // Moving the volume while muted changes the level, not the silence.
    volume.setValue(40);
    QMetaObject::invokeMethod(m_player, "onSetVolume");
    QVERIFY(audio->isMute());
    QCOMPARE(qRound(audio->volume() * 1000), qRound(VwPlayerBase::volumeGain(40) * 1000));

    mute.setChecked(false);
    QMetaObject::invokeMethod(m_player, "onMute");
    QVERIFY(!audio->isMute());
    QCOMPARE(log.events.last().event, PLAY_EVENT_UNMUTE);
    m_player->setMuteButton(nullptr);
    m_player->setVolumeSlider(nullptr);
}

void TestVwPlayer::speedChanges()
{
    QVERIFY(play(listed(QStringLiteral("NORM260415-081002"))));
    Harness::wait(1200);
    AudioOutput *audio = m_player->playerF()->audio();
    QVERIFY(!audio->isMute());
    QSignalSpy seeks(m_player->playerF(), &AVPlayer::seekFinished);

    m_player->applySpeed(2.0);
    QVERIFY(audio->isMute());
    QCOMPARE(AVPlayer::renderDivisor(), 8);
    QCOMPARE(m_player->playerR()->speed(), 2.0);
    Harness::wait(200);
    QCOMPARE(seeks.count(), 0);

    // Back to normal: the sound returns and both players seek (a change of 1.0).
    m_player->applySpeed(1.0);
    QVERIFY(!audio->isMute());
    QCOMPARE(AVPlayer::renderDivisor(), 0);
    QVERIFY(seeks.count() > 0 || seeks.wait(3000));

    m_player->applySpeed(0.5);
    QVERIFY(audio->isMute());
    QCOMPARE(AVPlayer::renderDivisor(), 0);
    Harness::wait(300);
    seeks.clear();
    // A change of exactly 0.5 does not seek.
    m_player->applySpeed(1.0);
    QVERIFY(!audio->isMute());
    Harness::wait(400);
    QCOMPARE(seeks.count(), 0);
}

void TestVwPlayer::fastSeekTargets_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("step");
    QTest::addColumn<qint64>("current");
    QTest::addColumn<qint64>("target");
    QTest::newRow("forward to the next mark") << 1 << 1 << qint64(25000) << qint64(30000);
    QTest::newRow("forward just below a mark skips it") << 1 << 1 << qint64(29950) << qint64(40000);
    QTest::newRow("forward from a mark") << 1 << 1 << qint64(30000) << qint64(40000);
    QTest::newRow("forward, second step") << 1 << 2 << qint64(25000) << qint64(40000);
    QTest::newRow("forward near the end goes to the end") << 1 << 1 << qint64(55000) << qint64(60000);
    QTest::newRow("backward") << 2 << 1 << qint64(25000) << qint64(10000);
    QTest::newRow("backward from a mark") << 2 << 1 << qint64(20000) << qint64(10000);
    QTest::newRow("backward just above a mark") << 2 << 1 << qint64(20050) << qint64(10000);
    QTest::newRow("backward below the start") << 2 << 1 << qint64(5000) << qint64(-10000);
    QTest::newRow("frame step") << 3 << 1 << qint64(25000) << qint64(25034);
    QTest::newRow("frame step stops at the end") << 3 << 3 << qint64(59990) << qint64(60000);
}

void TestVwPlayer::fastSeekTargets()
{
    QFETCH(int, mode);
    QFETCH(int, step);
    QFETCH(qint64, current);
    QFETCH(qint64, target);
    QCOMPARE(VwPlayer::seekTarget(mode, step, current, 60000), target);
}

void TestVwPlayer::frameStep()
{
    QVERIFY(play(listed(QStringLiteral("NORM260415-081002"))));
    QSlider &slider = *m_player->positionSlider();
    QCOMPARE(qint64(slider.maximum()), m_player->playerF()->duration());
    Harness::wait(300);
    m_player->onPlayOrPause();
    QVERIFY(m_player->playerF()->isPaused());
    slider.setValue(1000);
    QSignalSpy positions(m_player, &VwPlayerBase::positionChanged);
    EventLog log(m_player);

    m_player->onSeekFrameForwardStart();
    QCOMPARE(slider.value(), 1034);
    QVERIFY(!positions.isEmpty());
    QCOMPARE(positions.last().at(0).toLongLong(), qint64(1034));
    QVERIFY(m_player->isSeekBusy());
    // Play/pause waits while the steps run.
    m_player->onPlayOrPause();
    QVERIFY(log.events.isEmpty());
    QVERIFY(m_player->playerF()->isPaused());

    m_player->onSeekStepEnd();
    QVERIFY(m_player->isSeekBusy());
    QVERIFY(Harness::waitFor([this] { return !m_player->isSeekBusy(); }, 2000));
    QVERIFY(m_player->playerF()->isPaused());
}

void TestVwPlayer::seekStopsShortOfTheEnd()
{
    QVERIFY(play(listed(QStringLiteral("NORM260415-081002"))));
    Harness::wait(300);
    const qint64 d = m_player->playerF()->duration();
    QSignalSpy front(m_player->playerF(), &AVPlayer::seekFinished);
    QSignalSpy rear(m_player->playerR(), &AVPlayer::seekFinished);
    m_player->seek(d - 1000, false);
    QVERIFY(front.wait(3000));
    QVERIFY(rear.count() > 0 || rear.wait(3000));
    // Both land on the key frame (one a second) at or before d - 2000.
    const qint64 expected = (d - 2000) / 1000 * 1000;
    QCOMPARE(front.last().at(0).toLongLong(), expected);
    QCOMPARE(rear.last().at(0).toLongLong(), expected);
    QVERIFY(m_player->playerF()->isPlaying());
}

void TestVwPlayer::swap()
{
    QVERIFY(play(listed(QStringLiteral("NORM260415-081002"))));
    EventLog log(m_player);
    m_player->toggleSwap();
    m_player->toggleSwap();
    QCOMPARE(log.events.size(), 1);
    QCOMPARE(log.events.first().event, PLAY_EVENT_SWAP_REAR);
    QVERIFY(m_player->isSwapped());
    QCOMPARE(m_player->playerR()->videoOutputs(), QList<VideoRenderer *>{m_player->rendererMain()});
    QCOMPARE(m_player->playerF()->videoOutputs(), QList<VideoRenderer *>{m_player->rendererSub()});

    Harness::wait(250);
    m_player->toggleSwap();
    QCOMPARE(log.events.size(), 2);
    QCOMPARE(log.events.last().event, PLAY_EVENT_SWAP_FRONT);
    // The forced form does not start a block of its own.
    Harness::wait(250);
    m_player->toggleSwap(true);
    m_player->toggleSwap(true);
    QCOMPARE(log.events.size(), 4);
    QVERIFY(!m_player->isSwapped());

    // Without a rear file the pane that would show it goes blank.
    QVERIFY(play(listed(QStringLiteral("NORM260415-081202"))));
    Harness::wait(250);
    m_player->toggleSwap();
    QVERIFY(!m_player->rendererMain()->currentFrame().isValid());
    QVERIFY(Harness::waitFor([this] { return m_player->rendererSub()->currentFrame().isValid(); }, 2000));
}

void TestVwPlayer::capture()
{
    // One grab a camera, into the backup folder, with the player paused; the
    // window's still capture checks the pictures and their names.
    QVERIFY(play(listed(QStringLiteral("NORM260415-081002"))));
    Harness::wait(1200);

    QSignalSpy done(m_player, &VwPlayer::videoCaptureDone);
    QVERIFY(m_player->startCapture());
    QVERIFY(!m_player->startCapture());
    QVERIFY(done.wait(5000));
    QVERIFY(m_player->playerF()->isPaused());

    const QList<QString> paths = *done.first().at(0).value<QList<QString> *>();
    QCOMPARE(paths.size(), 2);
    const QString backup = VwApp::instance()->appPath(VwApp::PATH_BACKUP);
    for (const QString &path : paths) {
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(backup).absoluteFilePath());
        QVERIFY(QFileInfo(path).size() > 0);
    }
    // The capture is over: another one may start.
    QVERIFY(m_player->startCapture());
    QVERIFY(done.wait(5000));
}

void TestVwPlayer::camerasStayInStep()
{
    QVERIFY(m_harness->start(0));
    Harness::wait(800);
    const hxsync::Result playing = m_harness->playAt1x(2);
    QVERIFY(playing.offsets.size() > 100);
    QVERIFY2(playing.maxOffset() <= 1, qPrintable(QString::number(playing.maxOffset())));

    const hxsync::Result pauses = m_harness->pauseResume(2);
    QVERIFY(!pauses.offsets.isEmpty());
    QVERIFY2(pauses.maxOffset() <= 1, qPrintable(QString::number(pauses.maxOffset())));

    for (bool paused : {false, true}) {
        const hxsync::Result seeks = m_harness->seeks(3, paused, 5);
        QCOMPARE(seeks.failedSeeks, 0);
        QCOMPARE(seeks.offsets.size(), 3);
        QVERIFY2(seeks.maxOffset() <= 1, qPrintable(QString::number(seeks.maxOffset())));
    }
}

QTEST_MAIN(TestVwPlayer)
#include "tst_vw_player.moc"
