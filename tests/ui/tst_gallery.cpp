#include "hx_test_sandbox.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTest>

// Renders the button gallery offscreen into the build folder, where a
// reviewer can look at every button in every state.
class TestGallery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rendersEveryState();
};

void TestGallery::rendersEveryState()
{
    const QString program = hxToolPath(QStringLiteral("gallery/gallery"));
    if (program.isEmpty() || !QFileInfo(program).isExecutable())
        QSKIP("the gallery tool is not built (HX_BUILD_TOOLS=OFF?)");
    const QString output = QFile::decodeName(qgetenv("HX_GALLERY_PNG"));
    QVERIFY(!output.isEmpty());
    QDir().mkpath(QFileInfo(output).path());
    QFile::remove(output);

    QProcess gallery;
    gallery.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    gallery.start(program, {QStringLiteral("--output"), output});
    QVERIFY(gallery.waitForFinished(120000));
    // 2 means an image the sheet shows is missing from the resources.
    QCOMPARE(gallery.exitStatus(), QProcess::NormalExit);
    QCOMPARE(gallery.exitCode(), 0);

    const QImage sheet(output);
    QVERIFY(!sheet.isNull());
    QVERIFY(sheet.width() > 1000 && sheet.height() > 1000);
    // A sheet of real pictures, not an empty page.
    QSet<QRgb> colours;
    for (int y = 0; y < sheet.height(); y += 7) {
        for (int x = 0; x < sheet.width(); x += 7)
            colours.insert(sheet.pixel(x, y));
    }
    QVERIFY2(colours.size() > 200, qPrintable(QString::number(colours.size())));
    qDebug() << "gallery:" << output;
}

QTEST_GUILESS_MAIN(TestGallery)
#include "tst_gallery.moc"
