#include "vw_excel_report.h"

#include "hx_ui_log.h"
#include "vw_language.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <signal.h>

namespace {

// Exit statuses of the report script.
enum ScriptStatus {
    STATUS_OK = 0,
    STATUS_NO_OFFICE = 3,
    STATUS_NO_ANSWER = 4,
    STATUS_NOT_LOADED = 5,
    STATUS_NO_PICTURE = 6,
    STATUS_NOT_STORED = 7,
};

constexpr int kProgressMax = 364;
// Starting LibreOffice takes most of a report, so the bar creeps towards
// the connected mark meanwhile instead of standing still.
constexpr int kProgressConnected = 240;
constexpr int kCreepIntervalMs = 100;
constexpr int kCreepMargin = 20;
constexpr int kKillDelayMs = 3000;

const QByteArray kOle2Signature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

int stepProgress(const QByteArray &step)
{
    static const QList<QPair<QByteArray, int>> steps = {
        {"started", 10}, {"connected", kProgressConnected}, {"loaded", 280},
        {"picture", 310}, {"stored", 340},
    };
    for (const auto &entry : steps) {
        if (entry.first == step)
            return entry.second;
    }
    return -1;
}

} // namespace

const QRect VwExcelReport::pictureArea(781, 409, 480, 301);

VwExcelReport::Programs &VwExcelReport::programs()
{
    static Programs programs;
    return programs;
}

QStringList VwExcelReport::missingPrograms()
{
    QStringList missing;
    const Programs &p = programs();
    const QFileInfo python(p.python);
    if (!python.isFile() || !python.isExecutable())
        missing << p.python;
    if (QStandardPaths::findExecutable(p.soffice).isEmpty()) {
        const QFileInfo soffice(p.soffice);
        if (!soffice.isAbsolute() || !soffice.isFile() || !soffice.isExecutable())
            missing << p.soffice;
    }
    return missing;
}

QRect VwExcelReport::fitRect(const QSize &source, const QRect &target)
{
    if (source.isEmpty())
        return target;
    const float scale = qMin(float(target.width()) / float(source.width()),
                             float(target.height()) / float(source.height()));
    const float width = float(source.width()) * scale;
    const float height = float(source.height()) * scale;
    const float left = float(target.left()) + (float(target.width()) - width) * 0.5f;
    const float top = float(target.top()) + (float(target.height()) - height) * 0.5f;
    return QRect(int(left), int(top), int(width), int(height));
}

VwExcelReport::VwExcelReport(QObject *parent)
    : QObject(parent)
    , m_template(QStringLiteral(":/report/report.xls"))
{
    m_jobTimer = new QTimer(this);
    m_jobTimer->setSingleShot(true);
    connect(m_jobTimer, &QTimer::timeout, this, &VwExcelReport::onJobTimeout);
    m_creepTimer = new QTimer(this);
    m_creepTimer->setInterval(kCreepIntervalMs);
    connect(m_creepTimer, &QTimer::timeout, this, [this] {
        const int room = kProgressConnected - kCreepMargin - m_progress;
        if (room > 0)
            setProgress(m_progress + qMax(1, room / 25));
    });
    m_killTimer = new QTimer(this);
    m_killTimer->setSingleShot(true);
    m_killTimer->setInterval(kKillDelayMs);
    connect(m_killTimer, &QTimer::timeout, this, [this] {
        if (m_process)
            m_process->kill();
    });
    // The application ends without deleting its windows; a report still
    // running must not leave LibreOffice behind.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &VwExcelReport::stop);
}

VwExcelReport::~VwExcelReport()
{
    // Nobody is left to hear how it ended.
    blockSignals(true);
    stop();
}

bool VwExcelReport::isRunning() const
{
    return m_process != nullptr;
}

bool VwExcelReport::generate(const QString &output, const QString &picture)
{
    m_error.clear();
    if (isRunning()) {
        m_error = languagePick("レポートを作成中です。", "A report is being made.");
        return false;
    }
    const QFileInfo outputInfo(output);
    const QString folder = QDir::toNativeSeparators(outputInfo.absolutePath());

    // The report is written next to its final name and renamed over it only
    // when complete, so a failure never touches a file already there. Making
    // that file is also the test that the folder takes files.
    QTemporaryFile partial(outputInfo.absolutePath() + QStringLiteral("/.report_XXXXXX.xls"));
    partial.setAutoRemove(false);
    if (!partial.open()) {
        m_error = languagePick("このフォルダにはレポートを保存できません。", "The report cannot be saved in this folder.")
            + QLatin1Char('\n') + folder + QLatin1Char('\n') + partial.errorString();
        return false;
    }
    partial.close();
    m_partial = partial.fileName();

    m_work.reset(new QTemporaryDir(QDir::tempPath() + QStringLiteral("/hx_report_XXXXXX")));
    const QString templateCopy = m_work->filePath(QStringLiteral("template.xls"));
    QFile script(QStringLiteral(":/report/make_report.py"));
    if (!m_work->isValid() || !QFile::copy(m_template, templateCopy) || !script.open(QIODevice::ReadOnly)) {
        m_error = languagePick("レポートの作業フォルダを用意できません。", "The report's work folder cannot be prepared.")
            + QLatin1Char('\n') + QDir::toNativeSeparators(QDir::tempPath());
        QFile::remove(m_partial);
        m_work.reset();
        return false;
    }
    // A copy of a compiled-in resource is read-only.
    QFile::setPermissions(templateCopy, QFile::permissions(templateCopy) | QFileDevice::WriteOwner);

    const QRect area = fitRect(QImageReader(picture).size(), pictureArea);
    const Programs &p = programs();
    // Isolated: a PYTHONPATH or PYTHONHOME meant for another Python must not
    // break Debian's, which alone has the uno module.
    const QStringList arguments = {
        QStringLiteral("-I"), QStringLiteral("-"),
        QStringLiteral("--soffice"), p.soffice,
        QStringLiteral("--connect-timeout"), QString::number(p.connectTimeoutMs / 1000.0),
        QStringLiteral("--profile"), m_work->filePath(QStringLiteral("profile")),
        templateCopy, QFileInfo(picture).absoluteFilePath(),
        QString::number(area.left()), QString::number(area.top()),
        QString::number(area.width()), QString::number(area.height()),
        m_partial,
    };
    qCDebug(lcHxUi) << "VwExcelReport::generate" << output << area;

    m_output = outputInfo.absoluteFilePath();
    m_reason.clear();
    m_officeGroup = 0;
    m_pipeFiles.clear();
    m_cancelled = false;
    m_timedOut = false;
    m_progress = -1;
    setProgress(0);

    m_process = new QProcess(this);
    m_process->setWorkingDirectory(m_work->path());
    connect(m_process, &QProcess::readyReadStandardOutput, this, &VwExcelReport::onOutput);
    connect(m_process, &QProcess::readyReadStandardError, this, [this] {
        qCDebug(lcHxUi) << "VwExcelReport::generate" << m_process->readAllStandardError().trimmed();
    });
    connect(m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &VwExcelReport::onProcessFinished);
    connect(m_process, &QProcess::errorOccurred, this, &VwExcelReport::onProcessError);
    m_process->start(p.python, arguments);
    m_process->write(script.readAll());
    m_process->closeWriteChannel();
    m_jobTimer->start(p.jobTimeoutMs);
    m_creepTimer->start();
    return true;
}

void VwExcelReport::setProgress(int value)
{
    value = qBound(0, value, kProgressMax);
    if (value <= m_progress)
        return;
    m_progress = value;
    Q_EMIT progress(value);
}

void VwExcelReport::onOutput()
{
    while (m_process && m_process->canReadLine()) {
        const QByteArray line = m_process->readLine().trimmed();
        const int space = line.indexOf(' ');
        const QByteArray word = line.left(space);
        const QByteArray rest = space < 0 ? QByteArray() : line.mid(space + 1);
        if (word == "step") {
            if (rest != "started")
                m_creepTimer->stop();
            setProgress(stepProgress(rest));
        } else if (word == "office") {
            const QList<QByteArray> fields = rest.split(' ');
            m_officeGroup = fields.value(0).toLongLong();
            for (int i = 1; i < fields.size(); ++i)
                m_pipeFiles << QFile::decodeName(fields.at(i));
        } else if (word == "error") {
            m_reason = QString::fromUtf8(rest);
        }
        qCDebug(lcHxUi) << "VwExcelReport::onOutput" << line;
    }
}

void VwExcelReport::onProcessError(QProcess::ProcessError error)
{
    // Only a start failure comes without finished().
    if (error != QProcess::FailedToStart || !m_process)
        return;
    m_reason = m_process->errorString();
    onProcessFinished(STATUS_NO_OFFICE, QProcess::NormalExit);
}

void VwExcelReport::onProcessFinished(int exitCode, QProcess::ExitStatus status)
{
    if (!m_process)
        return;
    onOutput();
    qCDebug(lcHxUi) << "VwExcelReport::onProcessFinished" << exitCode << status << m_reason;
    // A script killed before it could clean up leaves soffice running.
    if (status != QProcess::NormalExit)
        endOffice();
    m_process->deleteLater();
    m_process = nullptr;
    m_jobTimer->stop();
    m_creepTimer->stop();
    m_killTimer->stop();

    if (m_cancelled) {
        finish(false, QString());
    } else if (m_timedOut) {
        finish(false, languagePick("LibreOffice Calc が時間内に終わりませんでした。",
                          "LibreOffice Calc did not finish in time."));
    } else if (status != QProcess::NormalExit || exitCode != STATUS_OK) {
        QString text = status == QProcess::NormalExit ? failureText(exitCode)
                                                      : failureText(-1);
        if (!m_reason.isEmpty())
            text += QLatin1Char('\n') + m_reason;
        finish(false, text);
    } else {
        const QString problem = commitOutput();
        finish(problem.isEmpty(), problem);
    }
}

QString VwExcelReport::failureText(int exitCode) const
{
    switch (exitCode) {
    case STATUS_NO_OFFICE:
        return languagePick("LibreOffice Calc を起動できません。", "LibreOffice Calc cannot be started.");
    case STATUS_NO_ANSWER:
        return languagePick("LibreOffice Calc が応答しません。", "LibreOffice Calc does not answer.");
    case STATUS_NOT_LOADED:
        return languagePick("レポートのひな形を開けません。", "The report template cannot be opened.");
    case STATUS_NO_PICTURE:
        return languagePick("画面の画像を貼り付けられません。", "The picture of the window cannot be inserted.");
    case STATUS_NOT_STORED:
        return languagePick("レポートを保存できません。", "The report cannot be saved.");
    default:
        return languagePick("レポートを作成できません。", "The report cannot be made.");
    }
}

// Puts the finished workbook under its name; an empty result means done.
QString VwExcelReport::commitOutput()
{
    QFile partial(m_partial);
    QByteArray head;
    if (partial.open(QIODevice::ReadOnly))
        head = partial.read(kOle2Signature.size());
    partial.close();
    if (head != kOle2Signature)
        return failureText(STATUS_NOT_STORED) + QLatin1Char('\n')
            + languagePick("書き込まれたファイルがブックではありません。", "The file written is not a workbook.");
    // rename() replaces an existing report in one step; there is no moment
    // without a complete file under the name.
    if (std::rename(QFile::encodeName(m_partial).constData(), QFile::encodeName(m_output).constData()) != 0) {
        return failureText(STATUS_NOT_STORED) + QLatin1Char('\n') + QDir::toNativeSeparators(m_output)
            + QLatin1Char('\n') + QString::fromLocal8Bit(std::strerror(errno));
    }
    return QString();
}

void VwExcelReport::onJobTimeout()
{
    qCDebug(lcHxUi) << "VwExcelReport::onJobTimeout";
    endJob(&m_timedOut);
}

void VwExcelReport::cancel()
{
    qCDebug(lcHxUi) << "VwExcelReport::cancel";
    endJob(&m_cancelled);
}

// Asks the script to end (it takes soffice with it) and kills it if it does
// not; `reason` remembers why.
void VwExcelReport::endJob(bool *reason)
{
    if (!m_process || m_cancelled || m_timedOut)
        return;
    *reason = true;
    m_process->terminate();
    m_killTimer->start();
}

// Ends a running job at once, for the end of the program.
void VwExcelReport::stop()
{
    if (!m_process)
        return;
    m_cancelled = true;
    m_process->terminate();
    if (!m_process->waitForFinished(kKillDelayMs)) {
        m_process->kill();
        m_process->waitForFinished(kKillDelayMs);
    }
    if (m_process)
        onProcessFinished(-1, QProcess::CrashExit);
}

void VwExcelReport::endOffice()
{
    if (m_officeGroup > 0) {
        qCDebug(lcHxUi) << "VwExcelReport::endOffice" << m_officeGroup;
        ::kill(pid_t(-m_officeGroup), SIGKILL);
    }
    m_officeGroup = 0;
    for (const QString &file : qAsConst(m_pipeFiles))
        QFile::remove(file);
    m_pipeFiles.clear();
}

void VwExcelReport::finish(bool ok, const QString &message)
{
    if (!ok)
        QFile::remove(m_partial);
    m_partial.clear();
    m_work.reset();
    if (ok)
        setProgress(kProgressMax);
    qCDebug(lcHxUi) << "VwExcelReport::finish" << ok << message;
    Q_EMIT finished(ok, message);
}
