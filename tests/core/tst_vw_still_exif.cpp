#include "hx_test_exif.h"
#include "hx_test_files.h"
#include "vw_still_exif.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

class TestVwStillExif : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tags_data();
    void tags();
    void brokenInputLeavesFileAlone();

private:
    static QByteArray jpeg();
};

QByteArray TestVwStillExif::jpeg()
{
    QImage image(64, 36, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return data;
}

void TestVwStillExif::tags_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<double>("speed");
    QTest::addColumn<QString>("refs"); // empty: no GPS tag at all

    QTest::newRow("south west") << -33.856784 << -151.215297 << 12.34 << "SW";
    // 59.99999 s must become the next minute, not 60 seconds.
    QTest::newRow("minute carry") << 35.9999999 << 0.0 << 0.0 << "NE";
    QTest::newRow("latitude beyond the pole") << 91.0 << 139.7 << 40.0 << "";
    QTest::newRow("longitude not a number") << 35.6 << std::nan("") << 40.0 << "";
}

void TestVwStillExif::tags()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(double, speed);
    QFETCH(QString, refs);

    VwGpsRecord fix;
    fix.valid = true;
    fix.latitude = latitude;
    fix.longitude = longitude;
    fix.speed = speed;
    const QDateTime moment(QDate(2023, 4, 15), QTime(8, 15, 7, 42));
    QString error;
    const QByteArray tagged = VwStillExif(moment, &fix).tagged(jpeg(), &error);
    QVERIFY2(!tagged.isEmpty(), qPrintable(error));
    QVERIFY(!QImage::fromData(tagged, "JPG").isNull());

    const QMap<QString, QString> tags = hxExifTags(tagged);
    QCOMPARE(tags.value("Exif.Image.Model"), QStringLiteral("KT-LV550N"));
    QCOMPARE(tags.value("Exif.Photo.DateTimeOriginal"), QStringLiteral("2023:04:15 08:15:07"));
    QCOMPARE(tags.value("Exif.Image.DateTime"), QStringLiteral("2023:04:15 08:15:07"));
    QCOMPARE(tags.value("Exif.Photo.SubSecTimeOriginal"), QStringLiteral("042"));
    QVERIFY(!tags.contains("Exif.Photo.OffsetTimeOriginal"));

    const QStringList gpsKeys = tags.keys().filter(QStringLiteral("Exif.GPSInfo."));
    if (refs.isEmpty()) {
        QVERIFY2(gpsKeys.isEmpty(), qPrintable(gpsKeys.join(' ')));
        return;
    }
    QCOMPARE(tags.value("Exif.GPSInfo.GPSVersionID"), QStringLiteral("2 3 0 0"));
    QCOMPARE(tags.value("Exif.GPSInfo.GPSLatitudeRef"), refs.left(1));
    QCOMPARE(tags.value("Exif.GPSInfo.GPSLongitudeRef"), refs.mid(1));
    QVERIFY(std::fabs(hxExifDegrees(tags.value("Exif.GPSInfo.GPSLatitude")) - std::fabs(latitude)) < 1e-5);
    QVERIFY(std::fabs(hxExifDegrees(tags.value("Exif.GPSInfo.GPSLongitude")) - std::fabs(longitude)) < 1e-5);
    QVERIFY2(!tags.value("Exif.GPSInfo.GPSLatitude").contains(QLatin1String("6000/100")),
             qPrintable(tags.value("Exif.GPSInfo.GPSLatitude")));
    QCOMPARE(tags.value("Exif.GPSInfo.GPSSpeedRef"), QStringLiteral("K"));
    QVERIFY(std::fabs(hxExifRational(tags.value("Exif.GPSInfo.GPSSpeed")) - speed) <= 0.05);
}

void TestVwStillExif::brokenInputLeavesFileAlone()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("still.jpg"));
    const QByteArray notJpeg("\x89PNG\r\n\x1a\n not really a picture", 30);
    QVERIFY(hxWriteFile(path, notJpeg));

    QString error;
    QVERIFY(!VwStillExif(QDateTime::currentDateTime(), nullptr).rewrite(path, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(hxReadFile(path), notJpeg);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("still.jpg")});

    QVERIFY(!VwStillExif(QDateTime(), nullptr).rewrite(dir.filePath(QStringLiteral("gone.jpg")), &error));
}

QTEST_GUILESS_MAIN(TestVwStillExif)
#include "tst_vw_still_exif.moc"
