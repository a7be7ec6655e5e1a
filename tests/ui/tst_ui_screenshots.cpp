#include "av_player.h"
#include "hx_button.h"
#include "hx_frame_title.h"
#include "hx_test_files.h"
#include "hx_test_viewer.h"
#include "vw_app.h"
#include "vw_dialog_overwrite.h"
#include "vw_dialog_progress.h"
#include "vw_frame_left.h"
#include "vw_frame_list.h"
#include "vw_frame_right.h"
#include "vw_frame_video_main.h"
#include "vw_frame_video_sub.h"
#include "vw_language.h"
#include "vw_play_slider.h"
#include "vw_player.h"
#include "vw_popup.h"
#include "vw_popup_info.h"
#include "vw_popup_message.h"
#include "vw_popup_repair.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "vw_widget_video_list.h"
#include "window_main.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Renders the main window in its three layouts, playing a recording (zoomed
// too) and every popup, in Japanese and in English, to PNG files for a
// reviewer to look at.
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
    // The small sample card in the file list, with a row selected; false
    // without make_card.
    bool showCard(int groupMask);
    void renderPlaying(bool zoom, const QString &file);
    // The recording played by the pictures of playback; null with a reason.
    VwVideoItem *recording(QString *reason);
    bool stopPlayer();

    QDir outputDir;
    QTemporaryDir cardDir;
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

    const QStringList kinds = {"main_normal",         "main_maximized",        "main_fullscreen",
                               "main_playing",        "main_zoomed",           "main_card",
                               "main_card_events",    "popup_info",            "popup_message_long",
                               "popup_language",      "popup_progress_open",   "popup_progress_backup",
                               "popup_overwrite",     "popup_overwrite_all",   "popup_backup_failed",
                               "popup_no_recordings", "popup_repair",          "popup_repair_result"};
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
    if (kind == QLatin1String("main_playing") || kind == QLatin1String("main_zoomed"))
        renderPlaying(kind.endsWith(QLatin1String("zoomed")), file);
    else if (kind.startsWith(QLatin1String("main_")))
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

bool TestUiScreenshots::showCard(int groupMask)
{
    VwFrameList *panel = WindowMain::instance()->frameRight->fileList;
    VwVideoFileList *list = VwVideoFileList::instance();
    if (list->allItems().isEmpty()) {
        const QString card = cardDir.filePath(QStringLiteral("card"));
        bool missing = false;
        if (!hxMakeCard({"--small", "--quiet", card}, &missing).isEmpty() || !panel->openFolder(card))
            return false;
        if (!QTest::qWaitFor([list] { return !list->isLoading() && list->currentItem(); }, 20000))
            return false;
    }
    // A still picture: nothing plays on to the next recording.
    VwPlayer::instance()->onUserStop();
    for (HxButton *button : qAsConst(panel->typeButtons)) {
        if (button->typeMask() == groupMask)
            button->click();
    }
    panel->table->selectRow(1);
    return true;
}

void TestUiScreenshots::renderMainWindow(const QString &layout, const QString &file)
{
    WindowMain *window = WindowMain::instance();
    if (layout.startsWith(QLatin1String("card"))
        && !showCard(layout.endsWith(QLatin1String("events")) ? VwVideoFileList::GROUP_EVENT
                                                              : VwVideoFileList::GROUP_ALL))
        QSKIP("make_card has not been built");
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

VwVideoItem *TestUiScreenshots::recording(QString *reason)
{
    const QString card = cardDir.filePath(QStringLiteral("card"));
    VwVideoFileList *list = VwVideoFileList::instance();
    if (list->visibleItems().isEmpty()) {
        bool missing = false;
        *reason = hxMakeCard({"--small", "--quiet", card}, &missing);
        if (reason->isEmpty() && !hxListFolder(card))
            *reason = QStringLiteral("the sample card could not be listed");
        if (!reason->isEmpty())
            return nullptr;
    }
    // The main drive: both cameras, the longest recording of the small card.
    // An earlier picture may have left the list filtered to another type.
    for (const VwVideoItemPtr &item : list->allItems()) {
        if (QFileInfo(item->primaryPath()).fileName().startsWith(QLatin1String("NORM260415-081502")))
            return item.data();
    }
    *reason = QStringLiteral("the main drive is not listed");
    return nullptr;
}

bool TestUiScreenshots::stopPlayer()
{
    QSignalSpy events(VwPlayer::instance(), &VwPlayerBase::playEvent);
    VwPlayer::instance()->stop();
    return QTest::qWaitFor([&events] {
        for (const QList<QVariant> &event : events) {
            if (event.at(0).value<PLAY_EVENT>() == PLAY_EVENT_STOPPED)
                return true;
        }
        return false;
    }, 5000);
}

void TestUiScreenshots::renderPlaying(bool zoom, const QString &file)
{
    QString reason;
    VwVideoItem *item = recording(&reason);
    if (!item)
        QSKIP(qPrintable(reason));
    WindowMain *window = WindowMain::instance();
    VwPlayer *player = VwPlayer::instance();
    player->onLoad(item);
    // Half-way through.
    QTRY_VERIFY_WITH_TIMEOUT(player->playerF()->position() > player->playerF()->duration() / 2, 15000);
    VwFrameVideoMain *mainPane = window->frameLeft->mainVideo;
    QVERIFY(mainPane->showsVideo());
    QVERIFY(window->frameRight->subVideo->showsVideo());
    QVERIFY(window->frameLeft->playSlider->currentTime()->text() != QLatin1String("00:00"));
    if (zoom) {
        mainPane->onToggleZoom();
        QVERIFY(mainPane->isZoomOn());
        QVERIFY(mainPane->pipBox()->isVisible());
        QTest::qWait(200);
    }
    QCoreApplication::processEvents();
    save(window, file);
    if (zoom)
        mainPane->onToggleZoom();
    QVERIFY(stopPlayer());
}

void TestUiScreenshots::renderPopup(const QString &kind, const QString &file)
{
    const bool japanese = VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE;
    QWidget *parent = WindowMain::instance();
    QScopedPointer<QDialog> popup;
    if (kind.startsWith(QLatin1String("progress"))) {
        const bool backup = kind.endsWith(QLatin1String("backup"));
        auto *progress = new VwDialogProgress(
            parent,
            backup ? (japanese ? QStringLiteral("バックアップ中") : QStringLiteral("Backup files..."))
                   : (japanese ? QStringLiteral("ファイルOPEN") : QStringLiteral("Open files...")),
            backup);
        progress->onUpdateValue(backup ? VwDialogProgress::kRange / 2 : 120);
        popup.reset(progress);
    } else if (kind.startsWith(QLatin1String("overwrite"))) {
        popup.reset(new VwDialogOverwrite(parent, QStringLiteral("NORM260415-081502F.MP4"),
                                          kind.endsWith(QLatin1String("all")) ? 3 : 1));
    } else if (kind == QLatin1String("backup_failed")) {
        const QString card = QStringLiteral("/media/card-that-was-removed/Normal/");
        const QString error = QStringLiteral("No space left on device");
        const QString text = VwFrameList::backupFailureText(
            {{card + QStringLiteral("NORM260415-081502F.MP4"), QString(), error},
             {card + QStringLiteral("NORM260415-081502R.MP4"), QString(), error}});
        popup.reset(new VwPopupMessage(parent, japanese ? QStringLiteral("注意") : QStringLiteral("Notice"), text));
    } else if (kind == QLatin1String("repair")) {
        popup.reset(new VwPopupRepair(parent, QStringLiteral("NORM260415-095502")));
    } else if (kind == QLatin1String("repair_result")) {
        VwMovRepair::Result front;
        front.outcome = VwMovRepair::OUTCOME_COMPLETE;
        front.reason = VwMovRepair::REASON_CUT;
        front.outputPath = QStringLiteral("NORM260415-095502F.MP4");
        front.videoSeconds = 58.0;
        front.audioSeconds = 58.03;
        front.telemetrySeconds = 58;
        front.cutOffset = 29939694;
        front.fileSize = 29959693;
        VwMovRepair::Result rear;
        rear.reason = VwMovRepair::REASON_NO_REFERENCE;
        rear.outputPath = QStringLiteral("NORM260415-095502R.MP4");
        popup.reset(new VwPopupMessage(parent, japanese ? QStringLiteral("修復") : QStringLiteral("Repair"),
                                       VwFrameList::repairResultText(
                                           {front, rear}, QStringLiteral("/home/user/Documents/KT-LV550N Doc/backup/repaired"))));
    } else if (kind == QLatin1String("no_recordings")) {
        popup.reset(new VwPopupMessage(parent, japanese ? QStringLiteral("注意") : QStringLiteral("Notice"),
                                       japanese ? QStringLiteral("録画ファイルが見つかりません。")
                                                : QStringLiteral("No recordings were found in this folder.")));
    } else if (kind == QLatin1String("info")) {
        popup.reset(new VwPopupInfo(parent, QString(), QString()));
    } else if (kind == QLatin1String("message_long")) {
        const QString text = japanese
            ? QStringLiteral("選択したフォルダには再生できる録画ファイルがありません。\n"
                             "メモリーカードのルートフォルダを選択してください。")
            : QStringLiteral("The selected folder holds no recording that can be played.\n"
                             "Choose the root folder of the memory card.");
        popup.reset(new VwPopupMessage(parent, japanese ? QStringLiteral("確認") : QStringLiteral("Message"), text));
    } else {
        auto *chooser = new VwPopup(parent,
                                    japanese ? QStringLiteral("言語選択") : QStringLiteral("Select a language"),
                                    QString(), Qt::WindowFlags());
        chooser->setupLanguageChooser();
        popup.reset(chooser);
    }
    popup->show();
    QVERIFY(QTest::qWaitForWindowExposed(popup.data()));
    save(popup.data(), file);
    popup->hide();
}

HX_TEST_VIEWER_MAIN(TestUiScreenshots)

#include "tst_ui_screenshots.moc"
