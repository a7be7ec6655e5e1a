#pragma once

#include "vw_backup_failure.h"
#include "vw_mov_repair.h"
#include "vw_widget_base.h"

#include <QList>
#include <QPointer>

#include <atomic>
#include <memory>

class HxButton;
class QLabel;
class QMimeData;
class QShortcut;
class QVBoxLayout;
class VwDialogOverwrite;
class VwPlayer;
class VwVideoFileList;
class VwVideoItem;
class VwWidgetVideoList;

// The file list panel: the list title with the backup button, the five
// type-filter buttons and the recording table. It opens folders (the open
// button, a folder handed over at start, drops on the main window) and backs
// the current recording up; it owns no recordings but drives the recording
// list and the player.
class VwFrameList : public VwWidgetBase
{
    Q_OBJECT

public:
    // The program's panel, made by the main window on first use.
    static VwFrameList *instance(QWidget *parent = nullptr);

    // Drives the program's list and player unless others are given.
    explicit VwFrameList(QWidget *parent = nullptr, VwVideoFileList *list = nullptr,
                         VwPlayer *player = nullptr);

    // A load or a backup runs: nothing else may start.
    bool isBusy() const;
    // The local folder or recording file a drop would open, or empty when
    // the drop is to be refused.
    static QString openablePath(const QMimeData *mime);
    // The report of a backup that could not copy everything: each file with
    // its reason, and a hint when the recordings' folder has gone away.
    static QString backupFailureText(const QList<VwBackupFailure> &failures);
    // What a repair recovered from each file and where the copies are.
    static QString repairResultText(const QList<VwMovRepair::Result> &results, const QString &folder);

    QList<HxButton *> typeButtons;
    HxButton *normalButton = nullptr;
    HxButton *eventButton = nullptr;
    HxButton *allButton = nullptr;
    HxButton *parkButton = nullptr;
    HxButton *manualButton = nullptr;
    VwWidgetVideoList *table = nullptr;
    HxButton *backupButton = nullptr;
    QVBoxLayout *layout = nullptr;
    QLabel *titleLabel = nullptr;
    QShortcut *backupShortcut = nullptr;

public Q_SLOTS:
    void onToggleGroup();
    void onOpen();
    void onBackup();
    void onListUpdate(bool bLoading);
    void onBackupStarted();
    void onBackupEnded();
    void onBackupPaused(bool bPaused);
    void onAppEvent(VwApp::Event event, int param) override;
    // Asks whether to repair a recording that a power loss cut off, repairs
    // copies of its damaged files on the pool and then plays it from them.
    void onRepair(VwVideoItem *item);
    // Every way of opening a card ends here. A recording file opens its
    // folder and plays that recording rather than the first. False when
    // nothing was started.
    bool openFolder(const QString &path);

private:
    HxButton *addTypeButton(QWidget *row, const QString &name, int mask);
    // Shown once the current signal has been handled, so that no dialog
    // runs inside the list's own signals.
    void showMessageLater(const char *japanese, const char *english);
    void showMessage(const char *japanese, const char *english);
    void showNotice(const QString &message);

    VwVideoFileList *m_list = nullptr;
    VwPlayer *m_player = nullptr;
    // The folder and the recording file of the load this panel started.
    QString m_openedFolder;
    QString m_playFile;
    bool m_backupRunning = false;
    bool m_repairRunning = false;
    // Set to stop the repair that runs.
    std::shared_ptr<std::atomic<bool>> m_repairCancel;
    bool m_closing = false;
    QPointer<VwDialogOverwrite> m_question;
};
