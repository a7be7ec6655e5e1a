#include "vw_map_tiles.h"

#include <QTest>

// What the map makes of the tile settings.
class TestVwMapTiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resolve_data();
    void resolve();
};

void TestVwMapTiles::resolve_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("attribution");
    QTest::addColumn<QString>("expectedUrl");
    QTest::addColumn<QString>("expectedAttribution");
    QTest::addColumn<QUrl>("server");

    const QString osm = VwMapTiles::defaultUrl();
    const QString osmCredit = QStringLiteral("© OpenStreetMap contributors");
    const QUrl osmServer(QStringLiteral("https://tile.openstreetmap.org"));
    const QString local = QStringLiteral("http://127.0.0.1:8080/tiles/{z}/{x}/{y}.png");

    QTest::newRow("absent") << QString() << QString() << osm << osmCredit << osmServer;
    QTest::newRow("none") << " None " << "x" << QString() << QString() << QUrl();
    QTest::newRow("own server") << local << "Our tiles" << local << "Our tiles"
                                << QUrl(QStringLiteral("http://127.0.0.1:8080"));
    QTest::newRow("own server, no credit") << local << "" << local << osmCredit
                                           << QUrl(QStringLiteral("http://127.0.0.1:8080"));
    QTest::newRow("folder") << "file:///srv/tiles/{z}/{x}/{y}.png" << "Mine"
                            << "file:///srv/tiles/{z}/{x}/{y}.png" << "Mine"
                            << QUrl(QStringLiteral("file:"));
    QTest::newRow("no {y}") << "https://example.org/{z}/{x}.png" << "Theirs" << osm << osmCredit
                            << osmServer;
    QTest::newRow("other scheme") << "ftp://example.org/{z}/{x}/{y}.png" << "" << osm << osmCredit
                                  << osmServer;
    QTest::newRow("no host") << "https:///{z}/{x}/{y}.png" << "" << osm << osmCredit << osmServer;
}

void TestVwMapTiles::resolve()
{
    QFETCH(QString, url);
    QFETCH(QString, attribution);
    QFETCH(QString, expectedUrl);
    QFETCH(QString, expectedAttribution);
    QFETCH(QUrl, server);

    const VwMapTiles tiles = VwMapTiles::resolve(url, attribution);
    QCOMPARE(tiles.url, expectedUrl);
    QCOMPARE(tiles.attribution, expectedAttribution);
    QCOMPARE(tiles.server(), server);
}

QTEST_GUILESS_MAIN(TestVwMapTiles)
#include "tst_vw_map_tiles.moc"
