#include "vw_settings.h"

#include "vw_app.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
const QString kAppGroup = QStringLiteral("APP");
const QString kLanguageKey = QStringLiteral("LANGUAGE");
const QString kLanguageAutoKey = QStringLiteral("LANGUAGE_AUTO");
// The leading slashes are how these have always been spelled; QSettings drops
// them, so the file holds [PATH] BACKUP= and RECENT=.
const QString kPathGroup = QStringLiteral("/PATH");
const QString kBackupKey = QStringLiteral("/BACKUP");
const QString kRecentKey = QStringLiteral("/RECENT");
} // namespace

VwSettings::VwSettings(QObject *parent)
    : QObject(parent)
{
}

VwSettings *VwSettings::instance()
{
    static VwSettings *settings = new VwSettings;
    return settings;
}

void VwSettings::open()
{
    if (settingsFile)
        return;
    settingsFile = new QSettings(VwApp::instance()->appPath(VwApp::PATH_SETTINGS),
                                 QSettings::IniFormat, this);
}

bool VwSettings::languageAuto() const
{
    if (!settingsFile)
        return false;
    settingsFile->beginGroup(kAppGroup);
    const bool on = settingsFile->value(kLanguageAutoKey, false).toBool();
    settingsFile->endGroup();
    return on;
}

void VwSettings::setLanguageAuto(bool on)
{
    writeValue(kAppGroup, kLanguageAutoKey, on);
}

int VwSettings::language() const
{
    if (!settingsFile)
        return 1;
    settingsFile->beginGroup(kAppGroup);
    const QVariant stored = settingsFile->value(kLanguageKey);
    settingsFile->endGroup();
    if (!stored.isValid() || stored.toString().isEmpty())
        return 1;
    return stored.toInt();
}

void VwSettings::setLanguage(int language)
{
    writeValue(kAppGroup, kLanguageKey, language);
}

QString VwSettings::backupPath()
{
    const QString stored = readString(kPathGroup, kBackupKey);
    return stored.isEmpty() ? VwApp::instance()->appPath(VwApp::PATH_BACKUP) : stored;
}

void VwSettings::setBackupPath(const QString &path)
{
    writePath(kBackupKey, path, backupPath());
}

QString VwSettings::recentPath()
{
    const QString stored = readString(kPathGroup, kRecentKey);
    return stored.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)
                            : stored;
}

void VwSettings::setRecentPath(const QString &path)
{
    writePath(kRecentKey, path, recentPath());
}

QString VwSettings::readString(const QString &group, const QString &key)
{
    open();
    settingsFile->beginGroup(group);
    const QString value = settingsFile->value(key).toString();
    settingsFile->endGroup();
    return value;
}

void VwSettings::writeValue(const QString &group, const QString &key, const QVariant &value)
{
    open();
    settingsFile->beginGroup(group);
    settingsFile->setValue(key, value);
    settingsFile->endGroup();
    settingsFile->sync();
}

void VwSettings::writePath(const QString &key, const QString &path, const QString &current)
{
    // Choosing the folder that is already in force writes nothing, so picking
    // the default while nothing is stored leaves the key absent.
    if (path == current)
        return;
    writeValue(kPathGroup, key, path);
}
