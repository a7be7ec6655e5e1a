#include "vw_app.h"

#include "hx_app_log.h"
#include "vw_settings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QShortcut>
#include <QStandardPaths>

namespace {
const QString kDataFolderName = QStringLiteral("KT-LV550N Doc");
}

VwApp::VwApp(QObject *parent)
    : QObject(parent)
{
}

VwApp *VwApp::instance()
{
    static VwApp *app = new VwApp;
    return app;
}

void VwApp::initialize(QApplication *application)
{
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
    setAppFont(QStringLiteral("MS PGothic"), false);
    loadStyleSheet(application);
    createAppFolders();
    VwSettings::instance()->open();
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
    return QDir::cleanPath(dataFolder() + QLatin1Char('/') + name);
}

void VwApp::setAppFont(const QString &family, bool fromResource)
{
    Q_UNUSED(fromResource)
    QFontDatabase::addApplicationFont(QStringLiteral(":/font/digits.ttf"));
    if (!QFontDatabase().families().contains(family, Qt::CaseSensitive))
        return;
    QFont font(family);
    font.setStyleHint(QFont::System, QFont::PreferDefault);
    font.setStyleStrategy(QFont::PreferAntialias);
    QApplication::setFont(font);
}

QString VwApp::browseFolder(const QString &startPath, bool allowNewFolder, const QString &title)
{
    Q_UNUSED(allowNewFolder)
    return QFileDialog::getExistingDirectory(mainWindow, title, startPath);
}

void VwApp::setDisplayRequired(bool on)
{
    Q_UNUSED(on)
}

void VwApp::installShortcuts()
{
    pipLocationShortcut = new QShortcut(QKeySequence(Qt::Key_F9), mainWindow);
    pipLocationShortcut->setContext(Qt::ApplicationShortcut);
    pipVisibilityShortcut = new QShortcut(QKeySequence(Qt::Key_F10), mainWindow);
    pipVisibilityShortcut->setContext(Qt::ApplicationShortcut);
}
