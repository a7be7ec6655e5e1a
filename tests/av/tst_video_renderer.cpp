#include "hx_test_media.h"

#include "av_player.h"
#include "opengl_widget_renderer.h"
#include "video_renderer.h"

#include <QOpenGLWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

using namespace av;

namespace {

struct Probe {
    QPoint point;
    QColor color;
};

bool near(const QColor &a, const QColor &b, int tolerance = 40)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

// 160x90 picture: red left half, blue right half.
QImage halves()
{
    QImage image(160, 90, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 80; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(0, 0, 255));
    return image;
}

QColor cellColor(int column, int row)
{
    return QColor::fromHsv((row * 4 + column) * 22, 255, 255);
}

// 320x180 picture in 4x4 cells of different colours.
QImage grid()
{
    QImage image(320, 180, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, cellColor(x / 80, y / 45));
    return image;
}

} // namespace

Q_DECLARE_METATYPE(QVector<Probe>)

class TestVideoRenderer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void create();
    void geometry_data();
    void geometry();
    void draws_data();
    void draws();
    void regionOfInterest_data();
    void regionOfInterest();
    void decodedFrame_data();
    void decodedFrame();
    void detachOnDelete();

private:
    // Grabs what `renderer` shows, after letting it paint.
    QImage grab(VideoRenderer *renderer);
    bool skipUnavailable(VideoRenderer *renderer);

    QTemporaryDir m_dir;
};

void TestVideoRenderer::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

bool TestVideoRenderer::skipUnavailable(VideoRenderer *renderer)
{
    return renderer && renderer->id() == VideoRendererId_OpenGLWidget && !renderer->isAvailable();
}

QImage TestVideoRenderer::grab(VideoRenderer *renderer)
{
    QWidget *widget = renderer->widget();
    if (auto *gl = qobject_cast<QOpenGLWidget *>(widget)) {
        gl->show();
        if (!QTest::qWaitForWindowExposed(gl))
            return QImage();
        return gl->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    }
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void TestVideoRenderer::create()
{
    std::unique_ptr<VideoRenderer> widget(VideoRenderer::create(VideoRendererId_Widget));
    QVERIFY(widget);
    QCOMPARE(widget->id(), VideoRendererId_Widget);
    QVERIFY(widget->isAvailable());
    QVERIFY(widget->widget());
    std::unique_ptr<VideoRenderer> gl(VideoRenderer::create(VideoRendererId_OpenGLWidget));
    QVERIFY(gl);
    QCOMPARE(gl->id(), VideoRendererId_OpenGLWidget);
    QVERIFY(gl->widget());
    QVERIFY(!VideoRenderer::create(12345));
}

void TestVideoRenderer::geometry_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QSize>("output");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("video aspect, tall output") << int(VideoRenderer::VideoAspectRatio) << 0.0 << QSize(320, 240)
                                               << QRect(0, 30, 320, 180);
    QTest::newRow("video aspect, wide output") << int(VideoRenderer::VideoAspectRatio) << 0.0 << QSize(400, 180)
                                               << QRect(40, 0, 320, 180);
    QTest::newRow("stretch") << int(VideoRenderer::RendererAspectRatio) << 0.0 << QSize(320, 240)
                             << QRect(0, 0, 320, 240);
    QTest::newRow("custom 4:3") << int(VideoRenderer::CustomAspectRation) << 4.0 / 3.0 << QSize(320, 180)
                                << QRect(40, 0, 240, 180);
    QTest::newRow("custom 16:9") << int(VideoRenderer::CustomAspectRation) << 16.0 / 9.0 << QSize(320, 320)
                                 << QRect(0, 70, 320, 180);
}

void TestVideoRenderer::geometry()
{
    QFETCH(int, mode);
    QFETCH(qreal, ratio);
    QFETCH(QSize, output);
    QFETCH(QRect, expected);

    std::unique_ptr<VideoRenderer> renderer(VideoRenderer::create(VideoRendererId_Widget));
    renderer->receive(VideoFrame(halves()));
    renderer->setOutAspectRatioMode(VideoRenderer::OutAspectRatioMode(mode));
    if (ratio > 0.0)
        renderer->setOutAspectRatio(ratio);
    QCOMPARE(renderer->videoRect(output), expected);
}

void TestVideoRenderer::draws_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QRectF>("roi");
    QTest::addColumn<bool>("blank");
    QTest::addColumn<QVector<Probe>>("probes");

    const QColor black(Qt::black);
    const QColor red(Qt::red);
    const QColor blue(Qt::blue);
    for (int id : {VideoRendererId_Widget, VideoRendererId_OpenGLWidget}) {
        const char *name = id == VideoRendererId_Widget ? "widget" : "opengl";
        // 320x240 output: the 16:9 picture sits between black bars 30 px high.
        QTest::addRow("%s letterboxed", name)
            << id << QRectF() << false
            << QVector<Probe>{{{160, 10}, black}, {{160, 229}, black}, {{40, 120}, red}, {{280, 120}, blue}};
        // A region keeps the letterbox of the picture.
        QTest::addRow("%s region of interest", name)
            << id << QRectF(0.5, 0.0, 0.5, 1.0) << false
            << QVector<Probe>{{{20, 120}, blue}, {{300, 120}, blue}, {{160, 10}, black}};
        QTest::addRow("%s blanked", name)
            << id << QRectF() << true << QVector<Probe>{{{40, 120}, black}, {{280, 120}, black}};
    }
}

void TestVideoRenderer::draws()
{
    QFETCH(int, id);
    QFETCH(QRectF, roi);
    QFETCH(bool, blank);
    QFETCH(QVector<Probe>, probes);

    std::unique_ptr<VideoRenderer> renderer(VideoRenderer::create(id));
    if (skipUnavailable(renderer.get()))
        QSKIP("no OpenGL context on this display");
    renderer->setOutAspectRatioMode(VideoRenderer::VideoAspectRatio);
    renderer->widget()->resize(320, 240);
    renderer->receive(VideoFrame(halves(), 1.5));
    QCOMPARE(renderer->currentTimestamp(), 1.5);
    renderer->setRegionOfInterest(roi);
    if (blank) {
        renderer->receive(VideoFrame());
        QVERIFY(!renderer->currentFrame().isValid());
    }
    const QImage shot = grab(renderer.get());
    QVERIFY(!shot.isNull());
    QCOMPARE(shot.size(), QSize(320, 240));
    for (const Probe &probe : probes) {
        const QColor seen = shot.pixelColor(probe.point);
        QVERIFY2(near(seen, probe.color), qPrintable(QStringLiteral("(%1,%2) is %3, expected %4")
                                                          .arg(probe.point.x()).arg(probe.point.y())
                                                          .arg(seen.name(), probe.color.name())));
    }
}

void TestVideoRenderer::regionOfInterest_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QRectF>("roi");
    QTest::addColumn<QPoint>("firstCell");
    QTest::addColumn<int>("cells");

    for (int id : {VideoRendererId_Widget, VideoRendererId_OpenGLWidget}) {
        const char *name = id == VideoRendererId_Widget ? "widget" : "opengl";
        QTest::addRow("%s whole picture", name) << id << QRectF(0, 0, 0, 0) << QPoint(0, 0) << 4;
        QTest::addRow("%s centre, 2x", name) << id << QRectF(0.25, 0.25, 0.5, 0.5) << QPoint(1, 1) << 2;
        QTest::addRow("%s bottom right, 2x", name) << id << QRectF(0.5, 0.5, 0.5, 0.5) << QPoint(2, 2) << 2;
    }
}

void TestVideoRenderer::regionOfInterest()
{
    QFETCH(int, id);
    QFETCH(QRectF, roi);
    QFETCH(QPoint, firstCell);
    QFETCH(int, cells);

    std::unique_ptr<VideoRenderer> renderer(VideoRenderer::create(id));
    if (skipUnavailable(renderer.get()))
        QSKIP("no OpenGL context on this display");
    renderer->setOutAspectRatioMode(VideoRenderer::VideoAspectRatio);
    renderer->widget()->resize(320, 180);
    renderer->receive(VideoFrame(grid(), 0.5));
    renderer->setRegionOfInterest(roi);
    const QImage shot = grab(renderer.get());
    QCOMPARE(shot.size(), QSize(320, 180));

    // Each source cell shown fills (4 / cells) times its own size.
    const int w = 320 / cells;
    const int h = 180 / cells;
    for (int row = 0; row < cells; ++row) {
        for (int column = 0; column < cells; ++column) {
            const QPoint probe(column * w + w / 2, row * h + h / 2);
            const QColor expected = cellColor(firstCell.x() + column, firstCell.y() + row);
            const QColor seen = shot.pixelColor(probe);
            QVERIFY2(near(seen, expected, 30), qPrintable(QStringLiteral("(%1,%2) is %3, expected %4")
                                                              .arg(probe.x()).arg(probe.y())
                                                              .arg(seen.name(), expected.name())));
        }
    }
}

void TestVideoRenderer::decodedFrame_data()
{
    QTest::addColumn<int>("id");
    QTest::newRow("widget") << VideoRendererId_Widget;
    QTest::newRow("opengl") << VideoRendererId_OpenGLWidget;
}

void TestVideoRenderer::decodedFrame()
{
    QFETCH(int, id);
    if (hxFfmpegPath().isEmpty())
        QSKIP("ffmpeg is not installed: cannot make test media");
    std::unique_ptr<VideoRenderer> renderer(VideoRenderer::create(id));
    if (skipUnavailable(renderer.get()))
        QSKIP("no OpenGL context on this display");
    const QString file = m_dir.filePath(QStringLiteral("clip.mp4"));
    if (!QFile::exists(file)) {
        HxTestVideoSpec spec;
        spec.seconds = 2.0;
        QString error;
        QVERIFY2(hxMakeCodedVideo(file, spec, &error), qPrintable(error));
    }
    renderer->widget()->resize(320, 180);

    AVPlayer player;
    player.setRenderer(renderer.get());
    player.setSeekType(AccurateSeek);
    player.setFile(file);
    QSignalSpy first(&player, &AVPlayer::firstFrameNotify);
    player.play();
    QVERIFY(first.wait(10000));
    player.pause(true);
    QSignalSpy seeks(&player, &AVPlayer::seekFinished);
    player.setPosition(1000);
    QVERIFY(seeks.wait(5000));
    QCOMPARE(hxReadFrameCode(renderer->currentFrame().image()), 30);
    QCOMPARE(renderer->currentTimestamp(), 1.0);

    // What the output shows on screen carries the same frame code and the
    // body colour below it.
    const QImage shot = grab(renderer.get());
    QVERIFY(!shot.isNull());
    QCOMPARE(hxReadFrameCode(shot), 30);
    QVERIFY(near(shot.pixelColor(160, 150), hxTestBodyColor()));
    player.stop();
}

void TestVideoRenderer::detachOnDelete()
{
    AVPlayer player;
    VideoRenderer *first = VideoRenderer::create(VideoRendererId_Widget);
    VideoRenderer *second = VideoRenderer::create(VideoRendererId_Widget);
    first->setOutAspectRatioMode(VideoRenderer::CustomAspectRation);
    first->setOutAspectRatio(16.0 / 9.0);
    player.setRenderer(first);
    player.addVideoRenderer(second);
    player.addVideoRenderer(second);
    QCOMPARE(player.videoOutputs(), (QList<VideoRenderer *>{first, second}));
    delete first;
    QCOMPARE(player.videoOutputs(), QList<VideoRenderer *>{second});

    // Replacing the output carries the aspect settings over on request.
    VideoRenderer *third = VideoRenderer::create(VideoRendererId_Widget);
    second->setOutAspectRatioMode(VideoRenderer::RendererAspectRatio);
    third->setOutAspectRatioMode(VideoRenderer::VideoAspectRatio);
    player.setRenderer(third, true);
    QCOMPARE(player.videoOutputs(), QList<VideoRenderer *>{third});
    QCOMPARE(third->outAspectRatioMode(), VideoRenderer::RendererAspectRatio);
    player.removeVideoRenderer(third);
    QVERIFY(player.videoOutputs().isEmpty());
    QVERIFY(third->players().isEmpty());
    delete second;
    delete third;
}

QTEST_MAIN(TestVideoRenderer)
#include "tst_video_renderer.moc"
