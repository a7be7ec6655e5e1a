#include "hx_web_host.h"

#include "hx_platform_log.h"
#include "hx_web_page.h"
#include "hx_web_request_filter.h"

#include <QCoreApplication>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <unistd.h>

void HxWebHost::prepareProcess()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        qCInfo(lcHxPlatform) << "HxWebHost::prepareProcess running as root: web pages run without "
                                "the Chromium sandbox";
    }
}

HxWebHost::HxWebHost(const Profile &profile, QWidget *container, QObject *parent)
    : QObject(parent)
{
    m_profile = new QWebEngineProfile(profile.storageName, this);
    m_profile->setCachePath(profile.cachePath);
    m_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    if (!profile.userAgent.isEmpty())
        m_profile->setHttpUserAgent(profile.userAgent);
    m_filter = new HxWebRequestFilter(this);
    m_profile->setUrlRequestInterceptor(m_filter);

    QWebEngineSettings *settings = m_profile->settings();
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);

    m_page = new HxWebPage(m_profile, this);
    connect(m_page, &HxWebPage::consoleMessage, this, &HxWebHost::consoleMessage);
    connect(m_page, &QWebEnginePage::loadFinished, this, &HxWebHost::loadFinished);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                qCWarning(lcHxPlatform) << "HxWebHost render process ended" << status << exitCode;
                Q_EMIT renderProcessEnded(int(status), exitCode);
            });

    m_view = new QWebEngineView(container);
    m_view->setPage(m_page);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    auto *layout = qobject_cast<QVBoxLayout *>(container->layout());
    if (!layout) {
        layout = new QVBoxLayout(container);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    layout->addWidget(m_view);
}

HxWebHost::~HxWebHost()
{
    delete m_view;
    delete m_page;
    m_profile->setUrlRequestInterceptor(nullptr);
    delete m_profile;
}

void HxWebHost::setAllowedServer(const QUrl &server)
{
    m_filter->setAllowedServer(server);
}

void HxWebHost::load(const QUrl &url)
{
    m_page->loadHome(url);
}

void HxWebHost::runJavaScript(const QString &script)
{
    m_page->runJavaScript(script);
}

void HxWebHost::runJavaScript(const QString &script,
                              const std::function<void(const QVariant &)> &result)
{
    m_page->runJavaScript(script, result);
}

qint64 HxWebHost::renderProcessPid() const
{
    return m_page->renderProcessPid();
}

QWidget *HxWebHost::view() const
{
    return m_view;
}
