#include "vw_still_files.h"

#include "hx_core_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kTemporaryAttempts = 8;

// A new file next to `target`, hidden and with a random tail, made with the
// permissions any new file of the user gets.
std::unique_ptr<QFile> createTemporary(const QString &target, QString *reason)
{
    const QFileInfo info(target);
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        const QString tail = QString::number(QRandomGenerator::global()->generate(), 16);
        auto file = std::make_unique<QFile>(info.dir().filePath(
            QLatin1Char('.') + info.fileName() + QLatin1Char('.') + tail));
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return file;
        *reason = file->errorString();
        if (!QFileInfo::exists(file->fileName()))
            break;
    }
    return nullptr;
}

bool writeWhole(QFile *file, const QByteArray &data, QString *reason)
{
    if (file->write(data) != data.size()) {
        *reason = file->errorString();
        return false;
    }
    // The data must be on the disk before it replaces an old still.
    if (::fsync(file->handle()) != 0) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    file->close();
    if (file->error() != QFileDevice::NoError) {
        *reason = file->errorString();
        return false;
    }
    return true;
}

} // namespace

VwStillFiles::VwStillFiles(const QList<QString> &grabbed)
    : m_grabbed(grabbed)
{
}

QString VwStillFiles::cameraWord(const QString &grabbedPath)
{
    return QFileInfo(grabbedPath).fileName().contains(QLatin1String("_CH1_"))
        ? QStringLiteral("前方")
        : QStringLiteral("後方");
}

QString VwStillFiles::proposedName() const
{
    if (m_grabbed.isEmpty())
        return QString();
    const QString base = QFileInfo(m_grabbed.first()).fileName().section(QLatin1Char('.'), 0, 0);
    const QStringList parts = base.split(QLatin1Char('_'));
    return parts.size() < 2 ? base : parts.at(0) + QLatin1Char('_') + parts.at(1);
}

QStringList VwStillFiles::targets(const QString &folder, const QString &name) const
{
    QStringList result;
    for (const QString &grabbed : m_grabbed) {
        result << QDir::cleanPath(folder + QLatin1Char('/') + name + QLatin1Char('_')
                                  + cameraWord(grabbed) + QStringLiteral(".jpg"));
    }
    return result;
}

bool VwStillFiles::anyTargetExists(const QString &folder, const QString &name) const
{
    const QStringList names = targets(folder, name);
    return std::any_of(names.cbegin(), names.cend(),
                       [](const QString &path) { return QFileInfo(path).isFile(); });
}

bool VwStillFiles::save(const QString &folder, const QString &name, QString *reason) const
{
    QString error;
    const QStringList names = targets(folder, name);
    std::vector<std::unique_ptr<QFile>> temporaries;
    const auto fail = [&] {
        // Not QFile::remove() on the object: after a failed write its close
        // fails again and it would not remove the file.
        for (const auto &temporary : temporaries) {
            temporary->close();
            QFile::remove(temporary->fileName());
        }
        qCWarning(lcHxCore) << "VwStillFiles::save" << folder << name << error;
        if (reason)
            *reason = error;
        return false;
    };

    for (int i = 0; i < m_grabbed.size(); ++i) {
        QFile in(m_grabbed.at(i));
        if (!in.open(QIODevice::ReadOnly)) {
            error = in.errorString();
            return fail();
        }
        const QByteArray data = in.readAll();
        std::unique_ptr<QFile> temporary = createTemporary(names.at(i), &error);
        if (!temporary)
            return fail();
        temporaries.push_back(std::move(temporary));
        if (!writeWhole(temporaries.back().get(), data, &error))
            return fail();
    }
    for (int i = 0; i < int(temporaries.size()); ++i) {
        // rename() replaces an existing still in one step.
        if (std::rename(QFile::encodeName(temporaries[i]->fileName()).constData(),
                        QFile::encodeName(names.at(i)).constData())
            != 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            return fail();
        }
    }
    discard();
    return true;
}

void VwStillFiles::discard() const
{
    for (const QString &path : m_grabbed) {
        if (QFile::exists(path) && !QFile::remove(path))
            qCWarning(lcHxCore) << "VwStillFiles::discard" << path << "cannot be deleted";
    }
}
