#pragma once

#include <QObject>
#include <QScopedPointer>
#include <QString>

#include <functional>

class QDate;
class QTemporaryDir;
class QWidget;
class VwExcelReport;

// The report command of the main window: asks where to save, takes a
// picture of the window, has VwExcelReport make the workbook under a
// cancellable progress dialog and opens the result.
class VwReportCommand : public QObject
{
    Q_OBJECT

public:
    explicit VwReportCommand(QWidget *window);
    ~VwReportCommand() override;

    // The first free name of the form report_yyyyMMdd[_n].xls in `folder`.
    static QString proposedPath(const QString &folder, const QDate &date);

    // From the start of the command until ended(), dialogs and messages included.
    bool isRunning() const { return m_running; }
    // The workbook being made, once the picture is taken; null otherwise.
    VwExcelReport *report() const { return m_report; }

    // The save dialog: the chosen path, or empty when the user cancels.
    std::function<QString(const QString &proposed)> choosePath;
    // Shows the finished report; false when nothing could open it.
    std::function<bool(const QString &path)> openReport;

public Q_SLOTS:
    void start();

Q_SIGNALS:
    // The command is over, with or without a report.
    void ended(bool ok);

private:
    QString askPath(const QString &proposed);
    void makeReport();
    void onFinished(bool ok, const QString &message);
    void showMessage(const QString &text);
    void end(bool ok, const QString &message);

    QWidget *m_window = nullptr;
    VwExcelReport *m_report = nullptr;
    QScopedPointer<QTemporaryDir> m_pictureDir;
    QString m_path;
    bool m_running = false;
    bool m_cancelled = false;
};
