#include "hx_web_page.h"

#include "hx_platform_log.h"

#include <QDesktopServices>

HxWebPage::HxWebPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
{
}

void HxWebPage::loadHome(const QUrl &url)
{
    m_home = url;
    load(url);
}

void HxWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                         int lineNumber, const QString &sourceId)
{
    if (level == ErrorMessageLevel)
        qCWarning(lcHxPlatform) << "HxWebPage::javaScriptConsoleMessage" << sourceId << lineNumber
                                << message;
    else
        qCDebug(lcHxPlatform) << "HxWebPage::javaScriptConsoleMessage" << message;
    Q_EMIT consoleMessage(message);
}

bool HxWebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    // The engine spells the page's own address its own way (qrc:///...).
    const bool home = url.scheme() == m_home.scheme() && url.path() == m_home.path();
    if (isMainFrame && home && (type == NavigationTypeTyped || type == NavigationTypeReload))
        return true;
    if (type == NavigationTypeLinkClicked
        && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"))) {
        QDesktopServices::openUrl(url);
        return false;
    }
    qCInfo(lcHxPlatform) << "HxWebPage::acceptNavigationRequest refused" << type
                         << url.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo);
    return false;
}
