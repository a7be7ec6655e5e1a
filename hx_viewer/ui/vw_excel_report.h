#pragma once

#include <QObject>
#include <QProcess>
#include <QRect>
#include <QScopedPointer>
#include <QString>
#include <QStringList>

class QTemporaryDir;
class QTimer;

// Makes one accident-report workbook: a copy of the form template with a
// picture on its sheet, written by LibreOffice Calc. The work runs in one
// helper process (the report script on Debian's Python, which starts its own
// soffice), so the interface stays responsive and the job can be cancelled.
class VwExcelReport : public QObject
{
    Q_OBJECT

public:
    // Programs and limits of the job; tests point them elsewhere.
    struct Programs {
        QString python = QStringLiteral("/usr/bin/python3");
        QString soffice = QStringLiteral("soffice");
        int connectTimeoutMs = 30000;
        int jobTimeoutMs = 60000;
    };
    static Programs &programs();
    // The programs the job needs that cannot be found.
    static QStringList missingPrograms();

    // Where the picture goes on the form's sheet, in points.
    static const QRect pictureArea;

    // `source` scaled to fit `target`, centred in it.
    static QRect fitRect(const QSize &source, const QRect &target);

    explicit VwExcelReport(QObject *parent = nullptr);
    ~VwExcelReport() override;

    // The workbook the report starts from (a resource or a file).
    void setTemplate(const QString &path) { m_template = path; }

    // Starts writing the report to `output` with `picture` on its sheet and
    // returns at once; finished() tells the outcome. False when the job could
    // not start (errorString() says why; nothing was written).
    bool generate(const QString &output, const QString &picture);
    QString errorString() const { return m_error; }
    bool isRunning() const;

public Q_SLOTS:
    // Ends the job without a report; finished() follows with an empty message.
    void cancel();

Q_SIGNALS:
    void progress(int value);
    // On success `message` is empty and the report is at the output path;
    // otherwise it says what went wrong (empty after cancel()).
    void finished(bool ok, const QString &message);

private:
    void onOutput();
    void onProcessFinished(int exitCode, QProcess::ExitStatus status);
    void onProcessError(QProcess::ProcessError error);
    void onJobTimeout();
    void endJob(bool *reason);
    void stop();
    void setProgress(int value);
    QString failureText(int exitCode) const;
    QString commitOutput();
    void endOffice();
    void finish(bool ok, const QString &message);

    QString m_template;
    QString m_output;
    QString m_partial;
    QString m_error;
    QString m_reason;
    QProcess *m_process = nullptr;
    QScopedPointer<QTemporaryDir> m_work;
    QTimer *m_jobTimer = nullptr;
    QTimer *m_creepTimer = nullptr;
    QTimer *m_killTimer = nullptr;
    qint64 m_officeGroup = 0;
    QStringList m_pipeFiles;
    int m_progress = 0;
    bool m_cancelled = false;
    bool m_timedOut = false;
};
