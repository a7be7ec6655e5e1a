#include "vw_settings.h"

#include "vw_app.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
const QString kAppGroup = QStringLiteral("APP");
const QString kLanguageKey = QStringLiteral("LANGUAGE");
const QString kLanguageAutoKey = QStringLiteral("LANGUAGE_AUTO");
constexpr int kDefaultLanguage = 1;
// The leading slashes are how these have always been spelled; QSettings drops
// them, so the file holds [PATH] BACKUP= and RECENT=.
const QString kPathGroup = QStringLiteral("/PATH");
const QString kBackupKey = QStringLiteral("/BACKUP");
const QString kRecentKey = QStringLiteral("/RECENT");
const QString kMapGroup = QStringLiteral("MAP");
const QString kTileUrlKey = QStringLiteral("TILE_URL");
const QString kTileAttributionKey = QStringLiteral("TILE_ATTRIBUTION");
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
    const QString stored = settingsFile->value(kLanguageAutoKey).toString().trimmed();
    settingsFile->endGroup();
    // QVariant would call any text other than "false" or "0" true; only an
    // explicit true value turns the automatic language on.
    return stored.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
        || stored == QLatin1String("1");
}

void VwSettings::setLanguageAuto(bool on)
{
    writeValue(kAppGroup, kLanguageAutoKey, on);
}

int VwSettings::language() const
{
    if (!settingsFile)
        return kDefaultLanguage;
    settingsFile->beginGroup(kAppGroup);
    bool ok = false;
    const int stored = settingsFile->value(kLanguageKey).toString().trimmed().toInt(&ok);
    settingsFile->endGroup();
    // Only Japanese (1) and English (2) exist; any other value would leave the
    // interface half in one language and half in the other.
    if (!ok || (stored != 1 && stored != 2))
        return kDefaultLanguage;
    return stored;
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

QString VwSettings::mapTileUrl()
{
    return readString(kMapGroup, kTileUrlKey);
}

QString VwSettings::mapTileAttribution()
{
    return readString(kMapGroup, kTileAttributionKey);
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
