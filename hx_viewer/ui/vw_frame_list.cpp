#include "vw_frame_list.h"

#include "hx_button.h"
#include "hx_ui_log.h"
#include "vw_dialog_overwrite.h"
#include "vw_dialog_progress.h"
#include "vw_key_event.h"
#include "vw_language.h"
#include "vw_player.h"
#include "vw_popup.h"
#include "vw_popup_message.h"
#include "vw_popup_repair.h"
#include "vw_recording_repair.h"
#include "vw_settings.h"
#include "vw_style.h"
#include "vw_video_file_list.h"
#include "vw_video_file_list_backup.h"
#include "vw_video_item.h"
#include "vw_widget_video_list.h"

#include <QBoxLayout>
#include <QDir>
#include <QFutureWatcher>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QShortcut>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QtConcurrent>

namespace {
constexpr int kTableWidth = 390;
constexpr int kPoolPriority = 5;

bool isJapanese()
{
    return VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE;
}

QString byLanguage(const char *japanese, const char *english)
{
    return QString::fromUtf8(isJapanese() ? japanese : english);
}

bool isRecordingFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toUpper();
    return (suffix == QLatin1String("MP4") || suffix == QLatin1String("MOV"))
        && VwVideoItem::recordingTypeAndTime(path) != VwVideoItem::TYPE_NONE;
}

// The same folder also when reached through a link or spelled differently.
bool isSameFolder(const QString &a, const QString &b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}
} // namespace

VwFrameList *VwFrameList::instance(QWidget *parent)
{
    static VwFrameList *panel = new VwFrameList(parent);
    return panel;
}

VwFrameList::VwFrameList(QWidget *parent, VwVideoFileList *list, VwPlayer *player)
    : VwWidgetBase(parent, true)
    , m_list(list ? list : VwVideoFileList::instance())
    , m_player(player ? player : VwPlayer::instance())
{
    applyBorderStyle(this, QStringLiteral("border_frame"), 0x666666);
    layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *titleRow = new QWidget(this);
    titleRow->setFixedHeight(26);
    auto *titleLayout = new QHBoxLayout(titleRow);
    titleLayout->setContentsMargins(0, 0, 0, 0);
    titleLayout->setSpacing(0);
    titleLabel = new QLabel(titleRow);
    titleLabel->setPixmap(QPixmap(QStringLiteral(":/image/title_list.png")));
    titleLayout->addWidget(titleLabel);
    titleLayout->addStretch();
    backupButton = HxButton::createImageButton(titleRow, titleLayout, QStringLiteral("backup"),
                                               languageText("backup"), QSize(44, 24));
    const QString englishTip = QStringLiteral("Backup");
    VwLanguage::instance()->registerText(VwLanguage::LANGUAGE_ENGLISH,
                                         VwLanguage::TEXT_KIND_TOOLTIP, backupButton, englishTip);
    if (!isJapanese())
        backupButton->setToolTip(englishTip);
    connect(backupButton, &QPushButton::clicked, this, &VwFrameList::onBackup);
    addFixedSpacer(titleLayout, 6, 0);
    layout->addWidget(titleRow);

    auto *typeRow = new QWidget(this);
    typeRow->setFixedHeight(28);
    auto *typeLayout = new QHBoxLayout(typeRow);
    typeLayout->setContentsMargins(0, 0, 0, 0);
    typeLayout->setSpacing(0);
    allButton = addTypeButton(typeRow, QStringLiteral("type_all"), VwVideoFileList::GROUP_ALL);
    normalButton = addTypeButton(typeRow, QStringLiteral("type_normal"), VwVideoFileList::GROUP_NORMAL);
    eventButton = addTypeButton(typeRow, QStringLiteral("type_event"), VwVideoFileList::GROUP_EVENT);
    manualButton = addTypeButton(typeRow, QStringLiteral("type_manual"), VwVideoFileList::GROUP_MANUAL);
    parkButton = addTypeButton(typeRow, QStringLiteral("type_park"), VwVideoFileList::GROUP_PARKING);
    layout->addWidget(typeRow);

    // Made before the connections below: at the end of a load the table has
    // rebuilt its rows before this panel looks at the result.
    table = new VwWidgetVideoList(this, m_list, m_player);
    table->setFixedWidth(kTableWidth);
    table->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    layout->addWidget(table);

    connect(m_list, &VwVideoFileList::listUpdateEnd, this, &VwFrameList::onListUpdate);
    connect(m_list, &VwVideoFileList::backupPaused, this, &VwFrameList::onBackupPaused);
    connect(m_list, &VwVideoFileList::backupStarted, this, &VwFrameList::onBackupStarted);
    connect(m_list, &VwVideoFileList::backupEnd, this, &VwFrameList::onBackupEnded);
    connect(table, &VwWidgetVideoList::repairRequested, this, &VwFrameList::onRepair);

    backupShortcut = VwWidgetVideoList::addListShortcut(QKeySequence(Qt::Key_F4), this);
    connect(backupShortcut, &QShortcut::activated, this, &VwFrameList::onBackup);
}

HxButton *VwFrameList::addTypeButton(QWidget *row, const QString &name, int mask)
{
    HxButton *button = HxButton::createCheckableImageButton(row, row->layout(), name, QString(),
                                                           QSize(78, 28));
    button->setTypeMask(mask);
    button->setEnabled(false);
    connect(button, &QPushButton::clicked, this, &VwFrameList::onToggleGroup);
    typeButtons.append(button);
    return button;
}

bool VwFrameList::isBusy() const
{
    return m_list->isLoading() || m_backupRunning || m_repairRunning;
}

QString VwFrameList::openablePath(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().isEmpty())
        return QString();
    const QUrl url = mime->urls().first();
    if (!url.isLocalFile())
        return QString();
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    if (info.isDir() || (info.isFile() && isRecordingFile(path)))
        return QDir::cleanPath(path);
    return QString();
}

void VwFrameList::onToggleGroup()
{
    auto *button = qobject_cast<HxButton *>(sender());
    if (!button || !typeButtons.contains(button))
        return;
    m_list->setGroupMask(button->typeMask());
    for (HxButton *other : qAsConst(typeButtons))
        other->setChecked(other == button);
}

void VwFrameList::onOpen()
{
    if (VwKeyEvent::instance()->isKeyHeld() || isBusy())
        return;
    const QString caption = isJapanese() ? languageText("open_message") : QStringLiteral("Open Folder");
    const QString folder = VwApp::instance()->browseFolder(VwSettings::instance()->recentPath(),
                                                           false, caption);
    if (!folder.isEmpty())
        openFolder(folder);
}

bool VwFrameList::openFolder(const QString &path)
{
    if (isBusy()) {
        qCDebug(lcHxUi) << "VwFrameList::openFolder refused while busy" << path;
        return false;
    }
    const QFileInfo info(path);
    QString folder;
    QString file;
    if (info.isDir()) {
        folder = QDir::cleanPath(QDir::fromNativeSeparators(path));
    } else if (info.isFile() && isRecordingFile(path)) {
        folder = info.absolutePath();
        file = QDir::cleanPath(info.absoluteFilePath());
    } else {
        qCDebug(lcHxUi) << "VwFrameList::openFolder not a folder or recording" << path;
        return false;
    }
    qCDebug(lcHxUi) << "VwFrameList::openFolder" << folder << file;
    m_openedFolder = folder;
    m_playFile = file;
    if (m_list->loadFolder(folder))
        return true;
    m_openedFolder.clear();
    m_playFile.clear();
    showMessage("録画ファイルが見つかりません。", "No recordings were found in this folder.");
    return false;
}

void VwFrameList::onListUpdate(bool bLoading)
{
    if (!bLoading)
        return;
    const bool any = !m_list->allItems().isEmpty();
    for (HxButton *button : qAsConst(typeButtons)) {
        button->setChecked(button == allButton);
        button->setEnabled(any);
    }

    const QString folder = m_openedFolder;
    const QString file = m_playFile;
    m_openedFolder.clear();
    m_playFile.clear();
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    if (!dir.exists() || !dir.isReadable()) {
        // The card went away during the load: every record would only report
        // its missing file.
        qCWarning(lcHxUi) << "VwFrameList::onListUpdate folder gone" << folder;
        table->replaceLoadStart(nullptr);
        showMessageLater("フォルダを読み込めません。カードが取り外された可能性があります。",
                         "The folder can no longer be read. The card may have been removed.");
        return;
    }
    if (!any) {
        showMessageLater("録画ファイルが見つかりません。", "No recordings were found in this folder.");
        return;
    }
    if (file.isEmpty())
        return;
    for (const VwVideoItemPtr &item : m_list->visibleItems()) {
        if (item->frontPath == file || item->rearPath == file) {
            table->replaceLoadStart(item.data());
            return;
        }
    }
}

void VwFrameList::onBackup()
{
    if (!m_list->currentItem() || VwKeyEvent::instance()->isKeyHeld() || isBusy())
        return;
    m_player->prepareForCapture();
    VwApp *app = VwApp::instance();
    const QString folder = app->browseFolder(app->appPath(VwApp::PATH_BACKUP), true,
                                             byLanguage("保存", "Backup AVI files"));
    if (folder.isEmpty() || isBusy())
        return;
    const QList<VwVideoItemPtr> selection = m_list->backupSelection();
    if (selection.isEmpty())
        return;
    for (const VwVideoItemPtr &item : selection) {
        for (const QString &source : {item->frontPath, item->rearPath}) {
            if (!source.isEmpty() && isSameFolder(folder, QFileInfo(source).absolutePath())) {
                showMessage("録画ファイルと同じフォルダにはバックアップできません。",
                            "Choose a folder other than the recording's own.");
                return;
            }
        }
    }
    qCDebug(lcHxUi) << "VwFrameList::onBackup" << folder;
    m_backupRunning = true;
    QThreadPool::globalInstance()->start(new VwVideoFileListBackup(folder, m_list), kPoolPriority);
}

void VwFrameList::onBackupStarted()
{
    VwDialogProgress *progress = VwDialogProgress::showProgress(
        byLanguage("バックアップ中", "Backup files..."), true, m_list);
    connect(progress, &VwDialogProgress::cancelled, m_list, &VwVideoFileList::cancelBackup);
}

void VwFrameList::onBackupPaused(bool bPaused)
{
    VwDialogProgress *progress = VwDialogProgress::current();
    if (!bPaused) {
        if (progress && !m_closing)
            progress->show();
        return;
    }
    if (m_closing) {
        m_list->answerBackup(0);
        return;
    }
    if (progress)
        progress->hide();
    VwDialogOverwrite dialog(VwApp::instance()->mainWindow, m_list->conflictName(),
                             m_list->remainingCount());
    m_question = &dialog;
    const int decision = dialog.exec();
    qCDebug(lcHxUi) << "VwFrameList::onBackupPaused answer" << decision;
    m_list->answerBackup(decision);
}

void VwFrameList::onBackupEnded()
{
    m_backupRunning = false;
    VwDialogProgress::closeProgress();
    const QList<VwBackupFailure> failures = m_list->backupFailures();
    if (!m_closing && !failures.isEmpty())
        showNotice(backupFailureText(failures));
}

QString VwFrameList::backupFailureText(const QList<VwBackupFailure> &failures)
{
    QStringList lines{byLanguage("次のファイルをコピーできませんでした。", "These files could not be copied:")};
    bool sourceGone = false;
    for (const VwBackupFailure &failure : failures) {
        const QFileInfo source(failure.source);
        lines.append(source.fileName() + QStringLiteral(": ") + failure.error);
        sourceGone = sourceGone || !QFileInfo(source.absolutePath()).isDir();
    }
    if (sourceGone)
        lines.append(byLanguage("カードが取り外された可能性があります。", "The card may have been removed."));
    return lines.join(QLatin1Char('\n'));
}

void VwFrameList::onRepair(VwVideoItem *item)
{
    const VwVideoItemPtr keep = m_list->sharedItem(item);
    if (!keep || !keep->isDamaged() || VwKeyEvent::instance()->isKeyHeld() || isBusy())
        return;
    VwPopupRepair question(VwApp::instance()->mainWindow, keep->displayName());
    const int choice = question.exec();
    QString folder = VwMovRepair::repairedFolder();
    if (choice == VwPopupRepair::CHOICE_CHOOSE_FOLDER) {
        folder = VwApp::instance()->browseFolder(folder, true,
                                                 byLanguage("修復したコピーの保存先", "Folder for the repaired copies"));
    }
    if (choice == VwPopupRepair::CHOICE_CANCEL || folder.isEmpty() || isBusy())
        return;
    for (const QString &source : {keep->frontPath, keep->rearPath}) {
        if (!source.isEmpty() && isSameFolder(folder, QFileInfo(source).absolutePath())) {
            showMessage("録画ファイルと同じフォルダには保存できません。",
                        "Choose a folder other than the recording's own.");
            return;
        }
    }

    qCDebug(lcHxUi) << "VwFrameList::onRepair" << keep->displayName() << folder;
    m_repairRunning = true;
    m_repairCancel = std::make_shared<std::atomic<bool>>(false);
    VwDialogProgress *progress = VwDialogProgress::showProgress(byLanguage("修復中", "Repairing..."), true, m_list);
    const std::shared_ptr<std::atomic<bool>> cancel = m_repairCancel;
    connect(progress, &VwDialogProgress::cancelled, this, [cancel] { *cancel = true; });
    // Copies are replaced only in the viewer's own folder of repaired copies.
    const bool overwrite = choice == VwPopupRepair::CHOICE_REPAIR;
    const QStringList candidates = VwRecordingRepair::referenceCandidates(m_list->allItems());
    const auto report = [this, cancel](qint64 done, qint64 total) {
        const int value = total > 0 ? int(done * VwDialogProgress::kRange / total) : 0;
        QMetaObject::invokeMethod(this, [value] {
            if (VwDialogProgress *dialog = VwDialogProgress::current())
                dialog->onUpdateValue(value);
        }, Qt::QueuedConnection);
        return !*cancel;
    };

    auto *watcher = new QFutureWatcher<QList<VwMovRepair::Result>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, keep, folder] {
        watcher->deleteLater();
        m_repairRunning = false;
        m_repairCancel.reset();
        VwDialogProgress::closeProgress();
        const QList<VwMovRepair::Result> results = watcher->result();
        if (VwRecordingRepair::useRepairedCopies(keep.data(), folder))
            table->viewport()->update();
        if (!m_closing) {
            VwPopupMessage popup(VwApp::instance()->mainWindow, byLanguage("修復", "Repair"),
                                 repairResultText(results, folder));
            popup.exec();
        }
    });
    watcher->setFuture(QtConcurrent::run([keep, folder, candidates, overwrite, report] {
        return VwRecordingRepair::repair(*keep, folder, candidates, overwrite, report);
    }));
}

QString VwFrameList::repairResultText(const QList<VwMovRepair::Result> &results, const QString &folder)
{
    const bool japanese = isJapanese();
    QStringList lines;
    bool any = false;
    for (const VwMovRepair::Result &result : results) {
        const QString name = QFileInfo(result.outputPath).fileName();
        const QString reason = VwMovRepair::reasonText(result.reason, japanese);
        if (!result.recovered()) {
            lines.append(japanese ? QStringLiteral("%1: 修復できませんでした(%2)。").arg(name, reason)
                                  : QStringLiteral("%1: nothing could be recovered (%2).").arg(name, reason));
            continue;
        }
        any = true;
        const QString seconds[] = {QString::number(result.videoSeconds, 'f', 1),
                                   QString::number(result.audioSeconds, 'f', 1),
                                   QString::number(result.telemetrySeconds, 'f', 0)};
        lines.append(japanese ? QStringLiteral("%1: 映像 %2 秒、音声 %3 秒、走行データ %4 秒を復元しました。")
                                    .arg(name, seconds[0], seconds[1], seconds[2])
                              : QStringLiteral("%1: %2 s of video, %3 s of sound and %4 s of telemetry recovered.")
                                    .arg(name, seconds[0], seconds[1], seconds[2]));
        lines.append(japanese ? QStringLiteral("  %1 秒の位置で途切れています(%2 / %3 バイト、%4)。")
                                    .arg(seconds[0]).arg(result.cutOffset).arg(result.fileSize).arg(reason)
                              : QStringLiteral("  It breaks off at %1 s (byte %2 of %3; %4).")
                                    .arg(seconds[0]).arg(result.cutOffset).arg(result.fileSize).arg(reason));
    }
    if (any) {
        lines.append(japanese ? QStringLiteral("コピーの保存先: %1").arg(QDir::toNativeSeparators(folder))
                              : QStringLiteral("The copies are in %1").arg(QDir::toNativeSeparators(folder)));
    }
    return lines.join(QLatin1Char('\n'));
}

void VwFrameList::onAppEvent(VwApp::Event event, int param)
{
    Q_UNUSED(param)
    if (event != VwApp::EVENT_APP_CLOSE)
        return;
    // A backup waiting for an answer would keep the program from ending.
    m_closing = true;
    if (m_backupRunning)
        m_list->cancelBackup();
    if (m_repairCancel)
        *m_repairCancel = true;
    if (m_question)
        m_question->reject();
}

void VwFrameList::showNotice(const QString &message)
{
    VwPopupMessage popup(VwApp::instance()->mainWindow, byLanguage("注意", "Notice"), message);
    popup.exec();
}

void VwFrameList::showMessage(const char *japanese, const char *english)
{
    showNotice(byLanguage(japanese, english));
}

void VwFrameList::showMessageLater(const char *japanese, const char *english)
{
    QTimer::singleShot(0, this, [this, japanese, english] { showMessage(japanese, english); });
}
