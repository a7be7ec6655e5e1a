#include "vw_report_command.h"

#include "hx_ui_log.h"
#include "vw_app.h"
#include "vw_dialog_progress.h"
#include "vw_excel_report.h"
#include "vw_language.h"
#include "vw_player.h"
#include "vw_popup_message.h"
#include "vw_video_item.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWidget>

VwReportCommand::VwReportCommand(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    openReport = [](const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
}

VwReportCommand::~VwReportCommand() = default;

QString VwReportCommand::proposedPath(const QString &folder, const QDate &date)
{
    const QString base = folder + QStringLiteral("/report_") + date.toString(QStringLiteral("yyyyMMdd"));
    QString path = QDir::cleanPath(base + QStringLiteral(".xls"));
    for (int n = 1; QFileInfo::exists(path); ++n)
        path = QDir::cleanPath(base + QLatin1Char('_') + QString::number(n) + QStringLiteral(".xls"));
    return path;
}

QString VwReportCommand::askPath(const QString &proposed)
{
    QFileDialog dialog(m_window, languagePick("レポート保存", "Save report"),
                       QFileInfo(proposed).absolutePath(), QStringLiteral("Excel files (*.xls)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("xls"));
    dialog.selectFile(QFileInfo(proposed).fileName());
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

void VwReportCommand::start()
{
    VwVideoItem *item = VwPlayer::instance()->currentItem();
    // F3 still reaches the window while one of the command's dialogs is open.
    if (m_running || !item)
        return;
    const QStringList missing = VwExcelReport::missingPrograms();
    if (!missing.isEmpty()) {
        m_running = true;
        showMessage(languagePick("レポートの作成には LibreOffice Calc が必要です。\n見つからないもの: ",
                                 "Making a report needs LibreOffice Calc.\nNot found: ")
                    + missing.join(QStringLiteral(", ")));
        m_running = false;
        Q_EMIT ended(false);
        return;
    }

    qCDebug(lcHxUi) << "VwReportCommand::start" << item->primaryPath();
    m_running = true;
    m_cancelled = false;
    Q_EMIT VwApp::instance()->hidePIPForCapture(true);
    VwPlayer::instance()->prepareForCapture();

    const QString proposed =
        proposedPath(VwApp::instance()->appPath(VwApp::PATH_REPORT), item->dateTime.date());
    m_path = choosePath ? choosePath(proposed) : askPath(proposed);
    if (m_path.isEmpty()) {
        end(false, QString());
        return;
    }
    if (QFileInfo(m_path).suffix().isEmpty())
        m_path += QStringLiteral(".xls");

    VwDialogProgress *progress =
        VwDialogProgress::showProgress(languagePick("レポート作成中", "Making report..."), true);
    connect(progress, &VwDialogProgress::cancelled, this, [this] {
        m_cancelled = true;
        if (m_report)
            m_report->cancel();
    });
    // The picture is taken on the next turn of the event loop: showing the
    // dialog and grabbing the window each hold the interface for a moment,
    // and one after the other they would hold it noticeably.
    QTimer::singleShot(0, this, &VwReportCommand::makeReport);
}

void VwReportCommand::makeReport()
{
    if (m_cancelled) {
        VwDialogProgress::closeProgress();
        end(false, QString());
        return;
    }
    m_pictureDir.reset(new QTemporaryDir(QDir::tempPath() + QStringLiteral("/hx_picture_XXXXXX")));
    const QString picture = m_pictureDir->filePath(QStringLiteral("window.jpg"));
    if (!m_pictureDir->isValid() || !m_window->grab().toImage().save(picture, "JPG")) {
        VwDialogProgress::closeProgress();
        end(false, languagePick("画面の画像を保存できません。", "The picture of the window cannot be saved.")
                       + QLatin1Char('\n') + QDir::toNativeSeparators(QDir::tempPath()));
        return;
    }

    m_report = new VwExcelReport(this);
    const bool japanese = VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE;
    m_report->setTemplate(japanese ? QStringLiteral(":/report/report.xls")
                                   : QStringLiteral(":/report/report_en.xls"));
    if (!m_report->generate(m_path, picture)) {
        const QString error = m_report->errorString();
        delete m_report;
        m_report = nullptr;
        VwDialogProgress::closeProgress();
        end(false, error);
        return;
    }
    connect(m_report, &VwExcelReport::finished, this, &VwReportCommand::onFinished);
    if (VwDialogProgress *progress = VwDialogProgress::current())
        connect(m_report, &VwExcelReport::progress, progress, &VwDialogProgress::onUpdateValue);
}

void VwReportCommand::onFinished(bool ok, const QString &message)
{
    VwDialogProgress::closeProgress();
    m_report->deleteLater();
    m_report = nullptr;
    if (ok && !openReport(m_path)) {
        end(true, languagePick("レポートを保存しましたが、開けませんでした。\n",
                               "The report was saved but could not be opened:\n")
                      + QDir::toNativeSeparators(m_path));
        return;
    }
    end(ok, message);
}

void VwReportCommand::end(bool ok, const QString &message)
{
    m_pictureDir.reset();
    Q_EMIT VwApp::instance()->hidePIPForCapture(false);
    if (!message.isEmpty())
        showMessage(message);
    qCDebug(lcHxUi) << "VwReportCommand::end" << ok;
    m_running = false;
    Q_EMIT ended(ok);
}

void VwReportCommand::showMessage(const QString &text)
{
    VwPopupMessage popup(m_window, languagePick("レポート", "Report"), text);
    popup.exec();
}
