#include "hx_test_files.h"
#include "hx_test_media.h"

#include "av_player.h"
#include "lib_av_filter_video.h"
#include "video_capture.h"
#include "video_renderer.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

#include <unistd.h>

using namespace av;

namespace {

constexpr int kFps = 30;
const QString kMirror = QStringLiteral("format=pix_fmts=rgb24,hflip,vflip");
const QString kEq = QStringLiteral("format=pix_fmts=rgb24,eq=brightness=0.100:contrast=1.450");
const QString kDarker = QStringLiteral("format=pix_fmts=rgb24,eq=brightness=-0.200");

bool startAndWait(AVPlayer &player, HxTestRecorder &recorder, int code)
{
    player.play();
    return QTest::qWaitFor([&] { return recorder.lastCode() >= code; }, 10000);
}

// Asks a paused player to show its picture again, as the player pair does
// after a filter change, and waits for it.
bool refresh(AVPlayer &player)
{
    QSignalSpy seeks(&player, &AVPlayer::seekFinished);
    player.setPosition(player.position());
    return seeks.wait(5000);
}

} // namespace

class TestFilterPlayback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void filtersChangeWhilePlaying();
    void pausedRefresh_data();
    void pausedRefresh();
    void capture_data();
    void capture();
    void captureFailure_data();
    void captureFailure();
    void severalOutputs();

private:
    QString media() const { return m_dir.filePath(QStringLiteral("coded.mp4")); }

    QTemporaryDir m_dir;
    int m_plainBody = 0;
};

void TestFilterPlayback::initTestCase()
{
    if (hxFfmpegPath().isEmpty())
        QSKIP("ffmpeg is not installed: cannot make test media");
    QVERIFY(m_dir.isValid());
    HxTestVideoSpec video;
    video.seconds = 12.0;
    QString error;
    QVERIFY2(hxMakeCodedVideo(media(), video, &error), qPrintable(error));
    const QColor body = hxTestBodyColor();
    m_plainBody = qGray(body.rgb());
}

void TestFilterPlayback::filtersChangeWhilePlaying()
{
    AVPlayer player;
    HxTestRecorder recorder;
    player.setRenderer(&recorder);
    QVERIFY(hxLoadAndWait(player, media()));
    QVERIFY(startAndWait(player, recorder, 5));
    QVERIFY(!recorder.last().flipped);
    QVERIFY(qAbs(recorder.last().body - m_plainBody) <= 8);

    LibAVFilterVideo mirror;
    mirror.setOptions(kMirror);
    QVERIFY(mirror.installTo(&player));
    QVERIFY(mirror.isInstalled());
    QTRY_VERIFY_WITH_TIMEOUT(recorder.last().flipped, 5000);
    QVERIFY(recorder.lastCode() >= 0);

    // A second filter runs after the first: mirrored and brighter.
    auto eq = std::make_unique<LibAVFilterVideo>();
    eq->setOptions(kEq);
    eq->installTo(&player);
    QCOMPARE(player.videoFilters(), (QList<VideoFrameFilter *>{&mirror, eq.get()}));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.last().body > m_plainBody + 10, 5000);
    QVERIFY(recorder.last().flipped);

    // New options take effect on the following frames.
    eq->setOptions(kDarker);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.last().body < m_plainBody - 10, 5000);

    QVERIFY(mirror.uninstall());
    QVERIFY(!mirror.uninstall());
    QTRY_VERIFY_WITH_TIMEOUT(!recorder.last().flipped, 5000);
    // Deleting an installed filter takes it off the player.
    eq.reset();
    QCOMPARE(player.videoFilters(), QList<VideoFrameFilter *>());
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(recorder.last().body - m_plainBody) <= 8, 5000);

    // A text FFmpeg rejects changes nothing and playback goes on.
    LibAVFilterVideo bad;
    bad.setOptions(QStringLiteral("format=pix_fmts=rgb24,nosuchfilter"));
    bad.installTo(&player);
    const int from = recorder.shots.size();
    const int code = recorder.lastCode();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.lastCode() >= code + 15, 5000);
    for (int i = from + 4; i < recorder.shots.size(); ++i) {
        QVERIFY(!recorder.shots[i].flipped);
        QVERIFY(qAbs(recorder.shots[i].body - m_plainBody) <= 8);
    }
    QCOMPARE(player.state(), AVPlayer::PlayingState);

    const QVector<int> codes = recorder.codes();
    QVERIFY(std::is_sorted(codes.begin(), codes.end()));
    QVERIFY(codes.first() >= 0);
    player.stop();
}

void TestFilterPlayback::pausedRefresh_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<bool>("flipped");
    QTest::addColumn<int>("brighter");

    QTest::newRow("mirror") << kMirror << true << 0;
    QTest::newRow("eq") << kEq << false << 1;
    QTest::newRow("rejected") << QStringLiteral("format=pix_fmts=rgb24,hflip,,") << false << 0;
}

void TestFilterPlayback::pausedRefresh()
{
    QFETCH(QString, options);
    QFETCH(bool, flipped);
    QFETCH(int, brighter);

    AVPlayer player;
    HxTestRecorder recorder;
    player.setRenderer(&recorder);
    player.setSeekType(KeyFrameSeek);
    QVERIFY(hxLoadAndWait(player, media()));
    QVERIFY(startAndWait(player, recorder, 40));
    player.pause(true);
    const int shown = recorder.lastCode();

    LibAVFilterVideo filter;
    filter.setOptions(options);
    filter.installTo(&player);
    // A second refresh asked before the first finished makes no second seek.
    QSignalSpy seeks(&player, &AVPlayer::seekFinished);
    const qint64 pausedAt = player.position();
    player.setPosition(pausedAt);
    player.setPosition(pausedAt);
    QVERIFY(seeks.wait(5000));
    QTest::qWait(100);
    QCOMPARE(seeks.count(), 1);
    // Exactly the paused frame again, not the key frame before it.
    QTRY_COMPARE_WITH_TIMEOUT(recorder.last().flipped, flipped, 2000);
    QCOMPARE(recorder.lastCode(), shown);
    if (brighter)
        QVERIFY(recorder.last().body > m_plainBody + 10);
    else
        QVERIFY(qAbs(recorder.last().body - m_plainBody) <= 8);
    QCOMPARE(hxLookAt(player.displayedFrame().image()).code, shown);
    QVERIFY(player.isPaused());

    filter.uninstall();
    // The pair asks again for the moment it asked for before, though the
    // clock now stands at the shown frame, which may lie before it.
    player.setPosition(pausedAt);
    QVERIFY(seeks.wait(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!recorder.last().flipped, 2000);
    QCOMPARE(recorder.lastCode(), shown);
    QVERIFY(qAbs(recorder.last().body - m_plainBody) <= 8);
    player.stop();
}

void TestFilterPlayback::capture_data()
{
    QTest::addColumn<bool>("async");
    QTest::addColumn<QString>("options");

    QTest::newRow("sync") << false << QString();
    QTest::newRow("async, mirrored and brighter") << true << kEq + QStringLiteral(",hflip,vflip");
}

void TestFilterPlayback::capture()
{
    QFETCH(bool, async);
    QFETCH(QString, options);

    AVPlayer player;
    HxTestRecorder recorder;
    player.setRenderer(&recorder);
    player.setSeekType(KeyFrameSeek);
    QVERIFY(hxLoadAndWait(player, media()));
    QVERIFY(startAndWait(player, recorder, 20));
    player.pause(true);
    LibAVFilterVideo filter;
    if (!options.isEmpty()) {
        filter.setOptions(options);
        filter.installTo(&player);
        QVERIFY(refresh(player));
        QTRY_VERIFY_WITH_TIMEOUT(recorder.last().flipped, 2000);
    }
    const HxTestLook shown = recorder.last();
    QVERIFY(shown.code >= 20);

    QTemporaryDir folder;
    VideoCapture *capture = player.videoCapture();
    QVERIFY(capture);
    QCOMPARE(player.videoCapture(), capture);
    QCOMPARE(capture->saveFormat(), QStringLiteral("jpg"));
    capture->setAsync(async);
    capture->setCaptureDir(folder.path());
    capture->setCaptureName(QStringLiteral("20250101_CH1_"));
    capture->setSaveFormat(QStringLiteral("jpg"));
    QSignalSpy saved(capture, &VideoCapture::saved);
    QSignalSpy failed(capture, &VideoCapture::failed);
    capture->capture();
    if (async)
        QVERIFY(saved.wait(10000));
    QCOMPARE(saved.count(), 1);
    QCOMPARE(failed.count(), 0);

    // Named after the displayed frame's time stamp, with three decimals.
    const QString path = saved.first().at(0).toString();
    const QString stamp = QString::number(shown.code / double(kFps), 'f', 3);
    QCOMPARE(path, QDir(folder.path()).filePath(QStringLiteral("20250101_CH1_") + stamp + QStringLiteral(".jpg")));
    QVERIFY(QRegularExpression(QStringLiteral("_CH1_\\d+\\.\\d{3}\\.jpg$")).match(path).hasMatch());

    // The picture as displayed, filters included, at the video's full size.
    QImage picture;
    QVERIFY(picture.load(path, "JPG"));
    QCOMPARE(picture.size(), QSize(320, 180));
    const HxTestLook captured = hxLookAt(picture);
    QCOMPARE(captured.code, shown.code);
    QCOMPARE(captured.flipped, shown.flipped);
    QVERIFY(qAbs(captured.body - shown.body) <= 8);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
    player.stop();
}

void TestFilterPlayback::captureFailure_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("shown");

    QTest::newRow("missing folder") << "missing/deeper" << "jpg" << true;
    QTest::newRow("file as folder") << "plain.txt" << "jpg" << true;
    QTest::newRow("read-only folder") << "locked" << "jpg" << true;
    QTest::newRow("unknown format") << "." << "nosuchformat" << true;
    QTest::newRow("nothing shown") << "." << "jpg" << false;
}

void TestFilterPlayback::captureFailure()
{
    QFETCH(QString, folder);
    QFETCH(QString, format);
    QFETCH(bool, shown);

    QTemporaryDir sandbox;
    QVERIFY(hxWriteFile(sandbox.filePath(QStringLiteral("plain.txt")), QByteArray()));
    QVERIFY(QDir(sandbox.path()).mkdir(QStringLiteral("locked")));
    QFile::setPermissions(sandbox.filePath(QStringLiteral("locked")), QFile::ReadOwner | QFile::ExeOwner);
    if (folder == QLatin1String("locked") && geteuid() == 0)
        QSKIP("running as root: no folder is read-only");

    AVPlayer player;
    HxTestRecorder recorder;
    player.setRenderer(&recorder);
    QVERIFY(hxLoadAndWait(player, media()));
    if (shown) {
        QVERIFY(startAndWait(player, recorder, 3));
        player.pause(true);
    }
    VideoCapture *capture = player.videoCapture();
    capture->setAsync(false);
    capture->setCaptureDir(sandbox.filePath(folder));
    capture->setCaptureName(QStringLiteral("still_"));
    capture->setSaveFormat(format);
    QSignalSpy saved(capture, &VideoCapture::saved);
    QSignalSpy failed(capture, &VideoCapture::failed);
    capture->capture();
    capture->setAsync(true);
    capture->capture();
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 2, 5000);
    QTest::qWait(50);
    QCOMPARE(saved.count(), 0);
    const QStringList left = QDir(sandbox.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(left, (QStringList{QStringLiteral("locked"), QStringLiteral("plain.txt")}));
    QVERIFY(QDir(sandbox.filePath(QStringLiteral("locked"))).isEmpty());
    QFile::setPermissions(sandbox.filePath(QStringLiteral("locked")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    player.stop();
}

void TestFilterPlayback::severalOutputs()
{
    AVPlayer player;
    HxTestRecorder pane;
    HxTestRecorder overview;
    player.setRenderer(&pane);
    QVERIFY(hxLoadAndWait(player, media()));
    QVERIFY(startAndWait(player, pane, 3));

    // An output added while playing shows the current picture at once.
    player.addVideoRenderer(&overview);
    QCOMPARE(player.videoOutputs(), (QList<VideoRenderer *>{&pane, &overview}));
    QVERIFY(!overview.shots.isEmpty());
    pane.setRegionOfInterest(QRectF(0.25, 0.25, 0.5, 0.5));
    overview.setOutAspectRatioMode(VideoRenderer::CustomAspectRation);
    overview.setOutAspectRatio(16.0 / 9.0);
    const int code = pane.lastCode();
    QTRY_VERIFY_WITH_TIMEOUT(overview.lastCode() >= code + 10, 5000);
    // Both outputs get every picture; the zoom of one is not the other's.
    QCOMPARE(overview.lastCode(), pane.lastCode());
    QCOMPARE(overview.regionOfInterest(), QRectF());
    QCOMPARE(overview.realROI(), QRect(0, 0, 320, 180));
    QCOMPARE(pane.realROI(), QRect(80, 45, 160, 90));

    player.removeVideoRenderer(&overview);
    QCOMPARE(player.videoOutputs(), QList<VideoRenderer *>{&pane});
    const int stoppedAt = overview.shots.size();
    const int paneAt = pane.lastCode();
    QTRY_VERIFY_WITH_TIMEOUT(pane.lastCode() >= paneAt + 5, 5000);
    QCOMPARE(overview.shots.size(), stoppedAt);
    player.stop();
}

QTEST_MAIN(TestFilterPlayback)
#include "tst_filter_playback.moc"
