#include "hx_test_sandbox.h"
#include "vw_app.h"
#include "vw_language.h"
#include "vw_settings.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestVwLanguage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void tableText_data();
    void tableText();
    void unknownKeyStaysEmpty();

    void registerReplacesAndUnregisterRemoves();
    void applyLanguage_data();
    void applyLanguage();
    void destroyedWidgetIsForgotten();

    void setLanguageStoresAndEmits();
    void applyChoice_data();
    void applyChoice();
    void languageForLocale_data();
    void languageForLocale();

private:
    std::unique_ptr<HxTestSandbox> m_sandbox;
};

void TestVwLanguage::initTestCase()
{
    m_sandbox = std::make_unique<HxTestSandbox>();
    QVERIFY(m_sandbox->isValid());
    VwApp::instance()->createAppFolders();
    VwSettings::instance()->open();
    QVERIFY(VwSettings::instance()->settingsFile->fileName().startsWith(m_sandbox->home()));
}

void TestVwLanguage::init()
{
    VwLanguage *language = VwLanguage::instance();
    language->language = VwLanguage::LANGUAGE_JAPANESE;
    language->setLanguageAuto(false);
    VwSettings::instance()->setLanguage(VwLanguage::LANGUAGE_JAPANESE);
}

void TestVwLanguage::tableText_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");

    // Only the entries whose characters are easy to get wrong; the rest of the table is plain text.
    const std::pair<const char *, QString> rows[] = {
        {"play_play", QStringLiteral("再生")},
        // An ASCII space between JPG and the kanji.
        {"capture", QStringLiteral("JPG\u0020保存")},
        // Full-width parentheses.
        {"restore_window", QStringLiteral("元に戻す\uFF08縮小\uFF09")},
        // Half-width katakana middle dot.
        {"swap", QStringLiteral("フロント\uFF65リア切替え")},
    };
    for (const auto &row : rows)
        QTest::newRow(row.first) << QString::fromLatin1(row.first) << row.second;
}

void TestVwLanguage::tableText()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QCOMPARE(languageText(key), text);
    QCOMPARE(languageText(key.toLatin1().constData()), text);
}

void TestVwLanguage::unknownKeyStaysEmpty()
{
    QVERIFY(languageText("no_such_key").isEmpty());
    QVERIFY(languageText("no_such_key").isEmpty());
    QVERIFY(languageText("").isEmpty());
    // Looking up unknown keys does not disturb the known ones.
    QCOMPARE(languageText("play_play"), QStringLiteral("再生"));
}

void TestVwLanguage::registerReplacesAndUnregisterRemoves()
{
    VwLanguage *language = VwLanguage::instance();
    QWidget widget;
    QVERIFY(!language->isRegistered(&widget));

    language->registerText(1, VwLanguage::TEXT_KIND_TOOLTIP, &widget, QStringLiteral("first"));
    language->registerText(1, VwLanguage::TEXT_KIND_TOOLTIP, &widget, QStringLiteral("second"));
    language->registerText(2, VwLanguage::TEXT_KIND_TOOLTIP, &widget, QStringLiteral("English"));
    language->registerText(2, VwLanguage::TEXT_KIND_TEXT, &widget, QStringLiteral("label"));
    QVERIFY(language->isRegistered(&widget));
    QCOMPARE(language->registeredText(&widget, 1, VwLanguage::TEXT_KIND_TOOLTIP), QStringLiteral("second"));
    QCOMPARE(language->registeredText(&widget, 2, VwLanguage::TEXT_KIND_TOOLTIP), QStringLiteral("English"));
    QCOMPARE(language->registeredText(&widget, 2, VwLanguage::TEXT_KIND_TEXT), QStringLiteral("label"));
    QVERIFY(language->registeredText(&widget, 1, VwLanguage::TEXT_KIND_TEXT).isEmpty());

    language->unregisterWidget(&widget);
    QVERIFY(!language->isRegistered(&widget));
    QVERIFY(language->registeredText(&widget, 1, VwLanguage::TEXT_KIND_TOOLTIP).isEmpty());
    // A second removal, or the removal of a stranger, is harmless.
    language->unregisterWidget(&widget);
    language->unregisterWidget(nullptr);
    language->registerText(1, VwLanguage::TEXT_KIND_TOOLTIP, nullptr, QStringLiteral("x"));
    QVERIFY(!language->isRegistered(nullptr));
}

void TestVwLanguage::applyLanguage_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("registered"); // ja tooltip, en tooltip, ja text, en text
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QString>("text");

    const QString ja = QStringLiteral("再生");
    const QString en = QStringLiteral("Play");
    QTest::newRow("button both tooltips, English")
        << "button" << 2 << QStringList{ja, en, QString(), QString()} << en << "start";
    QTest::newRow("button both tooltips, Japanese")
        << "button" << 1 << QStringList{ja, en, QString(), QString()} << ja << "start";
    QTest::newRow("button Japanese tooltip only, English")
        << "button" << 2 << QStringList{ja, QString(), QString(), QString()} << ja << "start";
    QTest::newRow("button texts, English")
        << "button" << 2 << QStringList{QString(), QString(), QStringLiteral("確認"), QStringLiteral("OK")}
        << ja << "OK";
    QTest::newRow("button language without entries")
        << "button" << 3 << QStringList{ja, en, QStringLiteral("確認"), QStringLiteral("OK")} << ja
        << "start";
    QTest::newRow("label, English")
        << "label" << 2 << QStringList{QString(), QString(), QStringLiteral("緯度"), QStringLiteral("Lat")}
        << ja << "Lat";
    QTest::newRow("label without English text")
        << "label" << 2 << QStringList{QString(), QString(), QStringLiteral("緯度"), QString()} << ja
        << "start";
    QTest::newRow("other widgets are skipped")
        << "edit" << 2 << QStringList{ja, en, QStringLiteral("確認"), QStringLiteral("OK")} << ja
        << "start";
}

void TestVwLanguage::applyLanguage()
{
    QFETCH(QString, type);
    QFETCH(int, language);
    QFETCH(QStringList, registered);
    QFETCH(QString, tooltip);
    QFETCH(QString, text);

    std::unique_ptr<QWidget> widget;
    if (type == QLatin1String("button"))
        widget = std::make_unique<QPushButton>(QStringLiteral("start"));
    else if (type == QLatin1String("label"))
        widget = std::make_unique<QLabel>(QStringLiteral("start"));
    else
        widget = std::make_unique<QLineEdit>(QStringLiteral("start"));
    widget->setToolTip(QStringLiteral("再生"));

    VwLanguage *table = VwLanguage::instance();
    const int keys[] = {1 | VwLanguage::TEXT_KIND_TOOLTIP, 2 | VwLanguage::TEXT_KIND_TOOLTIP,
                        1 | VwLanguage::TEXT_KIND_TEXT, 2 | VwLanguage::TEXT_KIND_TEXT};
    for (int i = 0; i < 4; ++i) {
        if (!registered.at(i).isEmpty())
            table->registerText(keys[i] & 0xFF, keys[i] & 0xF00, widget.get(), registered.at(i));
    }
    table->language = VwLanguage::LANGUAGE_TYPE(language);
    table->applyLanguage();

    QCOMPARE(widget->toolTip(), tooltip);
    QString shown;
    if (auto *button = qobject_cast<QPushButton *>(widget.get()))
        shown = button->text();
    else if (auto *label = qobject_cast<QLabel *>(widget.get()))
        shown = label->text();
    else
        shown = static_cast<QLineEdit *>(widget.get())->text();
    QCOMPARE(shown, text);
}

void TestVwLanguage::destroyedWidgetIsForgotten()
{
    VwLanguage *language = VwLanguage::instance();
    auto *label = new QLabel;
    language->registerText(2, VwLanguage::TEXT_KIND_TEXT, label, QStringLiteral("Lat"));
    QVERIFY(language->isRegistered(label));
    delete label;
    QVERIFY(!language->isRegistered(label));
    language->language = VwLanguage::LANGUAGE_ENGLISH;
    language->applyLanguage();
}

void TestVwLanguage::setLanguageStoresAndEmits()
{
    VwLanguage *language = VwLanguage::instance();
    QPushButton button;
    language->registerText(1, VwLanguage::TEXT_KIND_TOOLTIP, &button, QStringLiteral("停止"));
    language->registerText(2, VwLanguage::TEXT_KIND_TOOLTIP, &button, QStringLiteral("Stop"));
    QSignalSpy spy(language, &VwLanguage::languageChange);

    language->setLanguage(VwLanguage::LANGUAGE_ENGLISH);
    QCOMPARE(language->language, VwLanguage::LANGUAGE_ENGLISH);
    QCOMPARE(button.toolTip(), QStringLiteral("Stop"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<VwLanguage::LANGUAGE_TYPE>(), VwLanguage::LANGUAGE_ENGLISH);
    // Written through to the file at once.
    QSettings file(VwSettings::instance()->settingsFile->fileName(), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("APP/LANGUAGE")).toInt(), 2);

    language->setLanguage(VwLanguage::LANGUAGE_JAPANESE);
    QCOMPARE(button.toolTip(), QStringLiteral("停止"));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(VwSettings::instance()->language(), 1);
}

void TestVwLanguage::applyChoice_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<bool>("autoBefore");
    QTest::addColumn<int>("choice");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("autoAfter");

    const int system = VwLanguage::systemLanguage();
    QTest::newRow("Japanese to English") << 1 << false << 2 << 2 << false;
    QTest::newRow("English to Japanese") << 2 << false << 1 << 1 << false;
    QTest::newRow("English again") << 2 << false << 2 << 2 << false;
    QTest::newRow("leaving auto, same language") << 1 << true << 1 << 1 << false;
    QTest::newRow("auto from Japanese") << 1 << false << 0 << system << true;
    QTest::newRow("auto from English") << 2 << false << 0 << system << true;
    QTest::newRow("unknown entry") << 2 << true << 7 << 2 << true;
}

void TestVwLanguage::applyChoice()
{
    QFETCH(int, current);
    QFETCH(bool, autoBefore);
    QFETCH(int, choice);
    QFETCH(int, expected);
    QFETCH(bool, autoAfter);

    VwLanguage *language = VwLanguage::instance();
    language->language = VwLanguage::LANGUAGE_TYPE(current);
    language->setLanguageAuto(autoBefore);
    QSignalSpy spy(language, &VwLanguage::languageChange);

    language->applyChoice(choice);

    QCOMPARE(int(language->language), expected);
    QCOMPARE(language->languageAuto, autoAfter);
    QCOMPARE(VwSettings::instance()->languageAuto(), autoAfter);
    // Choosing the language in force changes nothing but the auto flag.
    QCOMPARE(spy.count(), expected == current ? 0 : 1);
}

void TestVwLanguage::languageForLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("language");
    QTest::newRow("ja_JP") << "ja_JP" << 1;
    QTest::newRow("lower case") << "ja_jp" << 1;
    QTest::newRow("en_US") << "en_US" << 2;
    QTest::newRow("C") << "C" << 2;
    QTest::newRow("ja without country") << "ja" << 2;
    QTest::newRow("empty") << "" << 2;
}

void TestVwLanguage::languageForLocale()
{
    QFETCH(QString, locale);
    QFETCH(int, language);
    QCOMPARE(int(VwLanguage::languageForLocale(locale)), language);
}

QTEST_MAIN(TestVwLanguage)
#include "tst_vw_language.moc"
