#include "hx_frame_title.h"
#include "hx_test_sandbox.h"
#include "vw_app.h"
#include "vw_language.h"
#include "vw_popup.h"
#include "vw_popup_info.h"
#include "vw_popup_message.h"
#include "window_main.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTest>

// Renders the main window in its three layouts and every popup, in Japanese
// and in English, to PNG files for a reviewer to look at.
class TestUiScreenshots : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void render_data();
    void render();

private:
    void save(QWidget *widget, const QString &name);
    void renderMainWindow(const QString &layout, const QString &file);
    void renderPopup(const QString &kind, const QString &file);

    QDir outputDir;
};

void TestUiScreenshots::initTestCase()
{
    const QByteArray dir = qgetenv("HX_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("HX_SCREENSHOT_DIR is not set");
    outputDir = QDir(QFile::decodeName(dir));
    QVERIFY(outputDir.mkpath(QStringLiteral(".")));
    WindowMain::instance()->show();
    QVERIFY(QTest::qWaitForWindowExposed(WindowMain::instance()));
}

void TestUiScreenshots::render_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("kind");

    const QStringList kinds = {"main_normal",      "main_maximized", "main_fullscreen",
                               "popup_info",       "popup_message",  "popup_message_long",
                               "popup_language"};
    for (int language : {1, 2}) {
        for (const QString &kind : kinds)
            QTest::addRow("%s_%s", qPrintable(kind), language == 1 ? "ja" : "en") << language << kind;
    }
}

void TestUiScreenshots::render()
{
    QFETCH(int, language);
    QFETCH(QString, kind);

    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_TYPE(language));
    const QString file = kind + (language == 1 ? QStringLiteral("_ja.png") : QStringLiteral("_en.png"));
    if (kind.startsWith(QLatin1String("main_")))
        renderMainWindow(kind.mid(5), file);
    else
        renderPopup(kind.mid(6), file);
}

void TestUiScreenshots::save(QWidget *widget, const QString &name)
{
    const QImage image = widget->grab().toImage();
    QVERIFY(!image.isNull());
    // A picture of one colour means nothing was drawn.
    const QRgb corner = image.pixel(image.width() / 2, image.height() / 2);
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; y += 7) {
        for (int x = 0; x < image.width() && !varied; x += 7)
            varied = image.pixel(x, y) != corner;
    }
    QVERIFY2(varied, qPrintable(name));
    QVERIFY(image.save(outputDir.filePath(name)));
    qInfo("%s", qPrintable(outputDir.filePath(name)));
}

void TestUiScreenshots::renderMainWindow(const QString &layout, const QString &file)
{
    WindowMain *window = WindowMain::instance();
    if (layout == QLatin1String("maximized"))
        window->onMaximize();
    else if (layout == QLatin1String("fullscreen"))
        window->onFullScreen();
    const bool enlarged = window->isFullScreen();
    if (enlarged) {
        // The test's virtual screen is 800 x 600 and keeps a full-screen window
        // at that size; show the enlarged layout on a common laptop screen instead.
        window->setWindowState(window->windowState() & ~Qt::WindowFullScreen);
        window->resize(1366, 768);
        QTRY_COMPARE(window->size(), QSize(1366, 768));
    }
    QCoreApplication::processEvents();
    save(window, file);
    if (enlarged) {
        window->setWindowState(window->windowState() | Qt::WindowFullScreen);
        window->onFullScreen();
    }
    QCOMPARE(window->size(), QSize(1094, 687));
}

void TestUiScreenshots::renderPopup(const QString &kind, const QString &file)
{
    const bool japanese = VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE;
    QWidget *parent = WindowMain::instance();
    QScopedPointer<VwPopup> popup;
    if (kind == QLatin1String("info")) {
        popup.reset(new VwPopupInfo(parent, QString(), QString()));
    } else if (kind == QLatin1String("message")) {
        popup.reset(new VwPopupMessage(parent, japanese ? QStringLiteral("確認") : QStringLiteral("Message"),
                                       japanese ? QStringLiteral("録画ファイルがありません。")
                                                : QStringLiteral("There is no recording file.")));
    } else if (kind == QLatin1String("message_long")) {
        const QString text = japanese
            ? QStringLiteral("選択したフォルダには再生できる録画ファイルがありません。\n"
                             "メモリーカードのルートフォルダを選択してください。")
            : QStringLiteral("The selected folder holds no recording that can be played.\n"
                             "Choose the root folder of the memory card.");
        popup.reset(new VwPopupMessage(parent, japanese ? QStringLiteral("確認") : QStringLiteral("Message"), text));
    } else {
        popup.reset(new VwPopup(parent,
                                japanese ? QStringLiteral("言語選択") : QStringLiteral("Select a language"),
                                QString(), Qt::WindowFlags()));
        popup->setupLanguageChooser();
    }
    popup->show();
    QVERIFY(QTest::qWaitForWindowExposed(popup.data()));
    save(popup.data(), file);
    popup->close();
}

int main(int argc, char **argv)
{
    HxTestSandbox sandbox;
    QApplication application(argc, argv);
    VwApp::instance()->initialize(&application);
    TestUiScreenshots test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ui_screenshots.moc"
