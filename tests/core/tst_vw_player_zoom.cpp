#include "hx_test_media.h"

#include "audio_output.h"
#include "av_player.h"
#include "lib_av_filter_video.h"
#include "video_frame.h"
#include "video_frame_filter.h"
#include "video_renderer.h"
#include "vw_player_zoom.h"

#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

using namespace av;

namespace {

class PlayerZoom : public VwPlayerZoom
{
public:
    int refreshesF = 0;
    int refreshesR = 0;
    // Show the paused picture again as the camera player does.
    bool refreshPaused = false;

    void refreshFront() override
    {
        ++refreshesF;
        if (refreshPaused && _playerF->isPaused())
            _playerF->setPosition(_playerF->position());
    }
    void refreshRear() override
    {
        ++refreshesR;
        if (refreshPaused && _playerR->isPaused())
            _playerR->setPosition(_playerR->position());
    }

    // What a swap does to the outputs: the pane renderers change players.
    void swap()
    {
        _swapped = !_swapped;
        _playerF->setRenderer(_swapped ? _rendererSub : _rendererMain, true);
        _playerR->setRenderer(_swapped ? _rendererMain : _rendererSub, true);
    }

    LibAVFilterVideo *flipFilter(bool front) const { return front ? _flipFilterF : _flipFilterR; }
    LibAVFilterVideo *eqFilter(bool front) const { return front ? _eqFilterF : _eqFilterR; }
    VideoRenderer *overview(bool main) const { return main ? _zoomOverviewMain : _zoomOverviewSub; }
    float brightness() const { return _brightness; }
    float contrast() const { return _contrast; }
};

QString optionsOf(const LibAVFilterVideo *filter)
{
    return filter ? filter->options() : QString();
}

bool installedLast(AVPlayer *player, LibAVFilterVideo *filter)
{
    const QList<VideoFrameFilter *> filters = player->videoFilters();
    return !filters.isEmpty() && filters.last() == filter && filter->player() == player;
}

// Frame number, orientation and body brightness of a coded test picture.
HxTestLook lookAt(const VideoFrame &frame)
{
    return hxLookAt(frame.image());
}

bool waitForSeek(AVPlayer *player)
{
    QSignalSpy seeks(player, &AVPlayer::seekFinished);
    return seeks.count() > 0 || seeks.wait(5000);
}

} // namespace

class TestVwPlayerZoom : public QObject
{
    Q_OBJECT

private slots:
    void equaliser_data();
    void equaliser();
    void equaliserOffRemovesFilters();
    void mirror_data();
    void mirror();
    void zoom();
    void zoomWhileSwapped();
    void zoomPosition_data();
    void zoomPosition();
    void zoomWithoutOutputs();
    void clearCamera_data();
    void clearCamera();
    void pausedPairShowsChanges();
};

void TestVwPlayerZoom::equaliser_data()
{
    QTest::addColumn<int>("brightness");
    QTest::addColumn<int>("contrast");
    QTest::addColumn<QString>("options");

    const QString eq = QStringLiteral("format=pix_fmts=rgb24,eq=");
    QTest::newRow("60 and 75") << 60 << 75 << eq + "brightness=0.100:contrast=1.450";
    QTest::newRow("brightness 50 alone") << 50 << -1 << QString();
    QTest::newRow("brightness alone") << 60 << 50 << eq + "brightness=0.100";
    QTest::newRow("contrast alone") << 50 << 75 << eq + "contrast=1.450";
    QTest::newRow("brightness 45") << 45 << -1 << eq + "brightness=-0.050";
    QTest::newRow("brightness 46") << 46 << -1 << QString();
    QTest::newRow("brightness 54") << 54 << -1 << QString();
    QTest::newRow("brightness 55") << 55 << -1 << eq + "brightness=0.050";
    QTest::newRow("contrast 47") << -1 << 47 << eq + "contrast=0.946";
    QTest::newRow("contrast 48") << -1 << 48 << QString();
    QTest::newRow("contrast 52") << -1 << 52 << QString();
    QTest::newRow("contrast 53") << -1 << 53 << eq + "contrast=1.054";
}

void TestVwPlayerZoom::equaliser()
{
    QFETCH(int, brightness);
    QFETCH(int, contrast);
    QFETCH(QString, options);

    PlayerZoom zoom;
    QSlider brightnessSlider;
    QSlider contrastSlider;
    for (QSlider *slider : {&brightnessSlider, &contrastSlider}) {
        slider->setRange(0, 100);
        slider->setValue(50);
    }
    connect(&brightnessSlider, &QSlider::valueChanged, &zoom, &VwPlayerZoom::onSetBrightness);
    connect(&contrastSlider, &QSlider::valueChanged, &zoom, &VwPlayerZoom::onSetContrast);
    if (brightness >= 0) {
        brightnessSlider.setValue(brightness == 50 ? 49 : brightness);
        brightnessSlider.setValue(brightness);
    }
    if (contrast >= 0) {
        contrastSlider.setValue(contrast == 50 ? 49 : contrast);
        contrastSlider.setValue(contrast);
    }

    QCOMPARE(optionsOf(zoom.eqFilter(true)), options);
    QCOMPARE(optionsOf(zoom.eqFilter(false)), options);
    if (!options.isEmpty()) {
        QVERIFY(installedLast(zoom.playerF(), zoom.eqFilter(true)));
        QVERIFY(installedLast(zoom.playerR(), zoom.eqFilter(false)));
    } else {
        QVERIFY(zoom.playerF()->videoFilters().isEmpty());
        QVERIFY(zoom.playerR()->videoFilters().isEmpty());
    }
    QVERIFY(zoom.refreshesF > 0);
    QCOMPARE(zoom.refreshesF, zoom.refreshesR);
}

void TestVwPlayerZoom::equaliserOffRemovesFilters()
{
    PlayerZoom zoom;
    QSlider brightnessSlider;
    QSlider contrastSlider;
    brightnessSlider.setRange(0, 100);
    contrastSlider.setRange(0, 100);
    connect(&brightnessSlider, &QSlider::valueChanged, &zoom, &VwPlayerZoom::onSetBrightness);
    connect(&contrastSlider, &QSlider::valueChanged, &zoom, &VwPlayerZoom::onSetContrast);

    brightnessSlider.setValue(60);
    contrastSlider.setValue(75);
    QPointer<LibAVFilterVideo> front = zoom.eqFilter(true);
    QVERIFY(front);
    // The filters are made once and re-worded afterwards.
    brightnessSlider.setValue(50);
    QCOMPARE(zoom.eqFilter(true), front.data());
    QCOMPARE(optionsOf(front), QStringLiteral("format=pix_fmts=rgb24,eq=contrast=1.450"));
    QCOMPARE(zoom.brightness(), VwPlayerZoom::kOff);

    contrastSlider.setValue(51);
    QVERIFY(!front);
    QVERIFY(!zoom.eqFilter(true) && !zoom.eqFilter(false));
    QVERIFY(zoom.playerF()->videoFilters().isEmpty());
    QVERIFY(zoom.playerR()->videoFilters().isEmpty());

    // A call without a sending slider changes nothing.
    zoom.onSetBrightness();
    QVERIFY(!zoom.eqFilter(true));
}

void TestVwPlayerZoom::mirror_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("front");
    QTest::addColumn<QString>("rear");

    const QString h = QStringLiteral("format=pix_fmts=rgb24,hflip");
    const QString v = QStringLiteral("format=pix_fmts=rgb24,vflip");
    const QString hv = QStringLiteral("format=pix_fmts=rgb24,hflip,vflip");
    QTest::newRow("main h") << QStringList{"HM"} << h << QString();
    QTest::newRow("both flags") << QStringList{"VM", "HM"} << hv << QString();
    QTest::newRow("sub both") << QStringList{"HS", "VS"} << QString() << hv;
    QTest::newRow("toggled back") << QStringList{"HM", "HM"} << QString() << QString();
    QTest::newRow("one of two back") << QStringList{"HM", "VM", "HM"} << v << QString();
    QTest::newRow("main while swapped") << QStringList{"SW", "HM"} << QString() << h;
    QTest::newRow("stays after swap back") << QStringList{"SW", "HM", "SW"} << QString() << h;
    QTest::newRow("same camera both panes") << QStringList{"HM", "SW", "VS"} << hv << QString();
    QTest::newRow("undone from other pane") << QStringList{"HM", "SW", "HS"} << QString() << QString();
}

void TestVwPlayerZoom::mirror()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, front);
    QFETCH(QString, rear);

    PlayerZoom zoom;
    int expectedF = 0;
    int expectedR = 0;
    for (const QString &step : steps) {
        if (step == QLatin1String("SW")) {
            zoom.swap();
            continue;
        }
        const bool main = step.endsWith(QLatin1Char('M'));
        if (step == QLatin1String("HM"))
            zoom.onToggleHFlipMain();
        else if (step == QLatin1String("VM"))
            zoom.onToggleVFlipMain();
        else if (step == QLatin1String("HS"))
            zoom.onToggleHFlipSub();
        else
            zoom.onToggleVFlipSub();
        // Each toggle shows the paused picture of the camera it changed.
        (main != zoom.isSwapped() ? expectedF : expectedR) += 1;
        QCOMPARE(zoom.refreshesF, expectedF);
        QCOMPARE(zoom.refreshesR, expectedR);
    }

    QCOMPARE(optionsOf(zoom.flipFilter(true)), front);
    QCOMPARE(optionsOf(zoom.flipFilter(false)), rear);
    for (bool isFront : {true, false}) {
        AVPlayer *player = isFront ? zoom.playerF() : zoom.playerR();
        LibAVFilterVideo *filter = zoom.flipFilter(isFront);
        if (filter) {
            QVERIFY(installedLast(player, filter));
            QCOMPARE(filter->parent(), player);
            QCOMPARE(player->videoFilters().size(), 1);
        } else {
            QVERIFY(player->videoFilters().isEmpty());
        }
    }
}

void TestVwPlayerZoom::zoom()
{
    PlayerZoom zoom;
    QVERIFY(!zoom.setZoomPos(0.3f, 0.3f, true));

    QWidget *overview = zoom.startZoom(true);
    QVERIFY(overview);
    VideoRenderer *renderer = zoom.overview(true);
    QVERIFY(renderer);
    QCOMPARE(renderer->widget(), overview);
    QCOMPARE(renderer->outAspectRatioMode(), VideoRenderer::CustomAspectRation);
    QCOMPARE(renderer->outAspectRatio(), 1.7777777777777777);
    QCOMPARE(zoom.rendererMain()->regionOfInterest(), QRectF(0.25, 0.25, 0.5, 0.5));
    QCOMPARE(zoom.rendererSub()->regionOfInterest(), QRectF());
    QCOMPARE(zoom.playerF()->videoOutputs(), (QList<VideoRenderer *>{zoom.rendererMain(), renderer}));
    QVERIFY(!zoom.setZoomPos(0.3f, 0.3f, false));

    // The sub pane zooms on its own.
    QVERIFY(zoom.startZoom(false));
    QCOMPARE(zoom.playerR()->videoOutputs().size(), 2);
    QVERIFY(zoom.setZoomPos(0.1f, 0.4f, false));
    QCOMPARE(zoom.rendererSub()->regionOfInterest(), QRectF(0.1f, 0.4f, 0.5, 0.5));
    QCOMPARE(zoom.rendererMain()->regionOfInterest(), QRectF(0.25, 0.25, 0.5, 0.5));

    zoom.stopZoom(true);
    QCOMPARE(zoom.rendererMain()->regionOfInterest(), QRectF(0, 0, 0, 0));
    QVERIFY(!zoom.overview(true));
    QCOMPARE(zoom.playerF()->videoOutputs(), QList<VideoRenderer *>{zoom.rendererMain()});
    QVERIFY(!zoom.setZoomPos(0.3f, 0.3f, true));
    QVERIFY(zoom.overview(false));

    // Stopping twice is harmless; zoom can start again.
    zoom.stopZoom(true);
    QVERIFY(zoom.startZoom(true));
    QCOMPARE(zoom.rendererMain()->regionOfInterest(), QRectF(0.25, 0.25, 0.5, 0.5));
}

void TestVwPlayerZoom::zoomWhileSwapped()
{
    PlayerZoom zoom;
    zoom.swap();
    QVERIFY(zoom.startZoom(true));
    // The main pane shows the rear camera: its renderer is zoomed and the
    // overview follows the rear player.
    QCOMPARE(zoom.rendererMain()->regionOfInterest(), QRectF(0.25, 0.25, 0.5, 0.5));
    QCOMPARE(zoom.playerR()->videoOutputs(), (QList<VideoRenderer *>{zoom.rendererMain(), zoom.overview(true)}));
    QCOMPARE(zoom.playerF()->videoOutputs(), QList<VideoRenderer *>{zoom.rendererSub()});
    zoom.stopZoom(true);
    QCOMPARE(zoom.playerR()->videoOutputs(), QList<VideoRenderer *>{zoom.rendererMain()});
    QCOMPARE(zoom.rendererMain()->regionOfInterest(), QRectF(0, 0, 0, 0));
}

void TestVwPlayerZoom::zoomPosition_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<float>("expectedX");
    QTest::addColumn<float>("expectedY");

    QTest::newRow("truncated") << 0.379f << 0.121f << 0.37f << 0.12f;
    QTest::newRow("below a step") << 0.0099f << 0.4999f << 0.0f << 0.49f;
    QTest::newRow("edges") << 0.0f << 0.5f << 0.0f << 0.5f;
    QTest::newRow("out of range") << 0.9f << -0.2f << 0.5f << 0.0f;
}

void TestVwPlayerZoom::zoomPosition()
{
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(float, expectedX);
    QFETCH(float, expectedY);

    PlayerZoom zoom;
    QVERIFY(zoom.startZoom(true));
    QVERIFY(zoom.setZoomPos(x, y, true));
    const QRectF roi = zoom.rendererMain()->regionOfInterest();
    QCOMPARE(float(roi.x()), expectedX);
    QCOMPARE(float(roi.y()), expectedY);
    QCOMPARE(roi.size(), QSizeF(0.5, 0.5));
}

void TestVwPlayerZoom::zoomWithoutOutputs()
{
    PlayerZoom zoom;
    zoom.playerF()->clearVideoRenderers();
    QVERIFY(!zoom.startZoom(true));
    QVERIFY(!zoom.overview(true));
    QVERIFY(!zoom.setZoomPos(0.3f, 0.3f, true));
    zoom.stopZoom(true);
    QVERIFY(zoom.startZoom(false));
}

void TestVwPlayerZoom::clearCamera_data()
{
    QTest::addColumn<bool>("swapped");
    QTest::addColumn<bool>("front");
    QTest::addColumn<bool>("blankMain");

    QTest::newRow("front") << false << true << true;
    QTest::newRow("rear") << false << false << false;
    QTest::newRow("front swapped") << true << true << false;
    QTest::newRow("rear swapped") << true << false << true;
}

void TestVwPlayerZoom::clearCamera()
{
    QFETCH(bool, swapped);
    QFETCH(bool, front);
    QFETCH(bool, blankMain);

    PlayerZoom zoom;
    if (swapped)
        zoom.swap();
    QVERIFY(zoom.startZoom(true));
    QVERIFY(zoom.startZoom(false));
    QImage picture(32, 18, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    const VideoFrame frame(picture, 1.0);
    VideoRenderer *outputs[] = {zoom.rendererMain(), zoom.rendererSub(), zoom.overview(true), zoom.overview(false)};
    for (VideoRenderer *output : outputs)
        output->receive(frame);

    zoom.clearCamera(front);
    QCOMPARE(zoom.rendererMain()->currentFrame().isValid(), !blankMain);
    QCOMPARE(zoom.overview(true)->currentFrame().isValid(), !blankMain);
    QCOMPARE(zoom.rendererSub()->currentFrame().isValid(), blankMain);
    QCOMPARE(zoom.overview(false)->currentFrame().isValid(), blankMain);
}

void TestVwPlayerZoom::pausedPairShowsChanges()
{
    if (hxFfmpegPath().isEmpty())
        QSKIP("ffmpeg is not installed: cannot make test media");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("coded.mp4"));
    HxTestVideoSpec video;
    video.seconds = 6.0;
    QString error;
    QVERIFY2(hxMakeCodedVideo(file, video, &error), qPrintable(error));

    PlayerZoom zoom;
    zoom.refreshPaused = true;
    AVPlayer *players[] = {zoom.playerF(), zoom.playerR()};
    for (AVPlayer *player : players) {
        player->audio()->setBackends({});
        player->setSeekType(KeyFrameSeek);
        QVERIFY(hxLoadAndWait(*player, file));
        player->play();
    }
    QTRY_VERIFY_WITH_TIMEOUT(lookAt(zoom.playerF()->displayedFrame()).code >= 40, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(lookAt(zoom.playerR()->displayedFrame()).code >= 40, 10000);
    for (AVPlayer *player : players)
        player->pause(true);
    const HxTestLook front = lookAt(zoom.playerF()->displayedFrame());
    const HxTestLook rear = lookAt(zoom.playerR()->displayedFrame());
    QVERIFY(!front.flipped && !rear.flipped);

    // Mirroring the main pane shows the same front frame mirrored at once.
    zoom.onToggleHFlipMain();
    QVERIFY(waitForSeek(zoom.playerF()));
    zoom.onToggleVFlipMain();
    QVERIFY(waitForSeek(zoom.playerF()));
    QTRY_VERIFY_WITH_TIMEOUT(lookAt(zoom.playerF()->displayedFrame()).flipped, 3000);
    QCOMPARE(lookAt(zoom.playerF()->displayedFrame()).code, front.code);
    QCOMPARE(lookAt(zoom.rendererMain()->currentFrame()).code, front.code);
    QVERIFY(!lookAt(zoom.playerR()->displayedFrame()).flipped);

    // Brightness reaches both cameras.
    QSlider brightness;
    brightness.setRange(0, 100);
    brightness.setValue(50);
    connect(&brightness, &QSlider::valueChanged, &zoom, &VwPlayerZoom::onSetBrightness);
    brightness.setValue(70);
    QTRY_VERIFY_WITH_TIMEOUT(lookAt(zoom.playerF()->displayedFrame()).body > front.body + 20, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(lookAt(zoom.playerR()->displayedFrame()).body > rear.body + 20, 3000);
    QCOMPARE(lookAt(zoom.playerF()->displayedFrame()).code, front.code);
    QCOMPARE(lookAt(zoom.playerR()->displayedFrame()).code, rear.code);
    QVERIFY(lookAt(zoom.playerF()->displayedFrame()).flipped);

    // The overview of a paused pane shows the paused picture as filtered.
    QVERIFY(zoom.startZoom(false));
    QTRY_COMPARE_WITH_TIMEOUT(lookAt(zoom.overview(false)->currentFrame()).code, rear.code, 3000);
    QVERIFY(lookAt(zoom.overview(false)->currentFrame()).body > rear.body + 20);
    QCOMPARE(zoom.rendererSub()->regionOfInterest(), QRectF(0.25, 0.25, 0.5, 0.5));
    for (AVPlayer *player : players)
        player->stop();
}

QTEST_MAIN(TestVwPlayerZoom)
#include "tst_vw_player_zoom.moc"
