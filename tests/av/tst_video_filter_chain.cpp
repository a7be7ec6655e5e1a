#include "hx_test_frames.h"
#include "lib_av_filter_graph.h"
#include "video_filter_chain.h"

#include <QtTest>

extern "C" {
#include <libavutil/frame.h>
}

#include <memory>

using namespace av;

namespace {

struct FrameDeleter
{
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

const AVRational kTimeBase{1, 90000};
const int kMark = 8;

} // namespace

class TestVideoFilterChain : public QObject
{
    Q_OBJECT

private slots:
    void mirror_data();
    void mirror();
    void negativeStridesAreCopied();
    void equaliser_data();
    void equaliser();
    void filtersRunInInstallationOrder();
    void changesTakeEffectOnNextFrame();
    void removingAllFiltersGivesOriginalPixels();
    void rebuildsWhenInputSizeChanges();
    void badTextRecoversWhenMended();
    void droppedFrameGivesNull();
};

void TestVideoFilterChain::mirror_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("corner");
    QTest::addColumn<bool>("valid");

    QTest::newRow("none") << QString() << "TL" << true;
    QTest::newRow("rgb24 hflip") << "format=pix_fmts=rgb24,hflip" << "TR" << true;
    QTest::newRow("rgb24 vflip") << "format=pix_fmts=rgb24,vflip" << "BL" << true;
    QTest::newRow("rgb24 both") << "format=pix_fmts=rgb24,hflip,vflip" << "BR" << true;
    QTest::newRow("yuv both") << "hflip,vflip" << "BR" << true;
    QTest::newRow("yuv vflip") << "vflip" << "BL" << true;
    QTest::newRow("unknown filter") << "format=pix_fmts=rgb24,nosuchfilter" << "TL" << false;
    QTest::newRow("broken syntax") << "format=pix_fmts=rgb24,,hflip[" << "TL" << false;
    QTest::newRow("bad option value") << "format=pix_fmts=nosuchformat,hflip" << "TL" << false;
}

void TestVideoFilterChain::mirror()
{
    QFETCH(QString, text);
    QFETCH(QString, corner);
    QFETCH(bool, valid);

    LibAVFilterGraph graph;
    graph.setText(text);
    graph.setOutputFormat(AV_PIX_FMT_BGRA);
    FramePtr in(hxtest::makeMarkedFrame(64, 48, kMark, 3003));
    FramePtr out(graph.filter(in.get(), kTimeBase));
    QVERIFY(out);
    QCOMPARE(out->format, int(AV_PIX_FMT_BGRA));
    QCOMPARE(out->width, 64);
    QCOMPARE(out->height, 48);
    QVERIFY(out->linesize[0] > 0);
    QCOMPARE(out->pts, qint64(3003));
    QCOMPARE(hxtest::markedCorner(hxtest::toImage(out.get()), kMark), corner);
    QCOMPARE(graph.isValid(), valid);
    QCOMPARE(graph.lastError().isEmpty(), valid);

    // The same graph serves the following frames without a rebuild.
    FramePtr in2(hxtest::makeMarkedFrame(64, 48, kMark, 6006));
    FramePtr out2(graph.filter(in2.get(), kTimeBase));
    QVERIFY(out2);
    QCOMPARE(out2->pts, qint64(6006));
    QCOMPARE(hxtest::markedCorner(hxtest::toImage(out2.get()), kMark), corner);
}

void TestVideoFilterChain::negativeStridesAreCopied()
{
    // Without a conversion after it, vflip hands out a bottom-up picture.
    LibAVFilterGraph graph;
    graph.setText(QStringLiteral("vflip"));
    FramePtr in(hxtest::makeMarkedFrame(64, 48, kMark));
    FramePtr out(graph.filter(in.get(), kTimeBase));
    QVERIFY(out);
    QCOMPARE(out->format, int(AV_PIX_FMT_YUV420P));
    for (int plane = 0; plane < 3; ++plane)
        QVERIFY(out->linesize[plane] > 0);
    QCOMPARE(int(out->data[0][0]), 16);
    QCOMPARE(int(out->data[0][47 * out->linesize[0]]), 235);
}

void TestVideoFilterChain::equaliser_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("minMeanGain");
    QTest::addColumn<double>("maxMeanGain");
    QTest::addColumn<double>("minSpreadRatio");
    QTest::addColumn<double>("maxSpreadRatio");

    QTest::newRow("brightness")
        << "format=pix_fmts=rgb24,eq=brightness=0.100" << 15.0 << 40.0 << 0.9 << 1.1;
    QTest::newRow("darker")
        << "format=pix_fmts=rgb24,eq=brightness=-0.100" << -40.0 << -15.0 << 0.9 << 1.1;
    QTest::newRow("contrast")
        << "format=pix_fmts=rgb24,eq=contrast=1.450" << -8.0 << 8.0 << 1.3 << 1.6;
    QTest::newRow("low contrast")
        << "format=pix_fmts=rgb24,eq=contrast=0.600" << -8.0 << 8.0 << 0.5 << 0.7;
    QTest::newRow("both")
        << "format=pix_fmts=rgb24,eq=brightness=0.100:contrast=1.450" << 15.0 << 40.0 << 1.3 << 1.6;
    QTest::newRow("bad value keeps picture")
        << "format=pix_fmts=rgb24,eq=brightness=bright" << -1.0 << 1.0 << 0.99 << 1.01;
}

void TestVideoFilterChain::equaliser()
{
    QFETCH(QString, text);
    QFETCH(double, minMeanGain);
    QFETCH(double, maxMeanGain);
    QFETCH(double, minSpreadRatio);
    QFETCH(double, maxSpreadRatio);

    FramePtr in(hxtest::makeGradientFrame(128, 32, 70, 180));
    LibAVFilterGraph plain;
    plain.setOutputFormat(AV_PIX_FMT_BGRA);
    FramePtr reference(plain.filter(in.get(), kTimeBase));
    LibAVFilterGraph graph;
    graph.setText(text);
    graph.setOutputFormat(AV_PIX_FMT_BGRA);
    FramePtr out(graph.filter(in.get(), kTimeBase));
    QVERIFY(reference && out);
    QCOMPARE(out->format, int(AV_PIX_FMT_BGRA));

    double mean0, spread0, mean1, spread1;
    hxtest::lumaStats(hxtest::toImage(reference.get()), &mean0, &spread0);
    hxtest::lumaStats(hxtest::toImage(out.get()), &mean1, &spread1);
    QVERIFY(spread0 > 10);
    const double gain = mean1 - mean0;
    const double ratio = spread1 / spread0;
    QVERIFY2(gain >= minMeanGain && gain <= maxMeanGain, qPrintable(QString::number(gain)));
    QVERIFY2(ratio >= minSpreadRatio && ratio <= maxSpreadRatio, qPrintable(QString::number(ratio)));
}

void TestVideoFilterChain::filtersRunInInstallationOrder()
{
    VideoFilterChain chain;
    chain.setOutputFormat(AV_PIX_FMT_BGRA);
    const quint64 eq = VideoFilterChain::newFilterId();
    const quint64 flip = VideoFilterChain::newFilterId();
    // A crop keeps only the top-left quarter: flipping before it moves the
    // mark out of the picture, flipping after it keeps the mark.
    chain.install(eq, QStringLiteral("crop=32:24:0:0"));
    chain.install(flip, QStringLiteral("format=pix_fmts=rgb24,hflip,vflip"));
    QCOMPARE(chain.count(), 2);
    FramePtr in(hxtest::makeMarkedFrame(64, 48, kMark));
    FramePtr out(chain.apply(in.get(), kTimeBase));
    QVERIFY(out);
    QCOMPARE(out->format, int(AV_PIX_FMT_BGRA));
    QCOMPARE(out->width, 32);
    QCOMPARE(hxtest::markedCorner(hxtest::toImage(out.get()), kMark), QStringLiteral("BR"));

    // Installing again moves a filter to the end.
    chain.install(eq, QStringLiteral("crop=32:24:0:0"));
    out.reset(chain.apply(in.get(), kTimeBase));
    QVERIFY(out);
    QCOMPARE(hxtest::markedCorner(hxtest::toImage(out.get()), kMark), QStringLiteral("none"));

    // Both program filters together: mirrored and brighter.
    VideoFilterChain both;
    both.setOutputFormat(AV_PIX_FMT_BGRA);
    both.install(VideoFilterChain::newFilterId(), QStringLiteral("format=pix_fmts=rgb24,eq=brightness=0.100:contrast=1.450"));
    both.install(VideoFilterChain::newFilterId(), QStringLiteral("format=pix_fmts=rgb24,hflip,vflip"));
    FramePtr mirrored(both.apply(in.get(), kTimeBase));
    QVERIFY(mirrored);
    const QImage image = hxtest::toImage(mirrored.get());
    QCOMPARE(hxtest::markedCorner(image, kMark), QStringLiteral("BR"));
    QVERIFY(qGray(image.pixel(32, 24)) < 10);
}

void TestVideoFilterChain::changesTakeEffectOnNextFrame()
{
    VideoFilterChain chain;
    chain.setOutputFormat(AV_PIX_FMT_BGRA);
    const quint64 id = VideoFilterChain::newFilterId();
    chain.install(id, QStringLiteral("format=pix_fmts=rgb24,hflip"));
    FramePtr in(hxtest::makeMarkedFrame(64, 48, kMark));
    FramePtr out(chain.apply(in.get(), kTimeBase));
    QCOMPARE(hxtest::markedCorner(hxtest::toImage(out.get()), kMark), QStringLiteral("TR"));

    chain.setText(id, QStringLiteral("format=pix_fmts=rgb24,vflip"));
    out.reset(chain.apply(in.get(), kTimeBase));
    QCOMPARE(hxtest::markedCorner(hxtest::toImage(out.get()), kMark), QStringLiteral("BL"));

    chain.setText(id, QStringLiteral("format=pix_fmts=rgb24,nosuchfilter"));
    out.reset(chain.apply(in.get(), kTimeBase));
    QVERIFY(out);
    QCOMPARE(out->format, int(AV_PIX_FMT_BGRA));
    QCOMPARE(hxtest::markedCorner(hxtest::toImage(out.get()), kMark), QStringLiteral("TL"));
}

void TestVideoFilterChain::removingAllFiltersGivesOriginalPixels()
{
    VideoFilterChain chain;
    chain.setOutputFormat(AV_PIX_FMT_BGRA);
    const quint64 a = VideoFilterChain::newFilterId();
    const quint64 b = VideoFilterChain::newFilterId();
    chain.install(a, QStringLiteral("format=pix_fmts=rgb24,hflip,vflip"));
    chain.install(b, QStringLiteral("format=pix_fmts=rgb24,eq=brightness=0.100"));
    FramePtr in(hxtest::makeMarkedFrame(64, 48, kMark));
    FramePtr out(chain.apply(in.get(), kTimeBase));
    QVERIFY(out);

    QVERIFY(chain.remove(b));
    QVERIFY(!chain.remove(b));
    out.reset(chain.apply(in.get(), kTimeBase));
    QCOMPARE(out->format, int(AV_PIX_FMT_BGRA));
    QCOMPARE(hxtest::markedCorner(hxtest::toImage(out.get()), kMark), QStringLiteral("BR"));

    QVERIFY(chain.remove(a));
    QVERIFY(chain.isEmpty());
    out.reset(chain.apply(in.get(), kTimeBase));
    QVERIFY(out);
    QCOMPARE(out->format, in->format);
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane ? 24 : 48;
        const int bytes = plane ? 32 : 64;
        for (int y = 0; y < rows; ++y)
            QVERIFY(memcmp(out->data[plane] + y * out->linesize[plane],
                           in->data[plane] + y * in->linesize[plane], bytes) == 0);
    }
}

void TestVideoFilterChain::rebuildsWhenInputSizeChanges()
{
    VideoFilterChain chain;
    chain.setOutputFormat(AV_PIX_FMT_BGRA);
    chain.install(VideoFilterChain::newFilterId(), QStringLiteral("format=pix_fmts=rgb24,hflip,vflip"));
    const QSize sizes[] = {{64, 48}, {32, 24}, {96, 54}, {64, 48}};
    for (const QSize &size : sizes) {
        FramePtr in(hxtest::makeMarkedFrame(size.width(), size.height(), kMark));
        FramePtr out(chain.apply(in.get(), kTimeBase));
        QVERIFY(out);
        QCOMPARE(QSize(out->width, out->height), size);
        QCOMPARE(hxtest::markedCorner(hxtest::toImage(out.get()), kMark), QStringLiteral("BR"));
    }
    // A change of pixel format rebuilds as well.
    FramePtr in(hxtest::makeMarkedFrame(64, 48, kMark));
    FramePtr rgb(chain.apply(in.get(), kTimeBase));
    QVERIFY(rgb);
    FramePtr back(chain.apply(rgb.get(), kTimeBase));
    QVERIFY(back);
    QCOMPARE(hxtest::markedCorner(hxtest::toImage(back.get()), kMark), QStringLiteral("TL"));
}

void TestVideoFilterChain::badTextRecoversWhenMended()
{
    LibAVFilterGraph graph;
    graph.setOutputFormat(AV_PIX_FMT_BGRA);
    graph.setText(QStringLiteral("format=pix_fmts=rgb24,hflip,"));
    FramePtr in(hxtest::makeMarkedFrame(64, 48, kMark));
    for (int i = 0; i < 3; ++i) {
        FramePtr out(graph.filter(in.get(), kTimeBase));
        QVERIFY(out);
        QCOMPARE(hxtest::markedCorner(hxtest::toImage(out.get()), kMark), QStringLiteral("TL"));
        QVERIFY(!graph.isValid());
    }
    graph.setText(QStringLiteral("format=pix_fmts=rgb24,hflip"));
    FramePtr out(graph.filter(in.get(), kTimeBase));
    QVERIFY(graph.isValid());
    QCOMPARE(hxtest::markedCorner(hxtest::toImage(out.get()), kMark), QStringLiteral("TR"));
}

void TestVideoFilterChain::droppedFrameGivesNull()
{
    VideoFilterChain chain;
    chain.setOutputFormat(AV_PIX_FMT_BGRA);
    const quint64 id = VideoFilterChain::newFilterId();
    chain.install(id, QStringLiteral("select=0"));
    FramePtr in(hxtest::makeMarkedFrame(64, 48, kMark));
    FramePtr out(chain.apply(in.get(), kTimeBase));
    QVERIFY(!out);
    chain.setText(id, QStringLiteral("null"));
    out.reset(chain.apply(in.get(), kTimeBase));
    QVERIFY(out);
}

QTEST_GUILESS_MAIN(TestVideoFilterChain)
#include "tst_video_filter_chain.moc"
