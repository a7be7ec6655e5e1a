#pragma once

#include <QObject>
#include <QString>

class QSettings;

// The few values the viewer remembers between runs, in one INI file that is
// written through on every change.
class VwSettings : public QObject
{
    Q_OBJECT

public:
    static VwSettings *instance();

    void open();

    bool languageAuto() const;
    void setLanguageAuto(bool on);
    int language() const;
    void setLanguage(int language);

    QString backupPath();
    void setBackupPath(const QString &path);
    QString recentPath();
    void setRecentPath(const QString &path);

    bool softwareRenderingForced() const { return false; }

    // The map's tile server and its attribution as written in the file;
    // empty when absent (VwMapTiles decides what that means).
    QString mapTileUrl();
    QString mapTileAttribution();

    QSettings *settingsFile = nullptr;

private:
    explicit VwSettings(QObject *parent = nullptr);
    QString readString(const QString &group, const QString &key);
    void writeValue(const QString &group, const QString &key, const QVariant &value);
    void writePath(const QString &key, const QString &path, const QString &current);
};
