#include "hx_web_request_filter.h"

#include "hx_platform_log.h"

namespace {
int effectivePort(const QUrl &url)
{
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("https"))
        return url.port(443);
    if (scheme == QLatin1String("http"))
        return url.port(80);
    return url.port();
}
} // namespace

HxWebRequestFilter::HxWebRequestFilter(QObject *parent)
    : QWebEngineUrlRequestInterceptor(parent)
{
}

void HxWebRequestFilter::setAllowedServer(const QUrl &server)
{
    m_server = server;
}

bool HxWebRequestFilter::isAllowed(const QUrl &url) const
{
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("qrc") || scheme == QLatin1String("data"))
        return true;
    if (m_server.isEmpty())
        return false;
    return scheme == m_server.scheme()
        && url.host().compare(m_server.host(), Qt::CaseInsensitive) == 0
        && effectivePort(url) == effectivePort(m_server);
}

void HxWebRequestFilter::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    if (isAllowed(info.requestUrl()))
        return;
    qCInfo(lcHxPlatform) << "HxWebRequestFilter::interceptRequest blocked"
                         << info.requestUrl().toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo);
    info.block(true);
}
