#pragma once

#include <QObject>
#include <QString>

class HxDisplayAwake;
class QApplication;
class QIcon;
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

    // The program's icon at the sizes of the desktop's menus, from the resources.
    static QIcon appIcon();

    // Resource name of the seven-segment digit font registered by setAppFont.
    static const QString &digitFontResource();

    // A folder named on the command line, to be opened once the main window shows.
    void setStartFolder(const QString &folder) { m_startFolder = folder; }
    QString startFolder() const { return m_startFolder; }
    // Emits openFolderRequested for the start folder, if there is one; main calls
    // it once the event loop runs with the main window shown.
    void requestStartFolder();

    QWidget *mainWindow = nullptr;
    QShortcut *pipLocationShortcut = nullptr;
    QShortcut *pipVisibilityShortcut = nullptr;

Q_SIGNALS:
    void appEvent(VwApp::Event event, int param);
    void hidePIPForCapture(bool hide);
    void openFolderRequested(const QString &folder);

private:
    explicit VwApp(QObject *parent = nullptr);
    void loadStyleSheet(QApplication *application);

    HxDisplayAwake *m_displayAwake = nullptr;
    QString m_startFolder;
};
