#pragma once

#include "vw_backup_failure.h"
#include "vw_video_item_ptr.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <atomic>
#include <condition_variable>
#include <mutex>

class VwVideoFileBatch;
class VwVideoItem;

// The one list of recordings: scans a folder, builds a record per recording
// with its front and rear files paired, keeps them in time order, shows the
// selected type groups and answers next/previous for the player. It also
// copies the current recording to a backup folder.
//
// Threads: the lists are read and written on the list's own (interface)
// thread only. A load builds its records on a pool thread into a batch of its
// own and hands the finished batch to the interface thread, which swaps it in.
// A backup runs on a pool thread and meets the interface thread only through
// the question protocol below.
//
// Ownership: the list holds a VwVideoItemPtr to each record it lists. Records
// dropped by a new load or by removeItem() are destroyed once no other
// reference remains; sharedItem() gives a reference that outlives the list's.
// Signals carry plain pointers, valid while the list still lists the record.
class VwVideoFileList : public QObject
{
    Q_OBJECT

public:
    enum GroupMask {
        GROUP_NORMAL = 1,
        GROUP_EVENT = 2,
        GROUP_PARKING = 4,
        GROUP_MANUAL = 8,
        GROUP_ALL = 15,
    };

    enum BackupState {
        BACKUP_ASK = 1,
        BACKUP_SKIP = 2,
        BACKUP_OVERWRITE = 4,
        BACKUP_CANCEL = 8,
        BACKUP_APPLY_TO_ALL = 16,
    };

    // The program's list. Other instances exist only in tests.
    static VwVideoFileList *instance();

    explicit VwVideoFileList(QObject *parent = nullptr);
    ~VwVideoFileList() override;

    // Start times of scanned files by path, so that a load need not decode
    // the names again (building a local time is the costliest step of both).
    using StartTimes = QHash<QString, QDateTime>;

    // Recording files under dir, at most five folder levels down. Folders
    // that could not be read are added to unreadableFolders when it is given.
    static void collectFiles(const QString &dir, QList<QUrl> *out, int depth,
                             StartTimes *times = nullptr, int *unreadableFolders = nullptr);
    // Scans the folder and starts building its list on the global pool.
    // False when it holds no recording or a load is still running; the list
    // is then left as it was.
    bool loadFolder(const QString &path);
    // Builds the list from the scanned files. Runs on a pool thread (or the
    // list's own thread); the result is published on the list's thread.
    void load(const QList<QUrl> &urls, const StartTimes &times = {});
    bool isLoading() const { return m_loading; }

    bool addFile(VwVideoFileBatch &batch, const QString &path, const QDateTime *dateTime,
                 int type) const;
    // Attaches the other camera's file when it lies in the same folder; a
    // batch, when given, keeps the folder listings of one load.
    bool findPartner(VwVideoItem *item, VwVideoFileBatch *batch = nullptr) const;
    static int groupOf(int type);

    const QList<VwVideoItemPtr> &allItems() const { return m_allItems; }
    const QList<VwVideoItemPtr> &visibleItems() const { return m_visibleItems; }
    int groupMask() const { return m_groupMask; }
    void setGroupMask(int mask);
    void applyGroupMask();

    VwVideoItem *currentItem() const { return m_currentItem.data(); }
    // Only a record of this list can become current; anything else clears it.
    void setCurrentItem(VwVideoItem *item);
    int currentIndex() const;
    VwVideoItemPtr sharedItem(const VwVideoItem *item) const;

    bool adjacentItem(bool forward, VwVideoItem **out, int fromIndex) const;
    VwVideoItem *adjacentItem(bool forward) const;
    bool hasAdjacent(bool forward) const;
    int removeItem(VwVideoItem *item);

    // The records a backup started now would copy: the current record when
    // it is visible. Taken on the list's thread when the backup is created.
    QList<VwVideoItemPtr> backupSelection() const;
    void backup(const QString &folder, const QList<VwVideoItemPtr> &selection);
    bool copyWithConflictCheck(const QString &target, const QString &source, int remaining);

    // The interface side of the question protocol. After backupPaused(true)
    // the interface reads conflictName() and remainingCount(), asks the user
    // and hands the answer to answerBackup(): the decision word of the
    // overwrite dialog, or 0 when it was cancelled. cancelBackup() stops a
    // running backup after the file being copied, or answers a pending
    // question with cancel.
    void answerBackup(int decision);
    void cancelBackup();
    int backupState() const { return m_backupState.loadAcquire(); }
    QString conflictName() const;
    int remainingCount() const;
    // The files that could not be copied by the last backup, complete once
    // backupEnd() has been sent.
    QList<VwBackupFailure> backupFailures() const;

public Q_SLOTS:
    void onPlayNextVideo(int fromIndex);
    void onPlayPreviousVideo(int fromIndex);

Q_SIGNALS:
    void listUpdateStarted(bool bLoading);
    void listUpdateEnd(bool bLoading);
    void updateProgress(int value);
    void playItemFound(VwVideoItem *item, int old);
    void playNoMoreItem();
    void backupStarted();
    void backupPaused(bool bPaused);
    void backupEnd();
    // The scan met folders whose recordings cannot be opened: their names
    // are bytes that are no text in the system's file name encoding.
    void foldersUnreadable(int count);

private:
    static void collectFilesIn(const QString &dir, const QString &root, QList<QUrl> *out,
                               int depth, StartTimes *times, int *unreadableFolders);
    void publishPending();
    void publish(const QList<VwVideoItemPtr> &items);
    void finishEmptyLoad();
    void step(bool forward, int fromIndex);
    // Asks about an existing copy when the decision is open; true when it is to be replaced.
    bool mayReplace(const QString &source, const QString &target, int remaining);
    bool copyFile(const QString &source, const QString &target, bool replace, int remaining);
    void addFailure(const QString &source, const QString &target, const QString &error);
    void resetBackupDecision();

    QList<VwVideoItemPtr> m_allItems;
    QList<VwVideoItemPtr> m_visibleItems;
    int m_groupMask = GROUP_NORMAL | GROUP_EVENT;
    VwVideoItemPtr m_currentItem;
    std::atomic<bool> m_loading{false};
    // A finished load waiting to be swapped in on the list's thread.
    std::mutex m_pendingMutex;
    QList<VwVideoItemPtr> m_pendingItems;

    // Guards the question protocol and the texts the interface shows with
    // the question; the decision word is also readable without the lock.
    // Standard rather than Qt primitives: ThreadSanitizer follows these
    // through the C library, whereas Qt's own wait inside the Qt library is
    // hidden from it and every check of this protocol would be a guess.
    mutable std::mutex backupMutex;
    std::condition_variable backupAnswered;
    QAtomicInt m_backupState = BACKUP_ASK;
    bool m_questionPending = false;
    QString m_conflictName;
    int m_remainingCount = 0;
    QList<VwBackupFailure> m_backupFailures;
};
