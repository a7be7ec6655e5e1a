#include "hx_font_substitute.h"

#include <QTest>

class TstHxFontSubstitute : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resolve_data();
    void resolve();
};

void TstHxFontSubstitute::resolve_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("expected");

    const QStringList linux = {QStringLiteral("DejaVu Sans"), QStringLiteral("IPAPGothic")};
    QTest::newRow("installed itself") << "MS PGothic" << QStringList{"MS PGothic", "IPAPGothic"}
                                      << "MS PGothic";
    QTest::newRow("substitute") << "MS PGothic" << linux << "IPAPGothic";
    QTest::newRow("neither") << "MS PGothic" << QStringList{"DejaVu Sans"} << "";
    QTest::newRow("case matters") << "ms pgothic" << linux << "";
    QTest::newRow("no substitute known") << "Meiryo" << linux << "";
    QTest::newRow("other installed family") << "DejaVu Sans" << linux << "DejaVu Sans";
}

void TstHxFontSubstitute::resolve()
{
    QFETCH(QString, family);
    QFETCH(QStringList, installed);
    QFETCH(QString, expected);
    QCOMPARE(HxFontSubstitute::resolve(family, installed), expected);
}

QTEST_GUILESS_MAIN(TstHxFontSubstitute)
#include "tst_hx_font_substitute.moc"
