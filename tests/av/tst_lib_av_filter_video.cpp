#include "hx_test_frames.h"
#include "lib_av_filter_graph.h"
#include "lib_av_filter_video.h"

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

// What the player does with its filters: each in turn, a filter that
// declines passes the frame on, then the conversion to the display format.
FramePtr runFilters(const QList<LibAVFilterVideo *> &filters, const AVFrame *in)
{
    FramePtr current(av_frame_clone(in));
    for (LibAVFilterVideo *filter : filters) {
        FramePtr out(av_frame_alloc());
        if (filter->filterFrame(current.get(), out.get()))
            current = std::move(out);
    }
    LibAVFilterGraph display;
    display.setOutputFormat(AV_PIX_FMT_BGRA);
    return FramePtr(display.filter(current.get(), kTimeBase));
}

QString corner(const AVFrame *frame)
{
    return hxtest::markedCorner(hxtest::toImage(frame), kMark);
}

} // namespace

class TestLibAVFilterVideo : public QObject
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
    void rebuildsWhenInputSizeChanges();
    void badTextRecoversWhenMended();
    void heldBackFramePassesUnfiltered();
    void effectiveText_data();
    void effectiveText();
    void effectiveGraphShowsTheSamePicture_data();
    void effectiveGraphShowsTheSamePicture();
};

void TestLibAVFilterVideo::mirror_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("corner");
    QTest::addColumn<bool>("valid");

    QTest::newRow("none") << QString() << "TL" << true;
    QTest::newRow("rgb24 hflip") << "format=pix_fmts=rgb24,hflip" << "TR" << true;
    QTest::newRow("rgb24 vflip") << "format=pix_fmts=rgb24,vflip" << "BL" << true;
    QTest::newRow("rgb24 both") << "format=pix_fmts=rgb24,hflip,vflip" << "BR" << true;
    QTest::newRow("yuv both") << "hflip,vflip" << "BR" << true;
    QTest::newRow("unknown filter") << "format=pix_fmts=rgb24,nosuchfilter" << "TL" << false;
    QTest::newRow("bad option value") << "format=pix_fmts=nosuchformat,hflip" << "TL" << false;
}

void TestLibAVFilterVideo::mirror()
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

void TestLibAVFilterVideo::negativeStridesAreCopied()
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

void TestLibAVFilterVideo::equaliser_data()
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
    QTest::newRow("both")
        << "format=pix_fmts=rgb24,eq=brightness=0.100:contrast=1.450" << 15.0 << 40.0 << 1.3 << 1.6;
    QTest::newRow("bad value keeps picture")
        << "format=pix_fmts=rgb24,eq=brightness=bright" << -1.0 << 1.0 << 0.99 << 1.01;
}

void TestLibAVFilterVideo::equaliser()
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

void TestLibAVFilterVideo::filtersRunInInstallationOrder()
{
    // A crop keeps only the top-left quarter: flipping before it moves the
    // mark out of the picture, flipping after it keeps the mark.
    LibAVFilterVideo crop;
    crop.setOptions(QStringLiteral("crop=32:24:0:0"));
    LibAVFilterVideo flip;
    flip.setOptions(QStringLiteral("format=pix_fmts=rgb24,hflip,vflip"));
    FramePtr in(hxtest::makeMarkedFrame(64, 48, kMark));
    QCOMPARE(corner(runFilters({&crop, &flip}, in.get()).get()), QStringLiteral("BR"));
    QCOMPARE(corner(runFilters({&flip, &crop}, in.get()).get()), QStringLiteral("none"));

    // Both program filters together, in either order: mirrored, brighter
    // and with more contrast.
    LibAVFilterVideo eq;
    eq.setOptions(QStringLiteral("format=pix_fmts=rgb24,eq=brightness=0.100:contrast=1.450"));
    FramePtr a = runFilters({&eq, &flip}, in.get());
    FramePtr b = runFilters({&flip, &eq}, in.get());
    QCOMPARE(corner(a.get()), QStringLiteral("BR"));
    QCOMPARE(corner(b.get()), QStringLiteral("BR"));
    double plainMean, plainSpread, mean, spread;
    FramePtr gradient(hxtest::makeGradientFrame(128, 32, 70, 180));
    hxtest::lumaStats(hxtest::toImage(runFilters({}, gradient.get()).get()), &plainMean, &plainSpread);
    const QImage both = hxtest::toImage(runFilters({&eq, &flip}, gradient.get()).get());
    hxtest::lumaStats(both, &mean, &spread);
    QVERIFY(mean > plainMean + 15);
    QVERIFY(spread > plainSpread * 1.3);
    // Mirrored: the bright end of the gradient is now on the left.
    QVERIFY(qGray(both.pixel(0, 16)) > qGray(both.pixel(127, 16)));
}

void TestLibAVFilterVideo::changesTakeEffectOnNextFrame()
{
    LibAVFilterVideo filter;
    QSignalSpy changed(&filter, &LibAVFilterVideo::optionsChanged);
    filter.setOptions(QStringLiteral("format=pix_fmts=rgb24,hflip"));
    FramePtr in(hxtest::makeMarkedFrame(64, 48, kMark));
    QCOMPARE(corner(runFilters({&filter}, in.get()).get()), QStringLiteral("TR"));

    filter.setOptions(QStringLiteral("format=pix_fmts=rgb24,vflip"));
    QCOMPARE(corner(runFilters({&filter}, in.get()).get()), QStringLiteral("BL"));
    filter.setOptions(QStringLiteral("format=pix_fmts=rgb24,vflip"));
    QCOMPARE(changed.count(), 2);

    // A rejected text passes the frame on untouched.
    filter.setOptions(QStringLiteral("format=pix_fmts=rgb24,nosuchfilter"));
    FramePtr out(av_frame_alloc());
    QVERIFY(!filter.filterFrame(in.get(), out.get()));
    QCOMPARE(corner(runFilters({&filter}, in.get()).get()), QStringLiteral("TL"));

    filter.setOptions(QString());
    QVERIFY(!filter.filterFrame(in.get(), out.get()));
    QCOMPARE(corner(runFilters({&filter}, in.get()).get()), QStringLiteral("TL"));
}

void TestLibAVFilterVideo::rebuildsWhenInputSizeChanges()
{
    LibAVFilterGraph chain;
    chain.setOutputFormat(AV_PIX_FMT_BGRA);
    chain.setText(QStringLiteral("format=pix_fmts=rgb24,hflip,vflip"));
    const QSize sizes[] = {{64, 48}, {32, 24}, {96, 54}, {64, 48}};
    for (const QSize &size : sizes) {
        FramePtr in(hxtest::makeMarkedFrame(size.width(), size.height(), kMark));
        FramePtr out(chain.filter(in.get(), kTimeBase));
        QVERIFY(out);
        QCOMPARE(QSize(out->width, out->height), size);
        QCOMPARE(hxtest::markedCorner(hxtest::toImage(out.get()), kMark), QStringLiteral("BR"));
    }
    // A change of pixel format rebuilds as well.
    FramePtr in(hxtest::makeMarkedFrame(64, 48, kMark));
    FramePtr rgb(chain.filter(in.get(), kTimeBase));
    QVERIFY(rgb);
    FramePtr back(chain.filter(rgb.get(), kTimeBase));
    QVERIFY(back);
    QCOMPARE(hxtest::markedCorner(hxtest::toImage(back.get()), kMark), QStringLiteral("TL"));
}

void TestLibAVFilterVideo::badTextRecoversWhenMended()
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

void TestLibAVFilterVideo::heldBackFramePassesUnfiltered()
{
    LibAVFilterGraph graph;
    graph.setText(QStringLiteral("select=0"));
    FramePtr in(hxtest::makeMarkedFrame(64, 48, kMark));
    FramePtr out(graph.filter(in.get(), kTimeBase));
    QVERIFY(!out);
    QVERIFY(graph.isValid());

    // The player never loses a picture to a filter that holds frames back.
    LibAVFilterVideo filter;
    filter.setOptions(QStringLiteral("select=0"));
    FramePtr target(av_frame_alloc());
    QVERIFY(!filter.filterFrame(in.get(), target.get()));
    QCOMPARE(corner(runFilters({&filter}, in.get()).get()), QStringLiteral("TL"));
}

void TestLibAVFilterVideo::effectiveText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("effective");

    QTest::newRow("mirror") << "format=pix_fmts=rgb24,hflip,vflip" << "hflip,vflip";
    QTest::newRow("one flip") << "format=pix_fmts=rgb24,vflip" << "vflip";
    QTest::newRow("eq") << "format=pix_fmts=rgb24,eq=brightness=0.100:contrast=1.450"
                        << "eq=brightness=0.100:contrast=1.450";
    QTest::newRow("eq one term") << "format=pix_fmts=rgb24,eq=contrast=0.946" << "eq=contrast=0.946";
    QTest::newRow("conversion only") << "format=pix_fmts=rgb24" << "null";
    QTest::newRow("short format") << "format=rgb24,hflip" << "hflip";
    QTest::newRow("trailing conversion") << "hflip,vflip,format=pix_fmts=rgb24" << "hflip,vflip";
    QTest::newRow("no conversion") << "hflip,vflip" << "hflip,vflip";
    QTest::newRow("other format") << "format=pix_fmts=gray,hflip" << "format=pix_fmts=gray,hflip";
    QTest::newRow("other filter") << "format=pix_fmts=rgb24,hflip,lutrgb=r=0"
                                  << "format=pix_fmts=rgb24,hflip,lutrgb=r=0";
    QTest::newRow("quoted expression") << "format=pix_fmts=rgb24,eq=brightness='0.1'"
                                       << "format=pix_fmts=rgb24,eq=brightness='0.1'";
    QTest::newRow("labels") << "format=pix_fmts=rgb24,split[a][b];[a][b]hstack"
                            << "format=pix_fmts=rgb24,split[a][b];[a][b]hstack";
    QTest::newRow("broken") << "format=pix_fmts=rgb24,hflip," << "format=pix_fmts=rgb24,hflip,";
    QTest::newRow("empty") << "" << "";
}

void TestLibAVFilterVideo::effectiveText()
{
    QFETCH(QString, text);
    QFETCH(QString, effective);
    QCOMPARE(LibAVFilterGraph::effectiveText(text), effective);
}

void TestLibAVFilterVideo::effectiveGraphShowsTheSamePicture_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("mirror") << "format=pix_fmts=rgb24,hflip,vflip";
    QTest::newRow("eq") << "format=pix_fmts=rgb24,eq=brightness=0.100:contrast=1.450";
    QTest::newRow("eq low") << "format=pix_fmts=rgb24,eq=brightness=-0.300:contrast=0.600";
}

void TestLibAVFilterVideo::effectiveGraphShowsTheSamePicture()
{
    QFETCH(QString, text);
    // A trailing "copy" keeps the text as written: the slow but literal graph.
    LibAVFilterGraph literal;
    literal.setText(text + QStringLiteral(",copy"));
    literal.setOutputFormat(AV_PIX_FMT_BGRA);
    LibAVFilterGraph effective;
    effective.setText(text);
    effective.setOutputFormat(AV_PIX_FMT_BGRA);
    QCOMPARE(LibAVFilterGraph::effectiveText(literal.text()), literal.text());

    FramePtr in(hxtest::makeGradientFrame(96, 64, 60, 200));
    // Some colour, so that a mixed-up conversion would show; kept within
    // what RGB can hold, which the literal graph's detour would clip.
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 48; ++x) {
            in->data[1][y * in->linesize[1] + x] = uint8_t(116 + x / 4);
            in->data[2][y * in->linesize[2] + x] = uint8_t(140 - y / 4);
        }
    }
    const QImage a = hxtest::toImage(FramePtr(literal.filter(in.get(), kTimeBase)).get());
    const QImage b = hxtest::toImage(FramePtr(effective.filter(in.get(), kTimeBase)).get());
    QVERIFY(!a.isNull() && a.size() == b.size());
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            worst = qMax(worst, qMax(qAbs(qRed(p) - qRed(q)),
                                     qMax(qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q)))));
        }
    }
    QVERIFY2(worst <= 6, qPrintable(QString::number(worst)));
}

QTEST_GUILESS_MAIN(TestLibAVFilterVideo)
#include "tst_lib_av_filter_video.moc"
