#pragma once

#include <QObject>
#include <QString>

class QApplication;
class QShortcut;
class QWidget;

// Process-wide services: data folders, the folder browser, keeping the display
// awake, the application-wide shortcuts and the application event bus.
class VwApp : public QObject
{
    Q_OBJECT

public:
    enum Event {
        EVENT_FULLSCREEN_ENTER = 1,
        EVENT_FULLSCREEN_ENTERED = 2,
        EVENT_FULLSCREEN_LEAVE = 3,
        EVENT_FULLSCREEN_LEFT = 4,
        EVENT_APP_CLOSE = 5,
    };
    Q_ENUM(Event)

    enum PathKind {
        PATH_REPORT = 1,
        PATH_SETTINGS = 2,
        PATH_BACKUP = 3,
    };
    Q_ENUM(PathKind)

    static VwApp *instance();

    void initialize(QApplication *application);
    void createAppFolders();
    QString appPath(int kind) const;
    void setAppFont(const QString &family, bool fromResource);
    QString browseFolder(const QString &startPath, bool allowNewFolder, const QString &title);
    void setDisplayRequired(bool on);
    void installShortcuts();

    // The data folder, Documents / "KT-LV550N Doc"; empty without a Documents location.
    static QString dataFolder();

    QWidget *mainWindow = nullptr;
    QShortcut *pipLocationShortcut = nullptr;
    QShortcut *pipVisibilityShortcut = nullptr;

Q_SIGNALS:
    void appEvent(VwApp::Event event, int param);
    void hidePIPForCapture(bool hide);

private:
    explicit VwApp(QObject *parent = nullptr);
    void loadStyleSheet(QApplication *application);
};
