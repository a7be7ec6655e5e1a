// The file list panel in the main window, on the small sample card, with the
// real list and player. Dialogs are answered from a timer, as a user would.

#include "hx_button.h"
#include "hx_folder_dialog.h"
#include "hx_test_files.h"
#include "hx_test_viewer.h"
#include "vw_app.h"
#include "vw_dialog_overwrite.h"
#include "vw_dialog_progress.h"
#include "vw_frame_list.h"
#include "vw_frame_right.h"
#include "vw_key_event.h"
#include "vw_mov_repair.h"
#include "vw_play_process.h"
#include "vw_player.h"
#include "vw_popup_message.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "vw_widget_video_list.h"
#include "vw_widget_video_list_delegate.h"
#include "window_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {
const QString kRecording = QStringLiteral("Normal/NORM260415-082502");
const QString kFrontCopy = QStringLiteral("NORM260415-082502F.MP4");
const QString kRearCopy = QStringLiteral("NORM260415-082502R.MP4");

// Occupies every thread of the global pool, so that a load started now waits
// in the queue until release().
class PoolBlock
{
public:
    PoolBlock()
        : m_count(QThreadPool::globalInstance()->maxThreadCount())
    {
        for (int i = 0; i < m_count; ++i) {
            QThreadPool::globalInstance()->start([this] {
                m_started.release();
                m_gate.acquire();
            });
        }
        m_started.acquire(m_count);
    }
    ~PoolBlock() { release(); }
    void release()
    {
        m_gate.release(m_count);
        m_count = 0;
    }

private:
    int m_count;
    QSemaphore m_started;
    QSemaphore m_gate;
};

// Answers every modal dialog that shows up: messages with OK, the folder
// browser and the overwrite question from a script. Notes what it saw.
class Answerer : public QObject
{
public:
    Answerer()
    {
        connect(&m_timer, &QTimer::timeout, this, &Answerer::tick);
        m_timer.start(10);
    }

    QStringList script;
    QStringList seen;
    std::function<void()> onQuestion;

private:
    void tick()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (auto *message = qobject_cast<VwPopupMessage *>(modal)) {
            seen << QStringLiteral("message:") + message->textLabel()->text();
            message->okButton()->click();
        } else if (auto *folder = qobject_cast<HxFolderDialog *>(modal)) {
            seen << QStringLiteral("folder");
            const QString path = script.isEmpty() ? QString() : script.takeFirst();
            if (path.isEmpty()) {
                folder->reject();
                return;
            }
            folder->selectFolder(path);
            QMetaObject::invokeMethod(folder->findChild<QDialog *>(), "accept");
        } else if (auto *question = qobject_cast<VwDialogOverwrite *>(modal)) {
            const QList<QLabel *> labels = question->findChildren<QLabel *>(QStringLiteral("text_header_label"));
            seen << QStringLiteral("overwrite:") + labels.last()->text()
                    + (question->applyToAllBox() ? QStringLiteral(":box") : QString());
            if (onQuestion)
                onQuestion();
            const QString answer = script.isEmpty() ? QString() : script.takeFirst();
            if (answer == QLatin1String("overwrite"))
                question->overwriteButton()->click();
            else if (answer == QLatin1String("skip"))
                question->skipButton()->click();
            else if (answer == QLatin1String("close"))
                Q_EMIT VwApp::instance()->appEvent(VwApp::EVENT_APP_CLOSE, 0);
            else
                question->cancelButton()->click();
        }
    }

    QTimer m_timer;
};
} // namespace

class TestVwFrameList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void loadOnRequest();
    void typeButtons_data();
    void typeButtons();
    void idleCommands();
    void playerCommands();
    void missingFile();
    void drops_data();
    void drops();
    void openWithoutRecordings();
    void cardRemovedDuringLoad();
    void backupQuestions();
    void backupCancel();
    void backupFailures_data();
    void backupFailures();
    void backupIntoOwnFolder();
    void damagedRecording();
    // Last: the panel takes the program as closing from then on.
    void closeWhileAsked();

private:
    VwVideoItem *visible(int row) const { return m_list->visibleItems().value(row).data(); }
    bool waitLoaded(const std::function<bool(VwVideoItem *)> &which);
    bool openAndPlay(const QString &path);
    // Copies of recordings of the card ("Normal/NORM..." without camera
    // letter and suffix) in a folder of their own.
    QString copyRecordings(const QString &name, const QStringList &recordings = {kRecording});
    // A copy of one recording, opened and playing.
    QString playCopy(const QString &name);
    bool backUp(const QString &folder, const QStringList &answers);
    QPoint cellCenter(int row, int column) const;
    // A click and then the double-click event, as the window system sends them.
    void doubleClick(const QPoint &point);

    QTemporaryDir m_dir;
    QString m_card;
    WindowMain *m_window = nullptr;
    VwFrameList *m_panel = nullptr;
    VwWidgetVideoList *m_table = nullptr;
    VwVideoFileList *m_list = nullptr;
    VwPlayer *m_player = nullptr;
    Answerer *m_answerer = nullptr;
    QList<QPair<PLAY_EVENT, VwVideoItem *>> m_events;
    QStringList m_progress;
    int m_backupEnds = 0;
};

void TestVwFrameList::initTestCase()
{
    m_card = m_dir.filePath(QStringLiteral("card"));
    HX_MAKE_CARD({"--small", "--quiet", m_card});

    m_window = WindowMain::instance();
    m_panel = m_window->frameRight->fileList;
    m_table = m_panel->table;
    m_list = VwVideoFileList::instance();
    m_player = VwPlayer::instance();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_answerer = new Answerer;
    connect(m_player, &VwPlayer::playEvent, this,
            [this](PLAY_EVENT event, VwVideoItem *item) { m_events.append({event, item}); });
    // What the progress window shows whenever progress is reported.
    connect(m_list, &VwVideoFileList::updateProgress, this, [this] {
        VwDialogProgress *progress = VwDialogProgress::current();
        m_progress << (progress && progress->isVisible()
                           ? progress->findChild<QLabel *>(QStringLiteral("title_label"))->text()
                           : QStringLiteral("none"));
    });
    connect(m_list, &VwVideoFileList::backupEnd, this, [this] { ++m_backupEnds; });
}

void TestVwFrameList::init()
{
    // Short recordings go on to the next by themselves; each case starts what it needs.
    m_player->onUserStop();
    m_answerer->script.clear();
    m_answerer->seen.clear();
    m_answerer->onQuestion = nullptr;
    m_events.clear();
    m_progress.clear();
    VwKeyEvent::instance()->pressedKey = -1;
}

bool TestVwFrameList::waitLoaded(const std::function<bool(VwVideoItem *)> &which)
{
    return QTest::qWaitFor([&] {
        for (const auto &event : qAsConst(m_events)) {
            if (event.first == PLAY_EVENT_LOADED && which(event.second))
                return true;
        }
        return false;
    }, 20000);
}

bool TestVwFrameList::openAndPlay(const QString &path)
{
    m_events.clear();
    if (!m_panel->openFolder(path))
        return false;
    return waitLoaded([this](VwVideoItem *item) { return item && item == m_list->currentItem(); });
}

QString TestVwFrameList::copyRecordings(const QString &name, const QStringList &recordings)
{
    const QString folder = m_dir.filePath(name);
    QDir().mkpath(folder);
    for (const QString &recording : recordings) {
        for (const QString &camera : {QStringLiteral("F.MP4"), QStringLiteral("R.MP4")})
            QFile::copy(m_card + '/' + recording + camera, folder + '/' + QFileInfo(recording).fileName() + camera);
    }
    return folder;
}

QString TestVwFrameList::playCopy(const QString &name)
{
    const QString folder = copyRecordings(name);
    return openAndPlay(folder) ? folder : QString();
}

bool TestVwFrameList::backUp(const QString &folder, const QStringList &answers)
{
    QDir().mkpath(folder);
    const int ends = m_backupEnds;
    m_answerer->script = QStringList{folder} + answers;
    m_panel->onBackup();
    return QTest::qWaitFor([&] { return m_backupEnds > ends && !VwDialogProgress::current(); }, 20000);
}

QPoint TestVwFrameList::cellCenter(int row, int column) const
{
    return m_table->visualRect(m_table->model()->index(row, column)).center();
}

void TestVwFrameList::doubleClick(const QPoint &point)
{
    QTest::mouseClick(m_table->viewport(), Qt::LeftButton, {}, point);
    QTest::mouseDClick(m_table->viewport(), Qt::LeftButton, {}, point);
}

void TestVwFrameList::loadOnRequest()
{
    Q_EMIT VwApp::instance()->openFolderRequested(m_card);
    QVERIFY(waitLoaded([this](VwVideoItem *item) { return item && item == visible(0); }));

    QVERIFY(!m_progress.isEmpty());
    QCOMPARE(m_progress.filter(QStringLiteral("ファイルOPEN")), m_progress);
    QCOMPARE(VwDialogProgress::current(), nullptr);
    for (HxButton *button : qAsConst(m_panel->typeButtons)) {
        QVERIFY(button->isEnabled());
        QCOMPARE(button->isChecked(), button == m_panel->allButton);
    }
    // With the two recordings of the card that a power loss cut off.
    QCOMPARE(m_table->rowCount(), 17);
    QCOMPARE(m_table->selectedRow(), 0);
    const VwWidgetVideoListDelegate *cells = m_table->delegate();
    const QStringList first{"1", "NORM260231-120000", "2026-03-03 12:00:00", cells->cellText(0, 3), "常時"};
    for (int column = 0; column < 5; ++column)
        QCOMPARE(cells->cellText(0, column), first.at(column));
    QCOMPARE(cells->cellText(2, 1), QStringLiteral("EVEN260415-081630"));
    QCOMPARE(cells->cellText(2, 4), QStringLiteral("衝撃検知"));
    QVERIFY(cells->cellText(0, 3).endsWith(QLatin1String("MB")));
    QCOMPARE(cells->cellText(17, 1), QString());
}

void TestVwFrameList::typeButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("rows");

    QTest::newRow("normal") << "type_normal" << 10;
    QTest::newRow("event") << "type_event" << 2;
    QTest::newRow("manual") << "type_manual" << 2;
    QTest::newRow("parking") << "type_park" << 3;
    QTest::newRow("all") << "type_all" << 17;
}

void TestVwFrameList::typeButtons()
{
    QFETCH(QString, button);
    QFETCH(int, rows);

    auto *pressed = m_panel->findChild<HxButton *>(button);
    QVERIFY(pressed);
    QTest::mouseClick(pressed, Qt::LeftButton);
    for (HxButton *other : qAsConst(m_panel->typeButtons))
        QCOMPARE(other->isChecked(), other == pressed);
    QCOMPARE(m_list->visibleItems().size(), rows);
    QCOMPARE(m_table->rowCount(), rows);
    for (const VwVideoItemPtr &item : m_list->visibleItems())
        QVERIFY(VwVideoFileList::groupOf(item->type) & pressed->typeMask());
}

void TestVwFrameList::idleCommands()
{
    m_list->setCurrentItem(visible(1));
    m_player->onUserStop();
    QCOMPARE(m_list->currentItem(), nullptr);

    // Nothing plays: Next and Previous move the cursor only.
    const int last = m_table->rowCount() - 1;
    m_table->selectRow(last);
    m_table->onNext();
    QCOMPARE(m_table->selectedRow(), 0);
    m_table->onPrevious();
    QCOMPARE(m_table->selectedRow(), 0);
    m_table->selectRow(3);
    m_table->onPrevious();
    QCOMPARE(m_table->selectedRow(), 2);

    // A held navigation key blocks Next, open and backup.
    m_list->setCurrentItem(visible(2));
    VwKeyEvent::instance()->pressedKey = Qt::Key_Right;
    m_table->onNext();
    m_panel->onOpen();
    m_panel->onBackup();
    VwKeyEvent::instance()->pressedKey = -1;
    QCOMPARE(m_table->selectedRow(), 2);
    QCOMPARE(m_answerer->seen, QStringList());

    // A right press and a press in the leftmost 20 pixels leave the cursor.
    QSignalSpy chosen(m_table, &VwWidgetVideoList::listSelected);
    const QPoint cell = cellCenter(5, 1);
    QTest::mouseClick(m_table->viewport(), Qt::RightButton, {}, cell);
    QTest::mouseClick(m_table->viewport(), Qt::LeftButton, {}, QPoint(10, cell.y()));
    QCOMPARE(m_table->selectedRow(), 2);
    QTest::mouseClick(m_table->viewport(), Qt::LeftButton, {}, cell);
    QCOMPARE(m_table->selectedRow(), 5);
    QCOMPARE(m_table->delegate()->selectedRow, 5);
    doubleClick(QPoint(25, cellCenter(4, 0).y()));
    QCOMPARE(m_table->selectedRow(), 4);
    QCOMPARE(chosen.count(), 0);

    // An empty group: nothing to step to.
    m_list->setGroupMask(0);
    m_table->onNext();
    m_table->onPrevious();
    QCOMPARE(m_table->selectedRow(), -1);
    m_list->setGroupMask(VwVideoFileList::GROUP_ALL);
}

void TestVwFrameList::playerCommands()
{
    doubleClick(cellCenter(2, 1));
    QVERIFY(waitLoaded([this](VwVideoItem *item) { return item == visible(2); }));
    QCOMPARE(m_list->currentItem(), visible(2));

    // The second Next comes while the first recording still loads.
    m_events.clear();
    m_table->onNext();
    m_table->onNext();
    QVERIFY(waitLoaded([this](VwVideoItem *item) { return item == visible(3); }));
    QCOMPARE(m_table->selectedRow(), 3);
    QCOMPARE(m_list->currentItem(), visible(3));
    int loads = 0;
    for (const auto &event : qAsConst(m_events))
        loads += event.first == PLAY_EVENT_LOAD;
    QCOMPARE(loads, 1);

    // Play pressed with nothing loaded starts the selected row.
    m_player->onUserStop();
    m_table->selectRow(5);
    Q_EMIT m_player->playEvent(PLAY_EVENT_NO_MEDIA, nullptr);
    QVERIFY(waitLoaded([this](VwVideoItem *item) { return item == visible(5); }));

    // No recording before the first: the list forgets the current one.
    m_list->onPlayPreviousVideo(0);
    QCOMPARE(m_list->currentItem(), nullptr);
}

void TestVwFrameList::missingFile()
{
    QVERIFY(openAndPlay(copyRecordings(QStringLiteral("two"), {QStringLiteral("Normal/NORM260415-081502"), kRecording})));
    m_player->onUserStop();
    QVERIFY(QFile::remove(visible(1)->primaryPath()));

    doubleClick(cellCenter(1, 2));
    QCOMPARE(m_answerer->seen, QStringList{"message:ファイルがありません。"});
    QCOMPARE(m_list->visibleItems().size(), 1);
    QCOMPARE(m_table->rowCount(), 1);
    QCOMPARE(m_list->currentItem(), nullptr);
}

void TestVwFrameList::drops_data()
{
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<QString>("plays");

    QTest::newRow("folder") << "Event" << "EVEN260415-081630";
    QTest::newRow("rear file of a later recording") << "Event/EVEN260415-100002R.MP4" << "EVEN260415-100002";
    QTest::newRow("text") << "" << "";
    QTest::newRow("file that is no recording") << "Normal/clip.mp4" << "";
    QTest::newRow("folder during a load") << "Manual" << "busy";
}

void TestVwFrameList::drops()
{
    QFETCH(QString, dropped);
    QFETCH(QString, plays);

    QFile(m_card + QStringLiteral("/Normal/clip.mp4")).open(QIODevice::WriteOnly);
    QMimeData mime;
    if (dropped.isEmpty())
        mime.setText(QStringLiteral("a note"));
    else
        mime.setUrls({QUrl::fromLocalFile(m_card + '/' + dropped)});
    QScopedPointer<PoolBlock> block;
    if (plays == QLatin1String("busy")) {
        block.reset(new PoolBlock);
        QVERIFY(m_panel->openFolder(m_card + QStringLiteral("/Event")));
    }

    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window, &enter);
    const bool accepted = !plays.isEmpty() && plays != QLatin1String("busy");
    QCOMPARE(enter.isAccepted(), accepted);
    if (block) {
        block->release();
        QVERIFY(waitLoaded([this](VwVideoItem *item) { return item && item == m_list->currentItem(); }));
    }
    if (!accepted)
        return;

    m_events.clear();
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window, &drop);
    QVERIFY(drop.isAccepted());
    QVERIFY(waitLoaded([plays](VwVideoItem *item) { return item && item->displayName() == plays; }));
    QCOMPARE(m_table->selectedItem()->displayName(), plays);
}

void TestVwFrameList::openWithoutRecordings()
{
    const int before = m_list->allItems().size();
    const QString empty = m_dir.filePath(QStringLiteral("empty"));
    QVERIFY(QDir().mkpath(empty));
    QVERIFY(!m_panel->openFolder(empty));
    QCOMPARE(m_answerer->seen, QStringList{"message:録画ファイルが見つかりません。"});
    QCOMPARE(m_list->allItems().size(), before);
}

void TestVwFrameList::cardRemovedDuringLoad()
{
    const QString card = copyRecordings(QStringLiteral("pulled"));

    // The scan has seen the files; the build starts after they are gone.
    PoolBlock block;
    QVERIFY(m_panel->openFolder(card));
    QVERIFY(QDir(card).removeRecursively());
    block.release();
    QTRY_COMPARE(m_answerer->seen,
                 QStringList{"message:フォルダを読み込めません。カードが取り外された可能性があります。"});
    QTest::qWait(200);
    QCOMPARE(m_answerer->seen.size(), 1);
    QCOMPARE(m_list->currentItem(), nullptr);
}

void TestVwFrameList::backupQuestions()
{
    const QString source = playCopy(QStringLiteral("questions"));
    QVERIFY(!source.isEmpty());
    const QString target = m_dir.filePath(QStringLiteral("backup one"));

    // Fresh: no question, both files copied under upper-case names.
    QVERIFY(backUp(target, {}));
    QCOMPARE(m_answerer->seen, QStringList{"folder"});
    QVERIFY(m_progress.contains(QStringLiteral("バックアップ中")));
    QCOMPARE(hxReadFile(target + '/' + kFrontCopy), hxReadFile(source + '/' + QFileInfo(kRecording).fileName() + "F.MP4"));
    QCOMPARE(hxReadFile(target + '/' + kRearCopy), hxReadFile(source + '/' + QFileInfo(kRecording).fileName() + "R.MP4"));

    // Again: asked for the front file, then the rear file, without a check box.
    m_answerer->seen.clear();
    QVERIFY(hxWriteFile(target + '/' + kFrontCopy, "old"));
    QVERIFY(hxWriteFile(target + '/' + kRearCopy, "old"));
    QVERIFY(backUp(target, {"overwrite", "skip"}));
    QCOMPARE(m_answerer->seen, QStringList({"folder", "overwrite:" + kFrontCopy, "overwrite:" + kRearCopy}));
    QVERIFY(hxReadFile(target + '/' + kFrontCopy) != "old");
    QCOMPARE(hxReadFile(target + '/' + kRearCopy), QByteArray("old"));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestVwFrameList::backupCancel()
{
    // The ways of cancelling are the dialog's own; here the cancel reaches the copy.
    QVERIFY(!playCopy(QStringLiteral("cancel")).isEmpty());
    const QString target = m_dir.filePath(QStringLiteral("cancelled"));
    // The backup thread waits at its start until the cancel has been given.
    QSemaphore gate;
    const auto hold = connect(m_list, &VwVideoFileList::backupStarted, this, [&gate] { gate.acquire(); },
                              Qt::DirectConnection);
    QDir().mkpath(target);
    m_answerer->script = QStringList{target};
    m_panel->onBackup();
    QTRY_VERIFY(VwDialogProgress::current() && VwDialogProgress::current()->isVisible());
    VwDialogProgress::current()->cancelButton()->click();
    QVERIFY(QApplication::overrideCursor());
    gate.release();
    disconnect(hold);
    QTRY_COMPARE(VwDialogProgress::current(), nullptr);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(QDir(target).entryList(QDir::Files), QStringList());
}

void TestVwFrameList::backupFailures_data()
{
    QTest::addColumn<bool>("cardPulled");
    QTest::newRow("disk full") << false;
    QTest::newRow("card pulled while asked") << true;
}

void TestVwFrameList::backupFailures()
{
    QFETCH(bool, cardPulled);

    const QString source = playCopy(cardPulled ? QStringLiteral("pulled while asked") : QStringLiteral("full"));
    QVERIFY(!source.isEmpty());
    const QString target = m_dir.filePath(cardPulled ? QStringLiteral("pulled target") : QStringLiteral("full target"));
    QVERIFY(QDir().mkpath(target));
    QVERIFY(hxWriteFile(target + '/' + kFrontCopy, "old"));
    QVERIFY(hxWriteFile(target + '/' + kRearCopy, "old"));
    if (cardPulled)
        m_answerer->onQuestion = [source] { QDir(source).removeRecursively(); };

    // A file size limit stands in for a full disk; writes fail with EFBIG.
    struct rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (!cardPulled) {
        struct rlimit limit = saved;
        limit.rlim_cur = 1000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    const bool ended = backUp(target, {"overwrite", "overwrite"});
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(ended);

    QTRY_COMPARE(m_answerer->seen.size(), 4);
    const QString report = m_answerer->seen.last();
    QVERIFY2(report.startsWith(QStringLiteral("message:次のファイルをコピーできませんでした。")), qPrintable(report));
    QVERIFY(report.contains(kFrontCopy));
    QVERIFY(report.contains(kRearCopy));
    QCOMPARE(report.contains(QStringLiteral("カードが取り外された可能性があります。")), cardPulled);
    QCOMPARE(hxReadFile(target + '/' + kFrontCopy), QByteArray("old"));
    QCOMPARE(hxReadFile(target + '/' + kRearCopy), QByteArray("old"));
    QCOMPARE(QDir(target).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestVwFrameList::backupIntoOwnFolder()
{
    const QString source = playCopy(QStringLiteral("own"));
    QVERIFY(!source.isEmpty());
    QSignalSpy started(m_list, &VwVideoFileList::backupStarted);
    m_answerer->script = QStringList{source};
    m_panel->onBackup();
    QCOMPARE(m_answerer->seen,
             QStringList({"folder", "message:録画ファイルと同じフォルダにはバックアップできません。"}));
    QThreadPool::globalInstance()->waitForDone();
    QCOMPARE(started.count(), 0);
}

void TestVwFrameList::damagedRecording()
{
    // The card's main drive cut by a power loss, beside a healthy recording.
    const QString folder = copyRecordings(QStringLiteral("damaged"),
                                          {kRecording, QStringLiteral("Normal/NORM260415-095502")});
    QVERIFY(openAndPlay(folder));
    VwVideoItem *damaged = visible(1);
    QCOMPARE(m_list->currentItem(), visible(0));
    QVERIFY(damaged->isDamaged());
    QCOMPARE(m_table->delegate()->cellText(1, VwWidgetVideoList::COLUMN_TYPE), QStringLiteral("破損"));
    m_player->onUserStop();

    // Opened, it offers a repair, repairs copies into the viewer's folder and
    // tells what was recovered; then it plays from the copies.
    doubleClick(cellCenter(1, 2));
    QVERIFY(QTest::qWaitFor([this] { return m_answerer->seen.size() == 2; }, 20000));
    QVERIFY2(m_answerer->seen.at(0).contains(QStringLiteral("NORM260415-095502 は")), qPrintable(m_answerer->seen.at(0)));
    QVERIFY2(m_answerer->seen.at(1).contains(QStringLiteral("NORM260415-095502F.MP4: 映像 3.0 秒")),
             qPrintable(m_answerer->seen.at(1)));
    QVERIFY(!damaged->isDamaged());
    QVERIFY(damaged->frontPath.startsWith(VwMovRepair::repairedFolder()));
    QCOMPARE(m_table->delegate()->cellText(1, VwWidgetVideoList::COLUMN_TYPE), QStringLiteral("常時"));

    m_events.clear();
    doubleClick(cellCenter(1, 2));
    QVERIFY(waitLoaded([damaged](VwVideoItem *item) { return item == damaged; }));
}

void TestVwFrameList::closeWhileAsked()
{
    QVERIFY(!playCopy(QStringLiteral("closing")).isEmpty());
    const QString target = m_dir.filePath(QStringLiteral("closing target"));
    QVERIFY(QDir().mkpath(target));
    QVERIFY(hxWriteFile(target + '/' + kFrontCopy, "old"));
    QVERIFY(backUp(target, {"close"}));
    QCOMPARE(m_answerer->seen, QStringList({"folder", "overwrite:" + kFrontCopy}));
    QCOMPARE(hxReadFile(target + '/' + kFrontCopy), QByteArray("old"));
    QVERIFY(!QFile::exists(target + '/' + kRearCopy));
}

HX_TEST_VIEWER_MAIN(TestVwFrameList)

#include "tst_vw_frame_list.moc"
