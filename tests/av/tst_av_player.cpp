#include "hx_test_fifo.h"
#include "hx_test_files.h"
#include "hx_test_media.h"

#include "audio_output.h"
#include "av_clock.h"
#include "av_player.h"
#include "video_renderer.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace av;

namespace {

constexpr int kFps = 30;

// While armed, a worker thread woken from a wait holds on to the mutex for
// a moment before it goes on, as a thread that was slow to be scheduled
// would: whatever the interface thread does meanwhile happens before the
// worker looks at what woke it.
std::atomic<bool> slowWakes{false};
pthread_t interfaceThread{};

} // namespace

extern "C" int pthread_cond_wait(pthread_cond_t *condition, pthread_mutex_t *mutex)
{
    using Wait = int (*)(pthread_cond_t *, pthread_mutex_t *);
    static const auto next = reinterpret_cast<Wait>(::dlsym(RTLD_NEXT, "pthread_cond_wait"));
    const int result = next(condition, mutex);
    if (slowWakes.load() && !::pthread_equal(::pthread_self(), interfaceThread))
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    return result;
}

class TestAVPlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void loadOutcome_data();
    void loadOutcome();
    void playPauseStop();
    void refusedCalls();
    void seek_data();
    void seek();
    void seeksCollapse();
    void framesFollowClock_data();
    void framesFollowClock();
    void endOfMedia_data();
    void endOfMedia();
    void brokenMedia_data();
    void brokenMedia();
    void twoPlayersOnOneClock();
    void audio_data();
    void audio();
    void setFileWhilePlaying();
    void stopWhileLoading_data();
    void stopWhileLoading();
    void deleteWhileLoading();
    void soundAfterSlowSpeed_data();
    void soundAfterSlowSpeed();
    void playAfterPauseAtEnd();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    bool startAndWaitFirstFrame(AVPlayer &player);

    QTemporaryDir m_dir;
    QScopedPointer<HxTestFifo> m_fifo;
};

void TestAVPlayer::initTestCase()
{
    if (hxFfmpegPath().isEmpty())
        QSKIP("ffmpeg is not installed: cannot make test media");
    QVERIFY(m_dir.isValid());
    QString error;
    HxTestVideoSpec coded;
    coded.seconds = 8.0;
    QVERIFY2(hxMakeCodedVideo(path("coded.mp4"), coded, &error), qPrintable(error));
    HxTestVideoSpec shortClip;
    shortClip.seconds = 2.0;
    QVERIFY2(hxMakeCodedVideo(path("short.mp4"), shortClip, &error), qPrintable(error));
    HxTestVideoSpec tone;
    tone.seconds = 3.0;
    tone.audio = true;
    QVERIFY2(hxMakeCodedVideo(path("tone.mp4"), tone, &error), qPrintable(error));
    HxTestVideoSpec indexed = coded;
    indexed.fastStart = true;
    QVERIFY2(hxMakeCodedVideo(path("indexed.mp4"), indexed, &error), qPrintable(error));
    tone.seconds = 8.0;
    QVERIFY2(hxMakeCodedVideo(path("longtone.mp4"), tone, &error), qPrintable(error));
    QVERIFY2(hxMakeToneAudio(path("sound.m4a"), 2.0, &error), qPrintable(error));
    // Cut short without its index (written last), with the index first but
    // half of the media data missing, and with garbage in the middle.
    QVERIFY(hxTruncateCopy(path("coded.mp4"), path("noindex.mp4"), 0.6));
    QVERIFY(hxTruncateCopy(path("indexed.mp4"), path("cut.mp4"), 0.5));
    QVERIFY(QFile::copy(path("indexed.mp4"), path("damaged.mp4")));
    QFile damaged(path("damaged.mp4"));
    QVERIFY(damaged.open(QIODevice::ReadWrite) && damaged.seek(damaged.size() / 2));
    damaged.write(QByteArray(4096, char(0xff)));
    damaged.close();
    QVERIFY(hxWriteFile(path("empty.mp4"), QByteArray()));
    QVERIFY(hxWriteFile(path("notes.txt"), "These are not pictures.\n"));
    m_fifo.reset(new HxTestFifo(path("pipe.mp4")));
    QVERIFY(m_fifo->isValid());
}

bool TestAVPlayer::startAndWaitFirstFrame(AVPlayer &player)
{
    QSignalSpy first(&player, &AVPlayer::firstFrameNotify);
    player.play();
    return first.wait(10000) || first.count() == 1;
}

void TestAVPlayer::loadOutcome_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("errorCode");

    QTest::newRow("video") << "coded.mp4" << true << int(AVError::NoError);
    QTest::newRow("video with sound") << "tone.mp4" << true << int(AVError::NoError);
    QTest::newRow("missing") << "nothing-here.mp4" << false << int(AVError::OpenError);
    QTest::newRow("zero length") << "empty.mp4" << false << int(AVError::OpenError);
    QTest::newRow("text") << "notes.txt" << false << int(AVError::OpenError);
    QTest::newRow("sound only") << "sound.m4a" << false << int(AVError::StreamNotFound);
    QTest::newRow("cut without index") << "noindex.mp4" << false << int(AVError::OpenError);
    QTest::newRow("pipe in place of the file") << "pipe.mp4" << false << int(AVError::OpenError);
}

void TestAVPlayer::loadOutcome()
{
    QFETCH(QString, file);
    QFETCH(bool, valid);
    QFETCH(int, errorCode);

    AVPlayer player;
    QSignalSpy status(&player, &AVPlayer::mediaStatusChanged);
    QSignalSpy errors(&player, &AVPlayer::error);
    player.setFile(path(file));
    QCOMPARE(player.file(), path(file));
    QVERIFY(player.load());
    QCOMPARE(player.mediaStatus(), LoadingMedia);
    QTRY_VERIFY_WITH_TIMEOUT(player.mediaStatus() != LoadingMedia, 10000);

    QCOMPARE(status.first().at(0).value<MediaStatus>(), LoadingMedia);
    QCOMPARE(status.last().at(0).value<MediaStatus>(), valid ? LoadedMedia : InvalidMedia);
    QCOMPARE(player.isLoaded(), valid);
    QCOMPARE(player.state(), AVPlayer::StoppedState);
    QCOMPARE(errors.count(), valid ? 0 : 1);
    if (!valid) {
        const AVError e = errors.first().at(0).value<AVError>();
        QCOMPARE(int(e.error()), errorCode);
        QVERIFY(!e.string().isEmpty());
        if (errorCode == AVError::OpenError)
            QVERIFY(!e.ffmpegErrorString().isEmpty());
        // A player that cannot load does not start.
        QSignalSpy started(&player, &AVPlayer::started);
        player.play();
        QTest::qWait(200);
        QCOMPARE(started.count(), 0);
        QVERIFY(!m_fifo->rescued());
    } else {
        QVERIFY(qAbs(player.duration() - (file == "tone.mp4" ? 3000 : 8000)) <= 100);
    }
}

void TestAVPlayer::playPauseStop()
{
    AVPlayer player;
    HxTestRecorder recorder;
    recorder.clock = player.masterClock();
    player.setRenderer(&recorder);
    QVERIFY(hxLoadAndWait(player, path("coded.mp4")));

    QSignalSpy started(&player, &AVPlayer::started);
    QSignalSpy stopped(&player, &AVPlayer::stopped);
    QSignalSpy first(&player, &AVPlayer::firstFrameNotify);
    QSignalSpy positions(&player, &AVPlayer::positionChanged);
    player.play();
    QCOMPARE(player.state(), AVPlayer::PlayingState);
    QVERIFY(player.isPlaying());
    QVERIFY(!player.isPaused());
    QVERIFY(started.wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(first.count(), 1, 5000);
    QCOMPARE(recorder.shots.first().code, 0);
    QCOMPARE(first.first().at(0).toReal(), 0.0);
    QCOMPARE(player.mediaStatus(), BufferedMedia);

    QTRY_VERIFY_WITH_TIMEOUT(recorder.lastCode() >= 15, 5000);
    QVERIFY(positions.count() >= 3);

    QSignalSpy paused(&player, &AVPlayer::paused);
    player.pause(true);
    QVERIFY(player.isPaused());
    QCOMPARE(player.state(), AVPlayer::PausedState);
    QCOMPARE(paused.count(), 1);
    const int frozenAt = recorder.shots.size();
    const qint64 pausedPosition = player.position();
    QTest::qWait(300);
    QCOMPARE(recorder.shots.size(), frozenAt);
    QCOMPARE(player.position(), pausedPosition);

    player.pause(false);
    QVERIFY(!player.isPaused());
    const int resumedFrom = recorder.lastCode();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.lastCode() > resumedFrom + 3, 5000);
    // Frames only move forward while playing.
    const QVector<int> codes = recorder.codes();
    QVERIFY(std::is_sorted(codes.begin(), codes.end()));

    player.stop();
    QCOMPARE(player.state(), AVPlayer::StoppedState);
    QCOMPARE(stopped.count(), 0); // asynchronous
    QVERIFY(stopped.wait(5000));
    QTest::qWait(50);
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(first.count(), 1);
    QVERIFY(player.isLoaded());

    // A stopped player starts again from the first frame.
    recorder.shots.clear();
    QVERIFY(startAndWaitFirstFrame(player));
    QCOMPARE(recorder.shots.first().code, 0);
    player.stop();
    QVERIFY(stopped.wait(5000));
}

void TestAVPlayer::refusedCalls()
{
    AVPlayer player;
    QSignalSpy paused(&player, &AVPlayer::paused);
    QSignalSpy seeks(&player, &AVPlayer::seekFinished);
    QSignalSpy stopped(&player, &AVPlayer::stopped);

    // Nothing loaded: nothing happens.
    player.pause(true);
    QVERIFY(!player.isPaused());
    player.setPosition(1000);
    QVERIFY(!player.isSeekPending());
    player.stop();

    QVERIFY(hxLoadAndWait(player, path("coded.mp4")));
    player.pause(true);
    QVERIFY(!player.isPaused());
    player.setPosition(1000);
    player.stop();
    QTest::qWait(100);
    QCOMPARE(paused.count(), 0);
    QCOMPARE(seeks.count(), 0);
    QCOMPARE(stopped.count(), 0);

    QVERIFY(startAndWaitFirstFrame(player));
    player.pause(true);
    player.pause(true);
    QCOMPARE(paused.count(), 1);
    player.pause(false);
    player.pause(false);
    QCOMPARE(paused.count(), 2);
    player.stop();
    player.stop();
    QVERIFY(stopped.wait(5000));
    QTest::qWait(50);
    QCOMPARE(stopped.count(), 1);
}

void TestAVPlayer::seek_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<qint64>("target");
    QTest::addColumn<int>("frame");

    // Key frames every second: 5.5 s lands on the key frame at 5 s (frame 150).
    QTest::newRow("key frame, playing") << int(KeyFrameSeek) << false << qint64(5500) << 150;
    QTest::newRow("key frame, paused") << int(KeyFrameSeek) << true << qint64(5500) << 150;
    QTest::newRow("key frame exact, paused") << int(KeyFrameSeek) << true << qint64(5000) << 150;
    QTest::newRow("accurate, paused") << int(AccurateSeek) << true << qint64(5500) << 165;
    QTest::newRow("accurate backwards, paused") << int(AccurateSeek) << true << qint64(1010) << 30;
    QTest::newRow("beyond the end, paused") << int(AccurateSeek) << true << qint64(60000) << 239;
}

void TestAVPlayer::seek()
{
    QFETCH(int, type);
    QFETCH(bool, paused);
    QFETCH(qint64, target);
    QFETCH(int, frame);

    AVPlayer player;
    HxTestRecorder recorder;
    player.setRenderer(&recorder);
    player.setSeekType(SeekType(type));
    QVERIFY(hxLoadAndWait(player, path("coded.mp4")));
    QVERIFY(startAndWaitFirstFrame(player));
    if (paused) {
        player.pause(true);
        QVERIFY(player.isPaused());
    }
    QSignalSpy seeks(&player, &AVPlayer::seekFinished);
    player.setPosition(target);
    QVERIFY(player.isSeekPending());
    QVERIFY(seeks.wait(5000));
    QVERIFY(!player.isSeekPending());
    QCOMPARE(seeks.count(), 1);
    // The picture changes also while paused, and shows the frame reached.
    QCOMPARE(recorder.lastCode(), frame);
    QVERIFY(qAbs(seeks.first().at(0).toLongLong() - frame * 1000 / kFps) <= 1);
    QCOMPARE(player.isPaused(), paused);
    if (paused) {
        const int shown = recorder.shots.size();
        QTest::qWait(200);
        QCOMPARE(recorder.shots.size(), shown);
        QVERIFY(qAbs(player.position() - frame * 1000 / kFps) <= 1);
    } else if (frame < 200) {
        QTRY_VERIFY_WITH_TIMEOUT(recorder.lastCode() > frame + 3, 5000);
    }
    player.stop();
}

void TestAVPlayer::seeksCollapse()
{
    AVPlayer player;
    HxTestRecorder recorder;
    player.setRenderer(&recorder);
    player.setSeekType(AccurateSeek);
    QVERIFY(hxLoadAndWait(player, path("coded.mp4")));
    QVERIFY(startAndWaitFirstFrame(player));
    player.pause(true);
    QSignalSpy seeks(&player, &AVPlayer::seekFinished);
    const int before = recorder.shots.size();
    player.setPosition(2000);
    player.setPosition(6000);
    player.setPosition(4000);
    QVERIFY(seeks.wait(5000));
    QTest::qWait(200);
    QCOMPARE(seeks.count(), 1);
    QCOMPARE(seeks.first().at(0).toLongLong(), qint64(4000));
    // Only the newest target was ever shown.
    QCOMPARE(recorder.shots.size(), before + 1);
    QCOMPARE(recorder.lastCode(), 120);

    // However late the demux thread wakes for the first of two requests,
    // the second one wins.
    interfaceThread = ::pthread_self();
    int wrong = 0;
    for (int pair = 0; pair < 30; ++pair) {
        QSignalSpy pairSeeks(&player, &AVPlayer::seekFinished);
        slowWakes = true;
        player.setPosition(1000);
        player.setPosition(6000);
        slowWakes = false;
        QVERIFY(pairSeeks.wait(5000));
        if (recorder.lastCode() != 180)
            ++wrong;
    }
    QCOMPARE(wrong, 0);
}

void TestAVPlayer::framesFollowClock_data()
{
    QTest::addColumn<qreal>("speed");
    QTest::addColumn<int>("divisor");

    QTest::newRow("0.5x") << qreal(0.5) << 0;
    QTest::newRow("1x") << qreal(1.0) << 0;
    QTest::newRow("2x, one frame in 8") << qreal(2.0) << 8;
}

void TestAVPlayer::framesFollowClock()
{
    QFETCH(qreal, speed);
    QFETCH(int, divisor);

    AVPlayer::setRenderDivisor(divisor);
    AVPlayer player;
    HxTestRecorder recorder;
    recorder.clock = player.masterClock();
    player.setRenderer(&recorder);
    QVERIFY(hxLoadAndWait(player, path("coded.mp4")));
    player.setSpeed(speed);
    QCOMPARE(player.speed(), speed);
    QVERIFY(startAndWaitFirstFrame(player));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.lastCode() >= 40, 10000);
    player.stop();
    AVPlayer::setRenderDivisor(0);

    const QVector<HxTestRecorder::Shot> shots = recorder.shots;
    QVERIFY(shots.size() >= 5);
    int late = 0;
    for (int i = 0; i < shots.size(); ++i) {
        const double framesBehind = shots[i].clock * kFps - shots[i].code;
        // Never ahead of the clock.
        QVERIFY2(framesBehind > -0.01, qPrintable(QStringLiteral("frame %1 at clock %2")
                                                      .arg(shots[i].code).arg(shots[i].clock)));
        if (framesBehind > 1.0)
            ++late;
        if (i > 0) {
            const int step = shots[i].code - shots[i - 1].code;
            QVERIFY(step > 0);
            if (divisor > 0)
                QVERIFY2(step % divisor == 0, qPrintable(QStringLiteral("step %1").arg(step)));
        }
    }
    // Within a frame of the clock, allowing a busy machine a rare late tick.
    QVERIFY2(late * 10 <= shots.size(), qPrintable(QStringLiteral("%1 of %2 late").arg(late).arg(shots.size())));
}

void TestAVPlayer::endOfMedia_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("keepsPicture");

    QTest::newRow("keep display") << int(MediaEndAction_KeepDisplay) << true;
    QTest::newRow("default") << int(MediaEndAction_Default) << false;
}

void TestAVPlayer::endOfMedia()
{
    QFETCH(int, action);
    QFETCH(bool, keepsPicture);

    AVPlayer player;
    HxTestRecorder recorder;
    player.setRenderer(&recorder);
    player.setMediaEndAction(action);
    QVERIFY(hxLoadAndWait(player, path("short.mp4")));
    QSignalSpy status(&player, &AVPlayer::mediaStatusChanged);
    QSignalSpy stopped(&player, &AVPlayer::stopped);
    QSignalSpy positions(&player, &AVPlayer::positionChanged);
    player.play();
    QVERIFY(stopped.wait(10000));
    QCOMPARE(player.mediaStatus(), EndOfMedia);
    QCOMPARE(status.last().at(0).value<MediaStatus>(), EndOfMedia);
    QCOMPARE(recorder.lastCode(), 59);
    QVERIFY(positions.last().at(0).toLongLong() >= player.duration() - 40);
    if (keepsPicture) {
        QCOMPARE(recorder.blanks, 0);
        QVERIFY(recorder.currentFrame().isValid());
        QCOMPARE(hxReadFrameCode(player.displayedFrame().image()), 59);
    } else {
        QVERIFY(!recorder.currentFrame().isValid());
    }
    // Playing again after the end starts from the beginning.
    recorder.shots.clear();
    QVERIFY(startAndWaitFirstFrame(player));
    QCOMPARE(recorder.shots.first().code, 0);
    QCOMPARE(player.mediaStatus(), BufferedMedia);
    player.stop();
}

void TestAVPlayer::brokenMedia_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("cut");

    // Cut short with its index first, the second half missing; and a
    // stretch of garbage in the middle of the media data.
    QTest::newRow("cut short") << "cut.mp4" << true;
    QTest::newRow("garbage in the middle") << "damaged.mp4" << false;
}

void TestAVPlayer::brokenMedia()
{
    QFETCH(QString, file);
    QFETCH(bool, cut);

    AVPlayer player;
    HxTestRecorder recorder;
    player.setRenderer(&recorder);
    player.setMediaEndAction(MediaEndAction_KeepDisplay);
    player.setSeekType(AccurateSeek);
    QVERIFY(hxLoadAndWait(player, path(file)));
    // The index still announces the full length.
    QVERIFY(player.duration() > 7000);
    QSignalSpy stopped(&player, &AVPlayer::stopped);
    if (cut) {
        QVERIFY(startAndWaitFirstFrame(player));
        QCOMPARE(recorder.shots.first().code, 0);
        // Seeking into the missing part finishes and ends the media.
        QSignalSpy seeks(&player, &AVPlayer::seekFinished);
        player.setPosition(7500);
        QVERIFY(stopped.wait(10000));
        QCOMPARE(seeks.count(), 1);
        QCOMPARE(player.mediaStatus(), EndOfMedia);
        recorder.shots.clear();
    }

    // Played from the start, what can be read plays to its end: damaged
    // pictures are skipped or shown broken.
    player.setSpeed(4.0);
    player.play();
    QVERIFY(stopped.wait(15000));
    QCOMPARE(player.mediaStatus(), EndOfMedia);
    if (cut) {
        QVERIFY(recorder.shots.size() > 10);
        QVERIFY(recorder.lastCode() > 60);
        QVERIFY(recorder.lastCode() < 240);
    } else {
        QCOMPARE(recorder.lastCode(), 239);
    }
}

void TestAVPlayer::twoPlayersOnOneClock()
{
    AVClock shared(AVClock::ExternalClock);
    AVPlayer front;
    AVPlayer rear;
    HxTestRecorder frontRecorder;
    HxTestRecorder rearRecorder;
    front.setRenderer(&frontRecorder);
    rear.setRenderer(&rearRecorder);
    rear.audio()->setBackends({});
    QVERIFY(hxLoadAndWait(front, path("coded.mp4")));
    QVERIFY(hxLoadAndWait(rear, path("indexed.mp4")));
    QVERIFY(startAndWaitFirstFrame(front));
    QVERIFY(startAndWaitFirstFrame(rear));
    shared.start();

    // Keep both master clocks on the shared one, as a pair player does.
    QTimer sync;
    connect(&sync, &QTimer::timeout, this, [&] {
        front.masterClock()->updateExternalClock(shared);
        rear.masterClock()->updateExternalClock(shared);
    });
    sync.start(100);

    int samples = 0;
    int apart = 0;
    QTimer sample;
    connect(&sample, &QTimer::timeout, this, [&] {
        if (frontRecorder.lastCode() < 10)
            return;
        ++samples;
        if (qAbs(frontRecorder.lastCode() - rearRecorder.lastCode()) > 1)
            ++apart;
    });
    sample.start(37);
    QTRY_VERIFY_WITH_TIMEOUT(frontRecorder.lastCode() >= 75, 10000);
    sample.stop();
    sync.stop();
    front.stop();
    rear.stop();
    QVERIFY(samples >= 10);
    QVERIFY2(apart * 10 <= samples, qPrintable(QStringLiteral("%1 of %2 apart").arg(apart).arg(samples)));
}

void TestAVPlayer::audio_data()
{
    QTest::addColumn<QStringList>("backends");
    QTest::addColumn<QString>("inUse");

    QTest::newRow("default") << AudioOutput::backendsAvailable() << "null";
    QTest::newRow("none") << QStringList() << QString();
}

void TestAVPlayer::audio()
{
    QFETCH(QStringList, backends);
    QFETCH(QString, inUse);

    // Tests run with HX_AUDIO_OUTPUT=null: playback behaves as with sound.
    AVPlayer player;
    HxTestRecorder recorder;
    recorder.clock = player.masterClock();
    player.setRenderer(&recorder);
    player.audio()->setBackends(backends);
    player.audio()->setVolume(1.5);
    QCOMPARE(player.audio()->volume(), 1.5);
    player.audio()->setMute(true);
    QVERIFY(player.audio()->isMute());
    player.audio()->setMute(false);
    player.setMediaEndAction(MediaEndAction_KeepDisplay);
    QVERIFY(hxLoadAndWait(player, path("tone.mp4")));
    QSignalSpy stopped(&player, &AVPlayer::stopped);
    QVERIFY(startAndWaitFirstFrame(player));
    QCOMPARE(player.audio()->backendName(), inUse);
    QCOMPARE(recorder.shots.first().code, 0);
    QVERIFY(stopped.wait(10000));
    QCOMPARE(player.mediaStatus(), EndOfMedia);
    QCOMPARE(recorder.lastCode(), 89);
    for (const HxTestRecorder::Shot &shot : qAsConst(recorder.shots))
        QVERIFY(shot.clock * kFps - shot.code > -0.01);
}

void TestAVPlayer::setFileWhilePlaying()
{
    // Changing the file stops the running one; the new one loads cleanly.
    AVPlayer player;
    HxTestRecorder recorder;
    player.setRenderer(&recorder);
    QVERIFY(hxLoadAndWait(player, path("coded.mp4")));
    QSignalSpy stopped(&player, &AVPlayer::stopped);
    QVERIFY(startAndWaitFirstFrame(player));
    player.setFile(QString());
    QCOMPARE(player.state(), AVPlayer::StoppedState);
    QCOMPARE(player.mediaStatus(), NoMedia);
    QVERIFY(!player.isLoaded());
    QVERIFY(stopped.wait(5000));
    QVERIFY(!player.load());
    QVERIFY(hxLoadAndWait(player, path("short.mp4")));
    QVERIFY(startAndWaitFirstFrame(player));
    QCOMPARE(recorder.lastCode(), 0);
    // Destroying a running player is safe.
}

void TestAVPlayer::stopWhileLoading_data()
{
    QTest::addColumn<bool>("clearFile");
    QTest::addColumn<int>("outcome");

    // stop() leaves a load running (its result still arrives) but cancels the
    // play that was to follow; clearing the file cancels the load itself.
    QTest::newRow("stop") << false << int(LoadedMedia);
    QTest::newRow("stop and clear the file") << true << int(NoMedia);
}

void TestAVPlayer::stopWhileLoading()
{
    QFETCH(bool, clearFile);
    QFETCH(int, outcome);

    AVPlayer player;
    QSignalSpy started(&player, &AVPlayer::started);
    QSignalSpy stopped(&player, &AVPlayer::stopped);
    QSignalSpy status(&player, &AVPlayer::mediaStatusChanged);
    player.setFile(path("coded.mp4"));
    player.play(); // loads first
    QCOMPARE(player.mediaStatus(), LoadingMedia);
    player.stop();
    if (clearFile)
        player.setFile(QString());
    QTest::qWait(500);
    QCOMPARE(int(player.mediaStatus()), outcome);
    QCOMPARE(started.count(), 0);
    QCOMPARE(stopped.count(), 0);
    QCOMPARE(player.state(), AVPlayer::StoppedState);
}

void TestAVPlayer::deleteWhileLoading()
{
    // A server that takes the connection and never answers keeps the open
    // waiting; deleting the player must cut it short rather than wait it out.
    // After a grace time the server closes, so that a player that waits
    // makes the test fail instead of hang.
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(::bind(server, reinterpret_cast<sockaddr *>(&address), length) == 0 && ::listen(server, 1) == 0
            && ::getsockname(server, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    std::atomic<bool> done{false};
    std::atomic<bool> closedFirst{false};
    std::thread closer([&] {
        for (int step = 0; step < 200 && !done; ++step)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        closedFirst = !done;
        ::close(server);
    });

    auto *player = new AVPlayer;
    player->setFile(QStringLiteral("http://127.0.0.1:%1/recording.mp4").arg(ntohs(address.sin_port)));
    QVERIFY(player->load());
    QTest::qWait(300);
    delete player;
    done = true;
    closer.join();
    QVERIFY(!closedFirst);
}

void TestAVPlayer::soundAfterSlowSpeed_data()
{
    QTest::addColumn<qreal>("speed");
    QTest::newRow("0.5x") << qreal(0.5);
    QTest::newRow("0.8x") << qreal(0.8);
}

void TestAVPlayer::soundAfterSlowSpeed()
{
    // Away from 1x the sound is silent; back at 1x it plays again at once
    // (measured on the player's own clock).
    QFETCH(qreal, speed);
    AVPlayer player;
    HxTestRecorder recorder;
    player.setRenderer(&recorder);
    QVERIFY(hxLoadAndWait(player, path("longtone.mp4")));
    QVERIFY(startAndWaitFirstFrame(player));
    player.setSpeed(speed);
    QTest::qWait(3000);
    player.setSpeed(1.0);
    const qint64 back = player.position();
    QTRY_VERIFY_WITH_TIMEOUT(player.audio()->bufferedFrames() > 0 || player.position() - back > 200, 5000);
    QVERIFY2(player.audio()->bufferedFrames() > 0,
             qPrintable(QStringLiteral("no sound %1 ms after the return to 1x").arg(player.position() - back)));
}

void TestAVPlayer::playAfterPauseAtEnd()
{
    // A player that pauses at its end plays again from the beginning, and
    // pauses at the end again.
    AVPlayer player;
    HxTestRecorder recorder;
    player.setRenderer(&recorder);
    player.setMediaEndAction(MediaEndAction_Pause);
    QVERIFY(hxLoadAndWait(player, path("short.mp4")));
    player.play();
    QTRY_VERIFY_WITH_TIMEOUT(player.mediaStatus() == EndOfMedia && player.isPaused(), 10000);
    QCOMPARE(recorder.lastCode(), 59);

    recorder.shots.clear();
    player.play();
    QTRY_VERIFY_WITH_TIMEOUT(!recorder.shots.isEmpty(), 5000);
    QCOMPARE(recorder.shots.first().code, 0);
    QTRY_VERIFY_WITH_TIMEOUT(player.mediaStatus() == EndOfMedia && player.isPaused(), 10000);
    QCOMPARE(recorder.lastCode(), 59);
    QVERIFY(player.position() <= player.duration() + 40);
}

QTEST_MAIN(TestAVPlayer)
#include "tst_av_player.moc"
