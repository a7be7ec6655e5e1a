#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class HxWebPage;
class HxWebRequestFilter;
class QVariant;
class QWebEngineProfile;
class QWebEngineView;
class QWidget;

// Shows one web page inside a widget of the program. Creating a host starts
// the web engine (a few hundred milliseconds and a helper process), so the
// program makes one only when a page is first needed. The host owns the
// engine profile: a disk cache in the given folder, no cookies kept, the
// given User-Agent, and a request filter that lets the page reach only its
// own resources and one allowed server.
class HxWebHost : public QObject
{
    Q_OBJECT

public:
    struct Profile
    {
        QString storageName;
        QString cachePath;
        QString userAgent;
    };

    // To be called before the application object exists: the engine shares
    // OpenGL contexts with the widgets, and Chromium's sandbox refuses to run
    // as root, so it is switched off there.
    static void prepareProcess();

    HxWebHost(const Profile &profile, QWidget *container, QObject *parent = nullptr);
    // The page goes before its profile, as the engine requires.
    ~HxWebHost() override;

    void setAllowedServer(const QUrl &server);
    void load(const QUrl &url);
    void runJavaScript(const QString &script);
    void runJavaScript(const QString &script, const std::function<void(const QVariant &)> &result);

    // Process id of the page's render process; 0 while there is none.
    qint64 renderProcessPid() const;
    QWidget *view() const;

Q_SIGNALS:
    void consoleMessage(const QString &message);
    void loadFinished(bool ok);
    void renderProcessEnded(int status, int exitCode);

private:
    QWebEngineProfile *m_profile = nullptr;
    HxWebRequestFilter *m_filter = nullptr;
    HxWebPage *m_page = nullptr;
    QWebEngineView *m_view = nullptr;
};
