// The recording list on cards laid out from generated recordings: scan,
// pairing, order, groups, stepping, the update signals and who frees records.

#include "hx_test_files.h"
#include "hx_test_sandbox.h"
#include "vw_play_loading.h"
#include "vw_settings.h"
#include "vw_video_file_list.h"
#include "vw_video_file_list_backup.h"
#include "vw_video_item.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Writes what the list reports in the order the interface receives it.
class Recorder : public QObject
{
public:
    explicit Recorder(VwVideoFileList *list)
    {
        connect(list, &VwVideoFileList::listUpdateStarted, this,
                [this](bool loading) { events << QStringLiteral("started(%1)").arg(loading); });
        connect(list, &VwVideoFileList::listUpdateEnd, this, [this](bool loading) {
            events << QStringLiteral("end(%1)").arg(loading);
            if (loading)
                ++loadsEnded;
        });
        connect(list, &VwVideoFileList::updateProgress, this, [this](int value) {
            events << QStringLiteral("progress");
            progress << value;
        });
        connect(list, &VwVideoFileList::playItemFound, this, [this](VwVideoItem *item, int old) {
            events << QStringLiteral("found(%1,%2)").arg(item ? item->displayName() : QString()).arg(old);
        });
        connect(list, &VwVideoFileList::playNoMoreItem, this, [this] { events << QStringLiteral("nomore"); });
    }

    QStringList withoutProgress() const
    {
        QStringList rest = events;
        rest.removeAll(QStringLiteral("progress"));
        return rest;
    }

    void clear()
    {
        events.clear();
        progress.clear();
    }

    QStringList events;
    QList<int> progress;
    int loadsEnded = 0;
};

quint64 readBigEndian(const QByteArray &bytes, int at, int size)
{
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

void writeBigEndian(QByteArray &bytes, int at, int size, quint64 value)
{
    for (int i = size - 1; i >= 0; --i, value >>= 8)
        bytes[at + i] = char(value & 0xff);
}

// Rewrites the movie header's duration, which is where the list reads it.
bool setMovieDuration(const QString &path, quint32 ms)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    const int at = bytes.indexOf("mvhd");
    if (at < 0 || at + 36 > bytes.size())
        return false;
    const bool wide = bytes.at(at + 4) == 1;
    const int scaleAt = at + (wide ? 24 : 16);
    const quint64 scale = readBigEndian(bytes, scaleAt, 4);
    writeBigEndian(bytes, scaleAt + 4, wide ? 8 : 4, quint64(ms) * scale / 1000);
    return file.seek(0) && file.write(bytes) == bytes.size();
}

} // namespace

class TestVwVideoFileList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void sampleCard();
    void scan_data();
    void scan();
    void pairing_data();
    void pairing();
    void unreadableFolderNames();
    void signalOrder();
    void progress_data();
    void progress();
    void folderWithoutRecordings();
    void groupMask_data();
    void groupMask();
    void stepping_data();
    void stepping();
    void adjacentOfCurrent();
    void interfaceReadsDuringLoad();
    void recordsFreed();
    void removeItem();
    void backupOfCurrentRecording();

private:
    // Lays out files in a fresh folder: each entry is "relative/path=kind".
    QString layOut(const QStringList &entries);
    bool loadAndWait(VwVideoFileList &list, Recorder &recorder, const QString &folder);
    QStringList describe(const VwVideoFileList &list, const QString &root) const;

    HxTestSandbox m_sandbox;
    QTemporaryDir m_media;
    QString m_card;
    QJsonArray m_manifest;
    QString m_front;
    QString m_rear;
    QScopedPointer<QTemporaryDir> m_work;
};

void TestVwVideoFileList::initTestCase()
{
    QVERIFY(m_sandbox.isValid());
    QVERIFY(m_media.isValid());
    m_card = m_media.filePath(QStringLiteral("card"));
    const QString manifest = m_media.filePath(QStringLiteral("manifest.json"));
    HX_MAKE_CARD({"--small", "--quiet", "--manifest", manifest, m_card});
    m_manifest = QJsonDocument::fromJson(hxReadFile(manifest)).object().value(QStringLiteral("recordings")).toArray();
    QVERIFY(!m_manifest.isEmpty());

    // One plain front/rear pair of the card serves as the media that every
    // other layout below is made of.
    for (const QJsonValue &value : qAsConst(m_manifest)) {
        const QJsonObject recording = value.toObject();
        if (!recording.value(QStringLiteral("listed")).toBool())
            continue;
        const QString front = recording.value(QStringLiteral("front")).toString();
        const QString rear = recording.value(QStringLiteral("rear")).toString();
        if (front.endsWith(QLatin1String("F.MP4")) && rear.endsWith(QLatin1String("R.MP4")) && m_front.isEmpty()) {
            m_front = m_card + QLatin1Char('/') + front;
            m_rear = m_card + QLatin1Char('/') + rear;
        }
    }
    QVERIFY2(!m_front.isEmpty(), "the card holds no usable recordings");
}

void TestVwVideoFileList::init()
{
    m_work.reset(new QTemporaryDir);
    QVERIFY(m_work->isValid());
    playLoading = false;
}

void TestVwVideoFileList::cleanup()
{
    QThreadPool::globalInstance()->waitForDone();
    playLoading = false;
}

QString TestVwVideoFileList::layOut(const QStringList &entries)
{
    static int serial = 0;
    const QString root = m_work->filePath(QStringLiteral("card%1").arg(++serial));
    QDir().mkpath(root);
    for (const QString &entry : entries) {
        const QString relative = entry.section(QLatin1Char('='), 0, 0);
        const QString kind = entry.section(QLatin1Char('='), 1);
        const QString path = root + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).path());
        // "F" and "R" copy the card's pair; "R:300" a rear file whose movie
        // header says 300 ms; "L:target" a link to target; "XF" and "XR" the
        // first half of a copy, cut before its movie header as by a power loss.
        bool written = false;
        if (kind.startsWith(QLatin1String("L:"))) {
            written = QFile::link(kind.mid(2), path);
        } else if (kind.startsWith(QLatin1Char('X'))) {
            QFile copy(path);
            written = QFile::copy(kind == QLatin1String("XF") ? m_front : m_rear, path)
                && copy.resize(copy.size() / 2);
        } else
            written = QFile::copy(kind.startsWith(QLatin1Char('F')) ? m_front : m_rear, path);
        if (written && kind.size() > 2 && kind.at(1) == QLatin1Char(':') && kind.at(0) != QLatin1Char('L'))
            written = setMovieDuration(path, kind.mid(2).toUInt());
        if (!written)
            qWarning() << "could not lay out" << entry;
    }
    return root;
}

bool TestVwVideoFileList::loadAndWait(VwVideoFileList &list, Recorder &recorder, const QString &folder)
{
    const int before = recorder.loadsEnded;
    if (!list.loadFolder(folder))
        return false;
    return QTest::qWaitFor([&] { return recorder.loadsEnded > before; }, 30000);
}

// Each record as "front|rear", relative to the card's root.
QStringList TestVwVideoFileList::describe(const VwVideoFileList &list, const QString &root) const
{
    const QDir dir(root);
    QStringList records;
    for (const VwVideoItemPtr &item : list.visibleItems()) {
        records << (item->frontPath.isEmpty() ? QString() : dir.relativeFilePath(item->frontPath))
                       + QLatin1Char('|')
                       + (item->rearPath.isEmpty() ? QString() : dir.relativeFilePath(item->rearPath));
    }
    return records;
}

void TestVwVideoFileList::sampleCard()
{
    // The generator says which of its recordings the list must show, and
    // with which files; a .MOV recording shows its first file only.
    QStringList expected;
    for (const QJsonValue &value : qAsConst(m_manifest)) {
        const QJsonObject recording = value.toObject();
        if (!recording.value(QStringLiteral("listed")).toBool())
            continue;
        const QString front = recording.value(QStringLiteral("front")).toString();
        const QString rear = recording.value(QStringLiteral("rear")).toString();
        // A rear file of 300 ms or less is no recording and is not paired; a
        // damaged rear file has no length but stays, to be repaired.
        const bool paired = !front.endsWith(QLatin1String(".MOV"), Qt::CaseInsensitive)
            && (recording.value(QStringLiteral("rearDuration")).toDouble() > 0.3
                || (recording.value(QStringLiteral("damaged")).toBool() && !rear.isEmpty()));
        expected << front + QLatin1Char('|') + (paired ? rear : QString());
    }

    VwVideoFileList list;
    Recorder recorder(&list);
    QVERIFY(loadAndWait(list, recorder, m_card));
    QStringList listed = describe(list, m_card);
    QStringList sortedListed = listed;
    sortedListed.sort();
    expected.sort();
    QCOMPARE(sortedListed, expected);

    for (int i = 1; i < list.allItems().size(); ++i) {
        const VwVideoItem *before = list.allItems().at(i - 1).data();
        const VwVideoItem *after = list.allItems().at(i).data();
        QVERIFY2(before->dateTime < after->dateTime
                     || (before->dateTime == after->dateTime && before->type <= after->type),
                 qPrintable(listed.at(i)));
    }
}

void TestVwVideoFileList::scan_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("records");

    QTest::newRow("mixed-case pair")
        << QStringList{"norm230415-081502f.mp4=F", "NORM230415-081502R.MP4=R"}
        << QStringList{"norm230415-081502f.mp4|NORM230415-081502R.MP4"};
    QTest::newRow("same name in two folders, folders sorted without case")
        << QStringList{"B/PNOR230415-120000F.MP4=F", "a/PNOR230415-120000F.MP4=F"}
        << QStringList{"a/PNOR230415-120000F.MP4|"};
    QTest::newRow("subfolders before own files")
        << QStringList{"NORM230420-000000F.MP4=F", "sub/NORM230420-000000F.MP4=F", "sub/NORM230420-000000R.MP4=R"}
        << QStringList{"sub/NORM230420-000000F.MP4|sub/NORM230420-000000R.MP4"};
    QTest::newRow("linked folders are not followed")
        << QStringList{"DCIM/NORM230415-081502F.MP4=F", "DCIM/self=L:.", "DCIM/up=L:..",
                       "DCIM/out=L:../../elsewhere", "../elsewhere/NORM230415-091502F.MP4=F"}
        << QStringList{"DCIM/NORM230415-081502F.MP4|"};
    QTest::newRow("linked files only when they resolve inside")
        << QStringList{"store/clip.bin=F", "NORM230415-081502F.MP4=L:store/clip.bin",
                       "../elsewhere/clip.bin=R", "NORM230415-081502R.MP4=L:../elsewhere/clip.bin",
                       "NORM230415-091502F.MP4=L:../elsewhere/clip.bin"}
        << QStringList{"NORM230415-081502F.MP4|"};
    QTest::newRow("time order, then type")
        << QStringList{"PEVE230415-081502F.MP4=F", "EVEN230415-081502F.MP4=F", "NORM230415-081502F.MP4=F",
                       "PARK230415-081501F.MP4=F", "MANU230414-235959F.MP4=F", "NORM230231-120000F.MP4=F",
                       "NORM230303-110000F.MP4=F"}
        << QStringList{"NORM230303-110000F.MP4|", "NORM230231-120000F.MP4|", "MANU230414-235959F.MP4|",
                       "PARK230415-081501F.MP4|", "NORM230415-081502F.MP4|", "EVEN230415-081502F.MP4|",
                       "PEVE230415-081502F.MP4|"};
}

void TestVwVideoFileList::scan()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, records);

    const QString root = layOut(files);
    VwVideoFileList list;
    Recorder recorder(&list);
    QVERIFY(loadAndWait(list, recorder, root));
    QCOMPARE(describe(list, root), records);
    QCOMPARE(list.allItems().size(), records.size());
    QCOMPARE(VwSettings::instance()->recentPath(), root);
    for (const VwVideoItemPtr &item : list.allItems()) {
        QVERIFY(item->durationMs > VwVideoItem::kMinDurationMs);
        QCOMPARE(item->thread(), list.thread());
    }
}

void TestVwVideoFileList::pairing_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("record");
    QTest::addColumn<quint32>("durationMs");

    const QString front = QStringLiteral("NORM230419-000000F.MP4");
    const QString rear = QStringLiteral("NORM230419-000000R.MP4");
    QTest::newRow("shorter rear: the front's length")
        << QStringList{front + "=F:4000", rear + "=R:2000"} << front + '|' + rear << 4000u;
    QTest::newRow("rear of 300 ms: front only")
        << QStringList{front + "=F:4000", rear + "=R:300"} << front + '|' << 4000u;
    QTest::newRow("rear of 301 ms is kept")
        << QStringList{front + "=F:4000", rear + "=R:301"} << front + '|' + rear << 4000u;
    QTest::newRow("rear only: its own length") << QStringList{rear + "=R:2000"} << '|' + rear << 2000u;
    QTest::newRow("front of 300 ms: rear only")
        << QStringList{front + "=F:300", rear + "=R:2000"} << '|' + rear << 2000u;
    QTest::newRow("damaged rear: kept, the front's length")
        << QStringList{front + "=F:4000", rear + "=XR"} << front + '|' + rear << 4000u;
    QTest::newRow("damaged front: kept, the rear's length")
        << QStringList{front + "=XF", rear + "=R:2000"} << front + '|' + rear << 2000u;
}

void TestVwVideoFileList::pairing()
{
    QFETCH(QStringList, files);
    QFETCH(QString, record);
    QFETCH(quint32, durationMs);

    const QString root = layOut(files);
    VwVideoFileList list;
    Recorder recorder(&list);
    QVERIFY(loadAndWait(list, recorder, root));
    QCOMPARE(describe(list, root), QStringList{record});
    QCOMPARE(list.allItems().first()->durationMs, durationMs);
}

void TestVwVideoFileList::unreadableFolderNames()
{
    // Qt leaves a folder whose name is not text out of its listings; the
    // user is told how many there are.
    const QString root = layOut({"good/NORM230415-081502F.MP4=F"});
    const QByteArray bad = QFile::encodeName(root) + "/bad\xff";
    if (::mkdir(bad.constData(), 0700) != 0)
        QSKIP("this file system takes only names that are text");
    QVERIFY(::link(QFile::encodeName(m_front).constData(), (bad + "/NORM230415-091502F.MP4").constData()) == 0);

    VwVideoFileList list;
    Recorder recorder(&list);
    QSignalSpy unreadable(&list, &VwVideoFileList::foldersUnreadable);
    QVERIFY(loadAndWait(list, recorder, root));
    QCOMPARE(unreadable.count(), 1);
    QCOMPARE(unreadable.first().first().toInt(), 1);
    QCOMPARE(describe(list, root), QStringList{"good/NORM230415-081502F.MP4|"});
}

void TestVwVideoFileList::signalOrder()
{
    const QString root = layOut({"NORM230415-081502F.MP4=F", "NORM230415-081502R.MP4=R",
                                 "EVEN230415-090000F.MP4=F", "MANU230415-100000R.MP4=R"});
    VwVideoFileList list;
    QCOMPARE(list.groupMask(), 3);
    Recorder recorder(&list);
    QVERIFY(loadAndWait(list, recorder, root));

    QCOMPARE(recorder.withoutProgress(),
             QStringList({"started(1)", "started(0)", "end(0)", "end(1)", "found(NORM230415-081502,-1)"}));
    QCOMPARE(recorder.events.indexOf("started(1)"), 0);
    QCOMPARE(recorder.events.lastIndexOf("progress"), recorder.progress.size());
    QCOMPARE(recorder.progress, QList<int>({91, 182, 273, 364}));
    QCOMPARE(list.groupMask(), 15);
    QVERIFY(!list.currentItem());
}

void TestVwVideoFileList::progress_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("first");

    QTest::newRow("one") << 1 << 364;
    QTest::newRow("three") << 3 << 121;
    QTest::newRow("364") << 364 << 1;
    QTest::newRow("365") << 365 << 0;
    QTest::newRow("1000") << 1000 << 0;
}

void TestVwVideoFileList::progress()
{
    // Values only rise, never repeat, and end at 364, however many files.
    QFETCH(int, files);
    QFETCH(int, first);

    QList<QUrl> urls;
    for (int i = 0; i < files; ++i)
        urls << QUrl::fromLocalFile(m_work->filePath(QStringLiteral("NORM230415-%1F.MP4").arg(i, 6, 10, QLatin1Char('0'))));
    VwVideoFileList list;
    Recorder recorder(&list);
    list.load(urls);
    QTRY_COMPARE(recorder.loadsEnded, 1);

    QVERIFY(recorder.progress.size() <= 365);
    QCOMPARE(recorder.progress.first(), first);
    QCOMPARE(recorder.progress.last(), 364);
    for (int i = 1; i < recorder.progress.size(); ++i)
        QVERIFY(recorder.progress.at(i) > recorder.progress.at(i - 1));
    QCOMPARE(recorder.progress.size(), qMin(files, 365));
}

void TestVwVideoFileList::folderWithoutRecordings()
{
    // An empty choice leaves the list as it was and says nothing; an empty
    // list of files still frames the load, so the progress dialog closes.
    const QString root = layOut({"NORM230415-081502F.MP4=F"});
    VwVideoFileList list;
    Recorder recorder(&list);
    QVERIFY(loadAndWait(list, recorder, root));
    recorder.clear();

    QVERIFY(!list.loadFolder(layOut({"hello.MP4=F", "NORM230415-081502F.TXT=F"})));
    QCoreApplication::processEvents();
    QVERIFY(recorder.events.isEmpty());
    QCOMPARE(list.allItems().size(), 1);
    QCOMPARE(VwSettings::instance()->recentPath(), root);

    list.load({});
    QCOMPARE(recorder.events, QStringList({"started(1)", "end(1)"}));
    QCOMPARE(list.allItems().size(), 1);
}

void TestVwVideoFileList::groupMask_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<QList<int>>("types");

    QTest::newRow("normal") << 1 << QList<int>{0, 0, 0};
    QTest::newRow("parking") << 4 << QList<int>{3, 3, 4};
    QTest::newRow("normal and event") << 3 << QList<int>{0, 1, 0, 1, 0};
    QTest::newRow("all") << 15 << QList<int>{0, 1, 0, 3, 3, 4, 2, 1, 0};
    QTest::newRow("none") << 0 << QList<int>{};
}

void TestVwVideoFileList::groupMask()
{
    QFETCH(int, mask);
    QFETCH(QList<int>, types);

    const QString root = layOut({"NORM230415-080000F.MP4=F", "EVEN230415-080100F.MP4=F", "MERK230415-080200F.MP4=F",
                                 "PARK230415-080300F.MP4=F", "PNOR230415-080400F.MP4=F", "PEVE230415-080500F.MP4=F",
                                 "MANU230415-080600F.MP4=F", "EVEN230415-080700F.MP4=F", "NORM230415-080800F.MP4=F"});
    VwVideoFileList list;
    Recorder recorder(&list);
    QVERIFY(loadAndWait(list, recorder, root));
    for (const VwVideoItemPtr &item : list.allItems())
        item->checked = true;
    list.setCurrentItem(list.visibleItems().first().data());
    recorder.clear();

    list.setGroupMask(mask);
    QCOMPARE(recorder.events, QStringList({"started(0)", "end(0)"}));
    QCOMPARE(list.groupMask(), mask);
    QList<int> visibleTypes;
    for (const VwVideoItemPtr &item : list.visibleItems())
        visibleTypes << item->type;
    QCOMPARE(visibleTypes, types);
    QCOMPARE(list.allItems().size(), 9);
    for (const VwVideoItemPtr &item : list.allItems())
        QVERIFY(!item->checked);
    QVERIFY(!list.currentItem());
    QCOMPARE(list.currentIndex(), -1);
}

void TestVwVideoFileList::stepping_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("fromIndex");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<bool>("loading");
    QTest::addColumn<QString>("answer");

    // Four recordings, named by their index 0..3.
    QTest::newRow("next") << 1 << -1 << true << false << "found(2,1)";
    QTest::newRow("next wraps to the first") << 3 << -1 << true << false << "found(0,3)";
    QTest::newRow("previous") << 2 << -1 << false << false << "found(1,2)";
    QTest::newRow("nothing before the first") << 0 << -1 << false << false << "nomore";
    QTest::newRow("from a given row") << 0 << 2 << true << false << "found(3,0)";
    QTest::newRow("from a row, nothing current") << -1 << 1 << false << false << "found(0,-1)";
    QTest::newRow("stale row backwards") << -1 << 9 << false << false << "nomore";
    QTest::newRow("stale row forwards wraps") << -1 << 9 << true << false << "found(0,-1)";
    QTest::newRow("nothing current, no row") << -1 << -1 << true << false << "";
    QTest::newRow("ignored while a recording loads") << 1 << -1 << true << true << "";
    QTest::newRow("ignored while loading, from a row") << -1 << 1 << false << true << "";
}

void TestVwVideoFileList::stepping()
{
    QFETCH(int, current);
    QFETCH(int, fromIndex);
    QFETCH(bool, forward);
    QFETCH(bool, loading);
    QFETCH(QString, answer);

    const QString root = layOut({"NORM230415-080000F.MP4=F", "NORM230415-080100F.MP4=F",
                                 "NORM230415-080200F.MP4=F", "NORM230415-080300F.MP4=F"});
    VwVideoFileList list;
    Recorder recorder(&list);
    QVERIFY(loadAndWait(list, recorder, root));
    if (current >= 0)
        list.setCurrentItem(list.visibleItems().at(current).data());
    recorder.clear();
    playLoading = loading;

    if (forward)
        list.onPlayNextVideo(fromIndex);
    else
        list.onPlayPreviousVideo(fromIndex);

    QStringList expected;
    if (!answer.isEmpty()) {
        for (int i = 0; i < list.visibleItems().size(); ++i)
            answer.replace(QStringLiteral("(%1,").arg(i), QStringLiteral("(%1,").arg(list.visibleItems().at(i)->displayName()));
        expected << answer;
    }
    QCOMPARE(recorder.events, expected);
}

void TestVwVideoFileList::adjacentOfCurrent()
{
    const QString root = layOut({"NORM230415-080000F.MP4=F", "NORM230415-080100F.MP4=F", "EVEN230415-080200F.MP4=F"});
    VwVideoFileList list;
    Recorder recorder(&list);
    QVERIFY(loadAndWait(list, recorder, root));
    const QList<VwVideoItemPtr> items = list.visibleItems();

    QVERIFY(!list.hasAdjacent(true));
    QVERIFY(!list.adjacentItem(true));
    list.setCurrentItem(items.at(0).data());
    QVERIFY(list.hasAdjacent(true));
    QVERIFY(!list.hasAdjacent(false));
    QCOMPARE(list.adjacentItem(true), items.at(1).data());
    list.setCurrentItem(items.at(2).data());
    QCOMPARE(list.adjacentItem(true), items.at(0).data());
    QCOMPARE(list.adjacentItem(false), items.at(1).data());

    // Not a record of the list: nothing is current.
    VwVideoItem stranger(items.at(0)->frontPath, false, nullptr);
    list.setCurrentItem(&stranger);
    QVERIFY(!list.currentItem());
}

void TestVwVideoFileList::interfaceReadsDuringLoad()
{
    // While a load builds its records, the interface goes on reading and
    // filtering the records of the previous load; they change only at the
    // end of the load, on this thread.
    VwVideoFileList list;
    Recorder recorder(&list);
    QVERIFY(loadAndWait(list, recorder, layOut({"NORM230415-080000F.MP4=F", "EVEN230415-080100F.MP4=F"})));
    const QList<VwVideoItemPtr> before = list.allItems();

    QStringList next;
    for (int i = 0; i < 12; ++i)
        next << QStringLiteral("NORM230416-%1F.MP4=F").arg(i * 100, 6, 10, QLatin1Char('0'));
    QVERIFY(list.loadFolder(layOut(next)));
    int reads = 0;
    while (list.isLoading()) {
        QCOMPARE(list.allItems(), before);
        list.setGroupMask(reads % 2 ? VwVideoFileList::GROUP_ALL : VwVideoFileList::GROUP_EVENT);
        for (const VwVideoItemPtr &item : list.visibleItems())
            QVERIFY(!item->displayName().isEmpty());
        ++reads;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QCOMPARE(list.allItems().size(), 12);
    QCOMPARE(list.groupMask(), 15);
    QCOMPARE(list.visibleItems().size(), 12);
}

void TestVwVideoFileList::recordsFreed()
{
    // Records leave with the load that replaces them, except the one that
    // someone still holds, which goes when they let it go.
    VwVideoFileList list;
    Recorder recorder(&list);
    QVERIFY(loadAndWait(list, recorder, layOut({"NORM230415-080000F.MP4=F", "NORM230415-080000R.MP4=R",
                                                 "EVEN230415-080100F.MP4=F"})));
    QList<QPointer<VwVideoItem>> first;
    for (const VwVideoItemPtr &item : list.allItems())
        first << item.data();
    VwVideoItemPtr playing = list.sharedItem(first.at(1));
    QCOMPARE(playing.data(), first.at(1).data());
    list.setCurrentItem(first.at(0));

    // A rebuild hides records but keeps them.
    list.setGroupMask(0);
    QVERIFY(first.at(0) && first.at(1));

    QVERIFY(loadAndWait(list, recorder, layOut({"MANU230415-090000F.MP4=F"})));
    QCOMPARE(list.allItems().size(), 1);
    QVERIFY(!first.at(0));
    QVERIFY(first.at(1));
    QCOMPARE(playing->type, int(VwVideoItem::TYPE_EVENT));
    playing.reset();
    QVERIFY(!first.at(1));

    // A second load waits for the first to end.
    QVERIFY(list.loadFolder(layOut({"NORM230415-100000F.MP4=F"})));
    QVERIFY(!list.loadFolder(layOut({"NORM230415-110000F.MP4=F"})));
    QTRY_VERIFY(!list.isLoading());
    QCOMPARE(list.allItems().first()->displayName(), QStringLiteral("NORM230415-100000"));
}

void TestVwVideoFileList::removeItem()
{
    VwVideoFileList list;
    Recorder recorder(&list);
    QVERIFY(loadAndWait(list, recorder, layOut({"NORM230415-080000F.MP4=F", "EVEN230415-080100F.MP4=F",
                                                 "NORM230415-080200F.MP4=F"})));
    QPointer<VwVideoItem> second = list.visibleItems().at(1).data();
    QPointer<VwVideoItem> third = list.visibleItems().at(2).data();
    list.setCurrentItem(second);

    QCOMPARE(list.removeItem(second), 1);
    QVERIFY(!second);
    QVERIFY(!list.currentItem());
    QCOMPARE(list.visibleItems().size(), 2);
    QCOMPARE(list.allItems().size(), 2);

    // A hidden record has no row, but is still taken out of the list.
    list.setGroupMask(VwVideoFileList::GROUP_EVENT);
    QCOMPARE(list.removeItem(third), -1);
    QVERIFY(!third);
    QCOMPARE(list.allItems().size(), 1);
    QCOMPARE(list.removeItem(nullptr), -1);
}

void TestVwVideoFileList::backupOfCurrentRecording()
{
    const QString root = layOut({"NORM230415-081502F.MP4=F", "NORM230415-081502R.MP4=R", "EVEN230415-090000F.MP4=F"});
    const QString target = m_work->filePath(QStringLiteral("backup"));
    QVERIFY(QDir().mkpath(target));
    VwVideoFileList list;
    Recorder recorder(&list);
    QVERIFY(loadAndWait(list, recorder, root));

    // Nothing current, or the current record filtered out: nothing to copy.
    QVERIFY(list.backupSelection().isEmpty());
    const QList<VwVideoItemPtr> items = list.allItems();
    list.setGroupMask(VwVideoFileList::GROUP_EVENT);
    list.setCurrentItem(items.first().data());
    QCOMPARE(list.currentItem(), items.first().data());
    QVERIFY(list.backupSelection().isEmpty());

    list.setGroupMask(VwVideoFileList::GROUP_ALL);
    list.setCurrentItem(list.visibleItems().first().data());
    bool ended = false;
    connect(&list, &VwVideoFileList::backupEnd, this, [&ended] { ended = true; });
    QThreadPool::globalInstance()->start(new VwVideoFileListBackup(target, &list), 5);
    QTRY_VERIFY_WITH_TIMEOUT(ended, 30000);
    QCOMPARE(QDir(target).entryList(QDir::Files),
             QStringList({"NORM230415-081502F.MP4", "NORM230415-081502R.MP4"}));
    QVERIFY(list.backupFailures().isEmpty());
}

QTEST_GUILESS_MAIN(TestVwVideoFileList)
#include "tst_vw_video_file_list.moc"
