#include "hx_test_files.h"

#include "hx_test_sandbox.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

QByteArray hxReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

bool hxWriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString hxMakeCard(const QStringList &arguments, bool *missing)
{
    const QString program = hxToolPath(QStringLiteral("make_card/make_card"));
    *missing = true;
    if (program.isEmpty() || !QFileInfo(program).isExecutable())
        return QStringLiteral("make_card is not built");
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        return QStringLiteral("make_card needs ffmpeg");
    *missing = false;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(240000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("make_card failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
    return QString();
}
