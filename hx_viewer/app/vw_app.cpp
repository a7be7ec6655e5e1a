#include "vw_app.h"

#include "hx_app_log.h"
#include "hx_display_awake.h"
#include "hx_folder_dialog.h"
#include "hx_font_substitute.h"
#include "hx_removable_media.h"
#include "vw_settings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QShortcut>
#include <QStandardPaths>
#include <QWidget>

namespace {
const QString kDataFolderName = QStringLiteral("KT-LV550N Doc");

// Caption of the folder browser: the last title a caller gave.
QString browseTitle;
} // namespace

VwApp::VwApp(QObject *parent)
    : QObject(parent)
{
}

VwApp *VwApp::instance()
{
    static VwApp *app = new VwApp;
    return app;
}

const QString &VwApp::digitFontResource()
{
    static const QString name = QStringLiteral(":/font/dseg7-classic.ttf");
    return name;
}

void VwApp::initialize(QApplication *application)
{
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
    setAppFont(QStringLiteral("MS PGothic"), false);
    loadStyleSheet(application);
    application->setWindowIcon(appIcon());
    createAppFolders();
    VwSettings::instance()->open();
}

QIcon VwApp::appIcon()
{
    QIcon icon;
    for (int size : {48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/image/app_icon_%1.png").arg(size), QSize(size, size));
    return icon;
}

void VwApp::loadStyleSheet(QApplication *application)
{
    QFile file(QStringLiteral(":/stylesheet/style.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    const int nul = bytes.indexOf('\0');
    application->setStyleSheet(QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul)));
}

QString VwApp::dataFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        return QString();
    return QDir::cleanPath(documents + QLatin1Char('/') + kDataFolderName);
}

void VwApp::createAppFolders()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QDir(documents).exists())
        return;
    const QString data = dataFolder();
    if (!QDir(data).exists())
        QDir().mkdir(data);
    for (const char *name : {"report", "viewersetup", "backup"}) {
        const QString path = QDir::cleanPath(data + QLatin1Char('/') + QLatin1String(name));
        if (!QDir(path).exists())
            QDir().mkdir(path);
    }
}

QString VwApp::appPath(int kind) const
{
    QString name;
    switch (kind) {
    case PATH_REPORT:
        name = QStringLiteral("report");
        break;
    case PATH_SETTINGS:
        name = QStringLiteral("viewersetup/conf64.ini");
        break;
    case PATH_BACKUP:
        name = QStringLiteral("backup");
        break;
    default:
        return QString();
    }
    // Without a Documents location there is no data folder; a path made from
    // the name alone would point at the root of the file system.
    const QString data = dataFolder();
    if (data.isEmpty())
        return QString();
    return QDir::cleanPath(data + QLatin1Char('/') + name);
}

void VwApp::setAppFont(const QString &family, bool fromResource)
{
    Q_UNUSED(fromResource)
    if (QFontDatabase::addApplicationFont(digitFontResource()) < 0)
        qCDebug(lcHxApp) << "VwApp::setAppFont cannot register" << digitFontResource();
    const QString installed = HxFontSubstitute::resolve(family, QFontDatabase().families());
    if (installed.isEmpty())
        return;
    QFont font(installed);
    font.setStyleHint(QFont::System, QFont::PreferDefault);
    font.setStyleStrategy(QFont::PreferAntialias);
    QApplication::setFont(font);
}

QString VwApp::browseFolder(const QString &startPath, bool allowNewFolder, const QString &title)
{
    if (!title.isEmpty())
        browseTitle = title;

    HxFolderDialog dialog(mainWindow);
    dialog.setWindowTitle(browseTitle);
    dialog.setInstruction(title.isEmpty() ? QStringLiteral("ファイルOPEN") : title);
    dialog.setNewFolderAllowed(allowNewFolder);
    dialog.setStartFolder(startPath);
    const HxRemovableMedia media;
    dialog.setUnreadyTest([media](const QString &folder) { return media.isUnreadyMountPoint(folder); });

    const QString chosen = dialog.exec() == QDialog::Accepted ? dialog.chosenFolder() : QString();
    if (mainWindow)
        mainWindow->setFocus(Qt::OtherFocusReason);
    return chosen;
}

void VwApp::setDisplayRequired(bool on)
{
    if (!m_displayAwake)
        m_displayAwake = new HxDisplayAwake(QDBusConnection::sessionBus(), this);
    m_displayAwake->setRequired(on);
}

void VwApp::installShortcuts()
{
    pipLocationShortcut = new QShortcut(QKeySequence(Qt::Key_F9), mainWindow);
    pipLocationShortcut->setContext(Qt::ApplicationShortcut);
    pipVisibilityShortcut = new QShortcut(QKeySequence(Qt::Key_F10), mainWindow);
    pipVisibilityShortcut->setContext(Qt::ApplicationShortcut);
}

void VwApp::requestStartFolder()
{
    if (!m_startFolder.isEmpty())
        Q_EMIT openFolderRequested(m_startFolder);
}
