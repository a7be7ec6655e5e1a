// The backup engine with its question protocol. The test thread stands in
// for the interface: it answers the questions the backup thread asks.

#include "hx_test_fifo.h"
#include "hx_test_files.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

using Answers = QList<int>;
Q_DECLARE_METATYPE(Answers)

namespace {
const QString kFront = QStringLiteral("norm230415-081502F.mp4");
const QString kRear = QStringLiteral("norm230415-081502R.mp4");
const QString kFrontCopy = QStringLiteral("NORM230415-081502F.MP4");
const QString kRearCopy = QStringLiteral("NORM230415-081502R.MP4");

QByteArray pattern(char seed, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(seed + i * 7 + (i >> 9));
    return bytes;
}

// The engine copies whatever the record names; plain files serve as media.
VwVideoItemPtr makeItem(const QString &front, const QString &rear)
{
    const QDateTime dateTime(QDate(2023, 4, 15), QTime(8, 15, 2));
    VwVideoItemPtr item(new VwVideoItem(front, false, &dateTime));
    item->frontPath = front;
    item->rearPath = rear;
    return item;
}

// Collects what the backup thread reports, in the order the interface sees
// it, and answers its questions from a script.
class Interface : public QObject
{
public:
    explicit Interface(VwVideoFileList *list)
        : m_list(list)
    {
        connect(list, &VwVideoFileList::backupStarted, this, [this] { events << "started"; });
        connect(list, &VwVideoFileList::backupEnd, this, [this] {
            events << "end";
            ended = true;
        });
        connect(list, &VwVideoFileList::backupPaused, this, [this](bool paused) {
            if (!paused) {
                events << "resumed";
                return;
            }
            events << QStringLiteral("asked %1 (%2)").arg(m_list->conflictName()).arg(m_list->remainingCount());
            ++questions;
            m_list->answerBackup(answers.isEmpty() ? 0 : answers.takeFirst());
        });
    }

    QStringList events;
    Answers answers;
    int questions = 0;
    bool ended = false;

private:
    VwVideoFileList *m_list;
};

} // namespace

class TestVwVideoFileListBackup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void conflicts_data();
    void conflicts();
    void cancelAfterFrontFile();
    void nameTakenDuringTheCopy_data();
    void nameTakenDuringTheCopy();
    void copyOntoItself();
    void failedCopies_data();
    void failedCopies();
    void answerBeforeWait_data();
    void answerBeforeWait();

private:
    bool runBackup(VwVideoFileList &list, Interface &ui, const QList<VwVideoItemPtr> &selection);

    QScopedPointer<QTemporaryDir> m_dir;
    QString m_source;
    QString m_target;
};

void TestVwVideoFileListBackup::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_source = m_dir->filePath(QStringLiteral("card/DCIM"));
    // Only file names are upper-cased; the folder must be taken as given.
    m_target = m_dir->filePath(QStringLiteral("Backup Folder/mixedCase"));
    QVERIFY(QDir().mkpath(m_source));
    QVERIFY(QDir().mkpath(m_target));
    QVERIFY(hxWriteFile(m_source + '/' + kFront, pattern('F', 300000)));
    QVERIFY(hxWriteFile(m_source + '/' + kRear, pattern('R', 200000)));
}

bool TestVwVideoFileListBackup::runBackup(VwVideoFileList &list, Interface &ui,
                                          const QList<VwVideoItemPtr> &selection)
{
    const QString folder = m_target;
    QThreadPool::globalInstance()->start([&list, folder, selection] { list.backup(folder, selection); }, 5);
    const bool ended = QTest::qWaitFor([&ui] { return ui.ended; }, 20000);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    return ended;
}

void TestVwVideoFileListBackup::conflicts_data()
{
    // What the backup folder holds before ("" none, "old" an earlier copy,
    // "link" a link to a file elsewhere),
    // the user's answers, and what it holds after ("new" the recording's file).
    QTest::addColumn<QString>("frontBefore");
    QTest::addColumn<QString>("rearBefore");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QString>("frontAfter");
    QTest::addColumn<QString>("rearAfter");

    const int skip = VwVideoFileList::BACKUP_SKIP;
    const int overwrite = VwVideoFileList::BACKUP_OVERWRITE;
    const int all = VwVideoFileList::BACKUP_APPLY_TO_ALL;
    QTest::newRow("fresh copy") << "" << "" << Answers{} << 0 << "new" << "new";
    QTest::newRow("overwrite then skip") << "old" << "old" << Answers{overwrite, skip} << 2 << "new" << "old";
    QTest::newRow("skip then overwrite") << "old" << "old" << Answers{skip, overwrite} << 2 << "old" << "new";
    QTest::newRow("only rear exists") << "" << "old" << Answers{overwrite} << 1 << "new" << "new";
    QTest::newRow("cancel at first question") << "old" << "" << Answers{0} << 1 << "old" << "";
    QTest::newRow("overwrite all") << "old" << "old" << Answers{overwrite | all} << 1 << "new" << "new";
    QTest::newRow("skip all") << "old" << "old" << Answers{skip | all} << 1 << "old" << "old";
    QTest::newRow("overwrite a link: the link goes, its target stays")
        << "link" << "" << Answers{overwrite} << 1 << "new" << "new";
}

void TestVwVideoFileListBackup::conflicts()
{
    QFETCH(QString, frontBefore);
    QFETCH(QString, rearBefore);
    QFETCH(Answers, answers);
    QFETCH(int, questions);
    QFETCH(QString, frontAfter);
    QFETCH(QString, rearAfter);

    const QByteArray old("an earlier copy");
    const QString elsewhere = m_dir->filePath(QStringLiteral("elsewhere.mp4"));
    QVERIFY(hxWriteFile(elsewhere, old));
    if (frontBefore == QLatin1String("link"))
        QVERIFY(QFile::link(elsewhere, m_target + '/' + kFrontCopy));
    else if (!frontBefore.isEmpty())
        QVERIFY(hxWriteFile(m_target + '/' + kFrontCopy, old));
    if (!rearBefore.isEmpty())
        QVERIFY(hxWriteFile(m_target + '/' + kRearCopy, old));

    VwVideoFileList list;
    Interface ui(&list);
    ui.answers = answers;
    QVERIFY(runBackup(list, ui, {makeItem(m_source + '/' + kFront, m_source + '/' + kRear)}));

    QCOMPARE(ui.questions, questions);
    QVERIFY(ui.answers.isEmpty());
    QCOMPARE(ui.events.first(), QStringLiteral("started"));
    QCOMPARE(ui.events.last(), QStringLiteral("end"));
    if (questions > 0) {
        // The dialog shows the name the copy would take and, with one
        // recording, no "apply to the next" choice.
        const QString firstAsked = frontBefore.isEmpty() ? kRearCopy : kFrontCopy;
        QCOMPARE(ui.events.at(1), QStringLiteral("asked %1 (1)").arg(firstAsked));
        QCOMPARE(ui.events.at(2), QStringLiteral("resumed"));
    }

    const auto expected = [&](const QString &state, const QString &source) {
        if (state == QLatin1String("new"))
            return hxReadFile(m_source + '/' + source);
        if (state == QLatin1String("old"))
            return old;
        return QByteArray("<absent>");
    };
    QCOMPARE(hxReadFile(m_target + '/' + kFrontCopy), expected(frontAfter, kFront));
    QCOMPARE(hxReadFile(m_target + '/' + kRearCopy), expected(rearAfter, kRear));
    QCOMPARE(QFileInfo(m_target + '/' + kFrontCopy).isSymLink(), frontBefore == QLatin1String("link") && frontAfter != QLatin1String("new"));
    QCOMPARE(hxReadFile(elsewhere), old);
    QVERIFY(list.backupFailures().isEmpty());
    // Nothing but the copies is left behind.
    const int copies = int(!frontAfter.isEmpty()) + int(!rearAfter.isEmpty());
    QCOMPARE(QDir(m_target).entryList(QDir::Files | QDir::Hidden).size(), copies);
}

void TestVwVideoFileListBackup::cancelAfterFrontFile()
{
    // Cancel pressed while the front file is copied: that copy completes,
    // the rear file is not started.
    VwVideoFileList list;
    Interface ui(&list);
    QList<int> progress;
    connect(&list, &VwVideoFileList::updateProgress, this, [&progress](int value) { progress << value; });
    connect(&list, &VwVideoFileList::updateProgress, &list, [&list](int value) {
        if (value < 364)
            list.cancelBackup();
    }, Qt::DirectConnection);
    QVERIFY(runBackup(list, ui, {makeItem(m_source + '/' + kFront, m_source + '/' + kRear)}));

    QCOMPARE(progress, QList<int>{182});
    QCOMPARE(ui.events, QStringList({"started", "end"}));
    QCOMPARE(hxReadFile(m_target + '/' + kFrontCopy), hxReadFile(m_source + '/' + kFront));
    QVERIFY(!QFile::exists(m_target + '/' + kRearCopy));
}

void TestVwVideoFileListBackup::nameTakenDuringTheCopy_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("skip keeps it") << int(VwVideoFileList::BACKUP_SKIP) << false;
    QTest::newRow("overwrite replaces it") << int(VwVideoFileList::BACKUP_OVERWRITE) << true;
}

void TestVwVideoFileListBackup::nameTakenDuringTheCopy()
{
    // The name is free when the copy starts and taken before it ends: the
    // user is asked then, as for a file that was there before.
    QFETCH(int, answer);
    QFETCH(bool, replaced);

    const QString front = m_source + '/' + kFront;
    QVERIFY(hxWriteFile(front, QByteArray(64 << 20, 'F')));
    const QString target = m_target + '/' + kFrontCopy;
    const QByteArray made("made during the copy");

    // Takes the name as soon as the copy's temporary file appears.
    const int watch = ::inotify_init1(IN_CLOEXEC);
    QVERIFY(::inotify_add_watch(watch, QFile::encodeName(m_target).constData(), IN_CREATE) >= 0);
    std::atomic<bool> done{false};
    std::atomic<bool> taken{false};
    std::thread taker([&] {
        pollfd poller{watch, POLLIN, 0};
        while (!done) {
            if (::poll(&poller, 1, 50) <= 0)
                continue;
            const int fd = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            taken = fd >= 0 && ::write(fd, made.constData(), size_t(made.size())) == made.size();
            ::close(fd);
            return;
        }
    });

    VwVideoFileList list;
    Interface ui(&list);
    ui.answers = {answer};
    const bool ended = runBackup(list, ui, {makeItem(front, QString())});
    done = true;
    taker.join();
    ::close(watch);
    QVERIFY(ended);
    if (!taken)
        QSKIP("the copy was done before the name could be taken");

    QCOMPARE(ui.questions, 1);
    QCOMPARE(ui.events.at(1), QStringLiteral("asked %1 (1)").arg(kFrontCopy));
    QCOMPARE(hxReadFile(target), replaced ? hxReadFile(front) : made);
    QCOMPARE(QDir(m_target).entryList(QDir::Files | QDir::Hidden), QStringList{kFrontCopy});
    QVERIFY(list.backupFailures().isEmpty());
}

void TestVwVideoFileListBackup::copyOntoItself()
{
    // The recording already lies in the backup folder under the copies'
    // names: nothing is asked, nothing fails, nothing is touched.
    const QString front = m_target + '/' + kFrontCopy;
    const QString rear = m_target + '/' + kRearCopy;
    QVERIFY(QFile::copy(m_source + '/' + kFront, front));
    QVERIFY(QFile::copy(m_source + '/' + kRear, rear));

    VwVideoFileList list;
    Interface ui(&list);
    ui.answers = {VwVideoFileList::BACKUP_OVERWRITE, VwVideoFileList::BACKUP_OVERWRITE};
    QVERIFY(runBackup(list, ui, {makeItem(front, rear)}));

    QCOMPARE(ui.questions, 0);
    QVERIFY(list.backupFailures().isEmpty());
    QCOMPARE(hxReadFile(front), hxReadFile(m_source + '/' + kFront));
    QCOMPARE(hxReadFile(rear), hxReadFile(m_source + '/' + kRear));
    QCOMPARE(QDir(m_target).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestVwVideoFileListBackup::failedCopies_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("oldCopy");

    QTest::newRow("source vanished") << "vanished" << false;
    QTest::newRow("source swapped for a pipe") << "pipe" << false;
    QTest::newRow("disk full") << "full" << false;
    QTest::newRow("disk full on overwrite") << "full" << true;
}

void TestVwVideoFileListBackup::failedCopies()
{
    // The front copy fails; the rear copy still happens, the failure is
    // reported, and the target name holds no partial file.
    QFETCH(QString, failure);
    QFETCH(bool, oldCopy);

    const QByteArray old("an earlier copy");
    if (oldCopy)
        QVERIFY(hxWriteFile(m_target + '/' + kFrontCopy, old));
    const QString front = m_source + '/' + kFront;
    VwVideoItemPtr item = makeItem(front, m_source + '/' + kRear);
    if (failure == QLatin1String("vanished"))
        QVERIFY(QFile::remove(front));
    QScopedPointer<HxTestFifo> fifo(failure == QLatin1String("pipe") ? new HxTestFifo(front) : nullptr);
    if (fifo)
        QVERIFY(fifo->isValid());

    VwVideoFileList list;
    Interface ui(&list);
    ui.answers = {VwVideoFileList::BACKUP_OVERWRITE};

    // A file size limit between the two files stands in for a full disk;
    // the write fails with EFBIG instead of ending the process.
    struct rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (failure == QLatin1String("full")) {
        struct rlimit limit = saved;
        limit.rlim_cur = 250000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    const bool ended = runBackup(list, ui, {item});
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(ended);
    QVERIFY(!fifo || !fifo->rescued());

    const QList<VwBackupFailure> failures = list.backupFailures();
    QCOMPARE(failures.size(), 1);
    QCOMPARE(failures.first().source, front);
    QCOMPARE(failures.first().target, m_target + '/' + kFrontCopy);
    QVERIFY(!failures.first().error.isEmpty());

    QCOMPARE(hxReadFile(m_target + '/' + kFrontCopy), oldCopy ? old : QByteArray("<absent>"));
    QCOMPARE(hxReadFile(m_target + '/' + kRearCopy), hxReadFile(m_source + '/' + kRear));
    QStringList expectedFiles{kRearCopy};
    if (oldCopy)
        expectedFiles.prepend(kFrontCopy);
    QCOMPARE(QDir(m_target).entryList(QDir::Files | QDir::Hidden), expectedFiles);
}

void TestVwVideoFileListBackup::answerBeforeWait_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("conflictName");

    QTest::newRow("recording") << kFrontCopy << kFrontCopy;
    QTest::newRow("three dashed parts") << "A-B-C.MP4" << "A-B.MP4";
    QTest::newRow("empty parts dropped") << "A--B-C.MP4" << "A-B.MP4";
    QTest::newRow("four parts") << "A-B-C-D.MP4" << "A-B-C-D.MP4";
}

void TestVwVideoFileListBackup::answerBeforeWait()
{
    // The answer is given from inside backupPaused(true), on the backup
    // thread itself, before the wait begins: the backup must still go on.
    QFETCH(QString, fileName);
    QFETCH(QString, conflictName);

    const QString target = m_target + '/' + fileName;
    QVERIFY(hxWriteFile(target, "old"));
    VwVideoFileList list;
    QString asked;
    int remaining = 0;
    connect(&list, &VwVideoFileList::backupPaused, &list, [&](bool paused) {
        if (!paused)
            return;
        asked = list.conflictName();
        remaining = list.remainingCount();
        list.answerBackup(VwVideoFileList::BACKUP_OVERWRITE);
    }, Qt::DirectConnection);

    QVERIFY(list.copyWithConflictCheck(target, m_source + '/' + kFront, 3));
    QCOMPARE(asked, conflictName);
    QCOMPARE(remaining, 3);
    QCOMPARE(hxReadFile(target), hxReadFile(m_source + '/' + kFront));
}

QTEST_GUILESS_MAIN(TestVwVideoFileListBackup)
#include "tst_vw_video_file_list_backup.moc"
