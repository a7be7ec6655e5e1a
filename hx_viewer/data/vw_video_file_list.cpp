#include "vw_video_file_list.h"

#include "hx_data_log.h"
#include "vw_mov_repair.h"
#include "vw_card_file.h"
#include "vw_play_loading.h"
#include "vw_recording_repair.h"
#include "vw_settings.h"
#include "vw_video_file_batch.h"
#include "vw_video_file_list_loader.h"
#include "vw_video_item.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <QThreadPool>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kMaxDepth = 5;
constexpr int kProgressMax = 364;
constexpr qint64 kCopyChunk = 1024 * 1024;

// Key under which the two files of one recording meet: the base name without
// its camera letter, upper-cased, so that differently cased names of one
// recording still pair up.
QString batchKey(const QString &path)
{
    return VwVideoItem::pairKey(QFileInfo(path).fileName().toUpper());
}

// In whole numbers: with doubles, i / n * 364 falls just short of an integer
// for some i and the bar would repeat one value and skip the next.
int progressOf(qint64 done, qint64 total)
{
    return int(done * kProgressMax / total);
}

// Descriptor of a new empty file beside target, made by this call and by no
// one else (never a name planted as a link); -1 with the reason in error.
int temporaryBeside(const QString &target, QString *path, QString *error)
{
    const QFileInfo targetInfo(target);
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        *path = targetInfo.dir().filePath(
            QStringLiteral(".%1.%2.part")
                .arg(targetInfo.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        fd = ::open(QFile::encodeName(*path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return fd;
}

// Gives the finished copy the target's name: 0 or the errno. The name itself
// is replaced, so a link under it is replaced too, never written through.
// Without replace an existing name is refused (EEXIST) at the moment of the
// rename, not at an earlier check.
int publishCopy(const QString &temporary, const QString &target, bool replace)
{
    const QByteArray from = QFile::encodeName(temporary);
    const QByteArray to = QFile::encodeName(target);
    if (replace)
        return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without that rename: a hard link refuses an existing name too.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno == EEXIST || (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS))
        return errno;
    // Neither (FAT): the check comes as late as it can.
    struct stat status;
    if (::lstat(to.constData(), &status) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

bool resolvesInside(const QString &path, const QString &root)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return true;
    return info.canonicalFilePath().startsWith(root + QLatin1Char('/'));
}

// Subfolders whose names are bytes that the file name encoding cannot turn
// into text. Qt leaves them out of its listings, so they are counted here
// from the system's own listing: their recordings cannot be opened.
int undecodableFolders(const QString &dir)
{
    DIR *stream = ::opendir(QFile::encodeName(dir).constData());
    if (!stream)
        return 0;
    int count = 0;
    while (const dirent *entry = ::readdir(stream)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat status;
        const bool folder = entry->d_type == DT_DIR
            || (entry->d_type == DT_UNKNOWN
                && ::fstatat(::dirfd(stream), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0
                && S_ISDIR(status.st_mode));
        if (!folder)
            continue;
        if (QFile::encodeName(QFile::decodeName(name)) != name)
            ++count;
    }
    ::closedir(stream);
    return count;
}
} // namespace

VwVideoFileList *VwVideoFileList::instance()
{
    static VwVideoFileList *list = new VwVideoFileList;
    return list;
}

VwVideoFileList::VwVideoFileList(QObject *parent)
    : QObject(parent)
{
}

VwVideoFileList::~VwVideoFileList()
{
    // Only lists made for a while (tests) end; the program's list lives as
    // long as the process. A backup may be waiting for an answer that will
    // never come now, and no pool job may outlive the list it works on.
    cancelBackup();
    QThreadPool::globalInstance()->waitForDone();
}

void VwVideoFileList::collectFiles(const QString &dir, QList<QUrl> *out, int depth,
                                   StartTimes *times, int *unreadableFolders)
{
    if (!out)
        return;
    const QString root = QFileInfo(dir).canonicalFilePath();
    if (!root.isEmpty())
        collectFilesIn(dir, root, out, depth, times, unreadableFolders);
}

// Linked folders are not followed: links to "." would multiply the walk
// beyond measure, and a link to a folder elsewhere would list (and back up)
// its recordings as if they lay inside the opened folder. A linked file is
// taken when it resolves inside the opened folder.
void VwVideoFileList::collectFilesIn(const QString &dir, const QString &root, QList<QUrl> *out,
                                     int depth, StartTimes *times, int *unreadableFolders)
{
    const QDir folder(dir);
    if (depth < kMaxDepth) {
        const QStringList subfolders =
            folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
        for (const QString &name : subfolders) {
            collectFilesIn(QDir::cleanPath(dir + QLatin1Char('/') + name), root, out, depth + 1,
                           times, unreadableFolders);
        }
        if (unreadableFolders)
            *unreadableFolders += undecodableFolders(dir);
    }
    static const QStringList filters{QStringLiteral("*.MOV"), QStringLiteral("*.MP4")};
    const QStringList files = folder.entryList(filters, QDir::Files);
    // The other camera's file of a recording accepted here carries the same
    // type and time in its name, so its name need not be decoded again.
    QHash<QString, QDateTime> accepted;
    for (const QString &name : files) {
        const QString path = QDir::cleanPath(dir + QLatin1Char('/') + name);
        if (!resolvesInside(path, root))
            continue;
        const QString key = batchKey(path);
        QDateTime dateTime;
        const auto partner = accepted.constFind(key);
        if (partner != accepted.constEnd()
            && !VwVideoItem::parseRecordingName(path, nullptr).isEmpty()) {
            dateTime = *partner;
        } else if (VwVideoItem::recordingTypeAndTime(path, &dateTime) != VwVideoItem::TYPE_NONE) {
            accepted.insert(key, dateTime);
        } else {
            continue;
        }
        out->append(QUrl::fromLocalFile(path));
        if (times)
            times->insert(path, dateTime);
    }
}

bool VwVideoFileList::loadFolder(const QString &path)
{
    if (m_loading) {
        qCDebug(lcHxData) << "VwVideoFileList::loadFolder" << "a load is still running";
        return false;
    }
    QList<QUrl> urls;
    StartTimes times;
    int unreadable = 0;
    collectFiles(path, &urls, 0, &times, &unreadable);
    if (unreadable > 0) {
        qCWarning(lcHxData) << "VwVideoFileList::loadFolder" << unreadable
                            << "folders cannot be read: their names are not text";
        Q_EMIT foldersUnreadable(unreadable);
    }
    qCDebug(lcHxData) << "VwVideoFileList::loadFolder" << path << urls.size();
    if (urls.isEmpty())
        return false;
    VwSettings::instance()->setRecentPath(path);
    m_loading = true;
    QThreadPool::globalInstance()->start(new VwVideoFileListLoader(urls, this, times), 5);
    return true;
}

void VwVideoFileList::load(const QList<QUrl> &urls, const StartTimes &times)
{
    m_loading = true;
    Q_EMIT listUpdateStarted(true);

    const bool onOwnThread = QThread::currentThread() == thread();
    if (urls.isEmpty()) {
        if (onOwnThread)
            finishEmptyLoad();
        else
            QMetaObject::invokeMethod(this, [this] { finishEmptyLoad(); }, Qt::QueuedConnection);
        return;
    }

    VwVideoFileBatch batch;
    batch.setScannedFiles(urls);
    const int count = urls.size();
    int lastProgress = -1;
    for (int i = 0; i < count; ++i) {
        const int progress = progressOf(i + 1, count);
        if (progress != lastProgress) {
            lastProgress = progress;
            Q_EMIT updateProgress(progress);
        }
        const QString path = urls.at(i).toLocalFile();
        // The partner of a listed recording needs no name decoding at all.
        if (batch.containsKey(batchKey(path)))
            continue;
        QDateTime dateTime;
        int type = VwVideoItem::TYPE_NONE;
        const auto known = times.constFind(path);
        if (known != times.constEnd()) {
            dateTime = *known;
            VwVideoItem::parseRecordingName(path, &type);
        } else {
            type = VwVideoItem::recordingTypeAndTime(path, &dateTime);
        }
        if (type != VwVideoItem::TYPE_NONE)
            addFile(batch, path, &dateTime, type);
    }

    // Wall-clock order, as the names give it; equal times put the lower type first.
    std::sort(batch.items.begin(), batch.items.end(),
              [](const VwVideoItemPtr &a, const VwVideoItemPtr &b) {
                  const QDate dateA = a->dateTime.date();
                  const QDate dateB = b->dateTime.date();
                  if (dateA != dateB)
                      return dateA < dateB;
                  const QTime timeA = a->dateTime.time();
                  const QTime timeB = b->dateTime.time();
                  if (timeA != timeB)
                      return timeA < timeB;
                  return a->type < b->type;
              });
    qCDebug(lcHxData) << "VwVideoFileList::load" << count << "files" << batch.items.size()
                      << "recordings";

    {
        // Handed over under a lock: whatever this thread wrote into the
        // records is then visible to the list's thread.
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        m_pendingItems = std::move(batch.items);
    }
    if (onOwnThread)
        publishPending();
    else
        QMetaObject::invokeMethod(this, &VwVideoFileList::publishPending, Qt::QueuedConnection);
}

void VwVideoFileList::publishPending()
{
    QList<VwVideoItemPtr> items;
    {
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        items.swap(m_pendingItems);
    }
    publish(items);
}

void VwVideoFileList::publish(const QList<VwVideoItemPtr> &items)
{
    m_allItems = items;
    m_groupMask = GROUP_ALL;
    applyGroupMask();
    m_loading = false;
    Q_EMIT listUpdateEnd(true);
    for (const VwVideoItemPtr &item : qAsConst(m_visibleItems)) {
        if (!item->isDamaged()) {
            Q_EMIT playItemFound(item.data(), currentIndex());
            break;
        }
    }
}

void VwVideoFileList::finishEmptyLoad()
{
    m_loading = false;
    Q_EMIT listUpdateEnd(true);
}

bool VwVideoFileList::addFile(VwVideoFileBatch &batch, const QString &path,
                              const QDateTime *dateTime, int type) const
{
    const QString cleanPath = QDir::cleanPath(path);
    const bool isRear = QFileInfo(cleanPath).baseName().endsWith(QLatin1Char('R'), Qt::CaseInsensitive);
    const QString key = batchKey(cleanPath);
    // The partner was attached when its recording was added.
    if (batch.containsKey(key))
        return false;

    VwVideoItemPtr item(new VwVideoItem(cleanPath, isRear, dateTime));
    // A damaged recording has no duration but is listed, to be repaired.
    if (item->durationMs <= VwVideoItem::kMinDurationMs && !item->isDamaged())
        return false;
    item->type = type;
    if (findPartner(item.data(), &batch) && !(isRear ? item->checkFront() : item->checkRear())
        && !item->isDamaged())
        return true;
    if (item->isDamaged())
        VwRecordingRepair::useRepairedCopies(item.data(), VwMovRepair::repairedFolder());
    // Built here, used and destroyed on the list's thread.
    item->moveToThread(thread());
    batch.append(item, key);
    return true;
}

bool VwVideoFileList::findPartner(VwVideoItem *item, VwVideoFileBatch *batch) const
{
    if (!item)
        return false;
    VwVideoFileBatch ownBatch;
    if (!batch)
        batch = &ownBatch;
    const QFileInfo info(item->primaryPath());
    const QString baseName = info.baseName();
    if (baseName.isEmpty())
        return false;
    const bool isRear = baseName.endsWith(QLatin1Char('R'), Qt::CaseInsensitive);
    // Only an .mp4 partner is sought: a .MOV recording lists its first file.
    const QString name = baseName.chopped(1) + (isRear ? QStringLiteral("F.mp4") : QStringLiteral("R.mp4"));
    const QString partner = batch->findFile(info.path(), name);
    if (partner.isEmpty())
        return false;
    if (isRear)
        item->frontPath = partner;
    else
        item->rearPath = partner;
    return true;
}

int VwVideoFileList::groupOf(int type)
{
    switch (type) {
    case VwVideoItem::TYPE_EVENT:
        return GROUP_EVENT;
    case VwVideoItem::TYPE_MANUAL:
        return GROUP_MANUAL;
    case VwVideoItem::TYPE_PARKING:
    case VwVideoItem::TYPE_PARKING_EVENT:
        return GROUP_PARKING;
    default:
        return GROUP_NORMAL;
    }
}

void VwVideoFileList::setGroupMask(int mask)
{
    m_groupMask = mask;
    applyGroupMask();
}

void VwVideoFileList::applyGroupMask()
{
    Q_EMIT listUpdateStarted(false);
    m_visibleItems.clear();
    for (const VwVideoItemPtr &item : qAsConst(m_allItems)) {
        item->checked = false;
        const int bit = groupOf(item->type);
        if ((m_groupMask & bit) == bit)
            m_visibleItems.append(item);
    }
    m_currentItem.reset();
    Q_EMIT listUpdateEnd(false);
}

void VwVideoFileList::setCurrentItem(VwVideoItem *item)
{
    m_currentItem = sharedItem(item);
}

int VwVideoFileList::currentIndex() const
{
    if (!m_currentItem)
        return -1;
    for (int i = 0; i < m_visibleItems.size(); ++i) {
        if (m_visibleItems.at(i) == m_currentItem)
            return i;
    }
    return -1;
}

VwVideoItemPtr VwVideoFileList::sharedItem(const VwVideoItem *item) const
{
    if (!item)
        return {};
    if (m_currentItem.data() == item)
        return m_currentItem;
    for (const VwVideoItemPtr &listed : m_allItems) {
        if (listed.data() == item)
            return listed;
    }
    return {};
}

bool VwVideoFileList::adjacentItem(bool forward, VwVideoItem **out, int fromIndex) const
{
    if (out)
        *out = nullptr;
    if (fromIndex == -1 && !m_currentItem)
        return false;
    const int index = fromIndex != -1 ? fromIndex : currentIndex();
    int target = forward ? index + 1 : index - 1;
    if (target < 0 || m_visibleItems.isEmpty())
        return false;
    // A damaged recording is repaired, not played: the steps pass over it.
    for (int steps = 0; steps < m_visibleItems.size(); ++steps, target += forward ? 1 : -1) {
        if (target >= m_visibleItems.size()) {
            // After the last recording comes the first; backwards a stale index finds nothing.
            if (!forward)
                return false;
            target = 0;
        }
        if (target < 0)
            return false;
        if (!m_visibleItems.at(target)->isDamaged()) {
            if (out)
                *out = m_visibleItems.at(target).data();
            return true;
        }
    }
    return false;
}

VwVideoItem *VwVideoFileList::adjacentItem(bool forward) const
{
    VwVideoItem *item = nullptr;
    if (m_currentItem)
        adjacentItem(forward, &item, currentIndex());
    return item;
}

bool VwVideoFileList::hasAdjacent(bool forward) const
{
    return m_currentItem && adjacentItem(forward, nullptr, currentIndex());
}

int VwVideoFileList::removeItem(VwVideoItem *item)
{
    const VwVideoItemPtr removed = sharedItem(item);
    if (!removed)
        return -1;
    const int index = m_visibleItems.indexOf(removed);
    if (index >= 0)
        m_visibleItems.removeAt(index);
    m_allItems.removeAll(removed);
    if (m_currentItem == removed)
        m_currentItem.reset();
    return index;
}

void VwVideoFileList::onPlayNextVideo(int fromIndex)
{
    step(true, fromIndex);
}

void VwVideoFileList::onPlayPreviousVideo(int fromIndex)
{
    step(false, fromIndex);
}

void VwVideoFileList::step(bool forward, int fromIndex)
{
    if (fromIndex == -1 && !m_currentItem)
        return;
    if (playLoading)
        return;
    const int old = currentIndex();
    VwVideoItem *item = nullptr;
    if (adjacentItem(forward, &item, fromIndex))
        Q_EMIT playItemFound(item, old);
    else
        Q_EMIT playNoMoreItem();
}

QList<VwVideoItemPtr> VwVideoFileList::backupSelection() const
{
    QList<VwVideoItemPtr> selection;
    for (const VwVideoItemPtr &item : m_visibleItems) {
        if (item == m_currentItem)
            selection.append(item);
    }
    return selection;
}

void VwVideoFileList::backup(const QString &folder, const QList<VwVideoItemPtr> &selection)
{
    if (selection.isEmpty())
        return;
    {
        std::lock_guard<std::mutex> lock(backupMutex);
        m_backupState.storeRelease(BACKUP_ASK);
        m_questionPending = false;
        m_conflictName.clear();
        m_remainingCount = 0;
        m_backupFailures.clear();
    }
    Q_EMIT backupStarted();
    qCDebug(lcHxData) << "VwVideoFileList::backup" << folder;

    const int total = selection.size();
    int done = 0;
    int lastProgress = -1;
    for (const VwVideoItemPtr &item : selection) {
        qCDebug(lcHxData) << "VwVideoFileList::backup" << item->primaryPath();
        QStringList sources;
        if (!item->frontPath.isEmpty())
            sources.append(item->frontPath);
        if (!item->rearPath.isEmpty())
            sources.append(item->rearPath);
        int filesDone = 0;
        for (const QString &source : qAsConst(sources)) {
            if (backupState() & BACKUP_CANCEL)
                break;
            // Only the file name is upper-cased: the folder is the user's and
            // must resolve as chosen on a file system that tells case apart.
            const QString target = QDir::cleanPath(folder + QLatin1Char('/')
                                                   + QFileInfo(source).fileName().toUpper());
            copyWithConflictCheck(target, source, total - done);
            ++filesDone;
            resetBackupDecision();
            // Progress moves with every file, so that one large recording
            // does not hold the bar at zero.
            const int progress = progressOf(qint64(done) * sources.size() + filesDone,
                                            qint64(total) * sources.size());
            if (progress != lastProgress) {
                lastProgress = progress;
                Q_EMIT updateProgress(progress);
            }
        }
        if (backupState() & BACKUP_CANCEL)
            break;
        ++done;
    }
    qCDebug(lcHxData) << "VwVideoFileList::backup" << "ended," << backupFailures().size()
                      << "failed";
    Q_EMIT backupEnd();
}

void VwVideoFileList::resetBackupDecision()
{
    // Under the lock, so that a cancel arriving now is not overwritten.
    std::lock_guard<std::mutex> lock(backupMutex);
    const int state = m_backupState.loadAcquire();
    if (!(state & (BACKUP_APPLY_TO_ALL | BACKUP_CANCEL)))
        m_backupState.storeRelease(BACKUP_ASK);
}

bool VwVideoFileList::copyWithConflictCheck(const QString &target, const QString &source,
                                            int remaining)
{
    const QFileInfo targetInfo(target);
    const bool exists = targetInfo.exists() || targetInfo.isSymLink();
    // Backing a recording up into its own folder names the recording itself:
    // there is nothing to copy, and overwriting would start by deleting it.
    if (exists && targetInfo.canonicalFilePath() == QFileInfo(source).canonicalFilePath())
        return false;
    if (exists && !mayReplace(source, target, remaining))
        return false;
    return copyFile(source, target, exists, remaining);
}

bool VwVideoFileList::mayReplace(const QString &source, const QString &target, int remaining)
{
    if (backupState() & BACKUP_ASK) {
        const QFileInfo targetInfo(target);
        QString name = targetInfo.baseName();
        QStringList parts = name.split(QLatin1Char('-'), Qt::SkipEmptyParts);
        if (parts.size() == 3) {
            parts.removeLast();
            name = parts.join(QLatin1Char('-'));
        }
        {
            std::lock_guard<std::mutex> lock(backupMutex);
            m_conflictName = name + QLatin1Char('.') + targetInfo.suffix();
            m_remainingCount = remaining;
            m_questionPending = true;
        }
        Q_EMIT backupPaused(true);
        {
            // The answer may come before this wait starts; the flag keeps it.
            std::unique_lock<std::mutex> lock(backupMutex);
            backupAnswered.wait(lock, [this] { return !m_questionPending; });
        }
        Q_EMIT backupPaused(false);
        if (backupState() & BACKUP_CANCEL)
            return false;
    }

    const int state = backupState();
    if (state & BACKUP_SKIP)
        return false;
    if (state & BACKUP_OVERWRITE)
        return true;
    addFailure(source, target, tr("The file already exists."));
    return false;
}

bool VwVideoFileList::copyFile(const QString &source, const QString &target, bool replace,
                               int remaining)
{
    QString error;
    const int fd = VwCardFile::openForReading(source, &error);
    if (fd < 0) {
        addFailure(source, target, error);
        return false;
    }
    QFile in;
    in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const qint64 expected = in.size();
    // The copy goes to a temporary file beside the target and takes the
    // target's name only once complete, so a failed copy leaves nothing under
    // that name and a failed overwrite leaves the old copy as it was.
    QString temporary;
    const int outFd = temporaryBeside(target, &temporary, &error);
    if (outFd < 0) {
        addFailure(source, target, error);
        return false;
    }
    QFile out;
    out.open(outFd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    QByteArray buffer(int(kCopyChunk), Qt::Uninitialized);
    qint64 copied = 0;
    for (;;) {
        const qint64 read = in.read(buffer.data(), kCopyChunk);
        if (read < 0) {
            addFailure(source, target, in.errorString());
            QFile::remove(temporary);
            return false;
        }
        if (read == 0)
            break;
        const qint64 written = out.write(buffer.constData(), read);
        if (written != read) {
            // A short write sets no error; it means the disk is full.
            addFailure(source, target,
                       written < 0 ? out.errorString()
                                   : tr("Only %1 of %2 bytes could be written.")
                                         .arg(copied + written)
                                         .arg(expected));
            QFile::remove(temporary);
            return false;
        }
        copied += read;
    }
    if (copied != expected) {
        addFailure(source, target,
                   tr("Copied %1 of %2 bytes.").arg(copied).arg(expected));
        QFile::remove(temporary);
        return false;
    }
    if (::fsync(out.handle()) != 0) {
        addFailure(source, target, QString::fromLocal8Bit(std::strerror(errno)));
        QFile::remove(temporary);
        return false;
    }
    out.close();

    int result = publishCopy(temporary, target, replace);
    // A file that took the name while the copy ran is asked about like one
    // that was there before.
    if (result == EEXIST && !replace) {
        if (!mayReplace(source, target, remaining)) {
            QFile::remove(temporary);
            return false;
        }
        result = publishCopy(temporary, target, true);
    }
    if (result != 0) {
        addFailure(source, target, QString::fromLocal8Bit(std::strerror(result)));
        QFile::remove(temporary);
        return false;
    }
    return true;
}

void VwVideoFileList::addFailure(const QString &source, const QString &target,
                                 const QString &error)
{
    qCWarning(lcHxData) << "VwVideoFileList::copyWithConflictCheck" << source << "->" << target
                        << error;
    std::lock_guard<std::mutex> lock(backupMutex);
    m_backupFailures.append({source, target, error});
}

void VwVideoFileList::answerBackup(int decision)
{
    std::lock_guard<std::mutex> lock(backupMutex);
    m_backupState.storeRelease(decision == 0 ? int(BACKUP_CANCEL) : decision);
    m_questionPending = false;
    backupAnswered.notify_all();
}

void VwVideoFileList::cancelBackup()
{
    std::lock_guard<std::mutex> lock(backupMutex);
    m_backupState.storeRelease(BACKUP_CANCEL);
    m_questionPending = false;
    backupAnswered.notify_all();
}

QString VwVideoFileList::conflictName() const
{
    std::lock_guard<std::mutex> lock(backupMutex);
    return m_conflictName;
}

int VwVideoFileList::remainingCount() const
{
    std::lock_guard<std::mutex> lock(backupMutex);
    return m_remainingCount;
}

QList<VwBackupFailure> VwVideoFileList::backupFailures() const
{
    std::lock_guard<std::mutex> lock(backupMutex);
    return m_backupFailures;
}
