#pragma once

#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

// Lets a page reach its own resources (qrc:, data:) and one configured
// server, and nothing else: a page can never send the user's data anywhere
// that was not chosen in the settings.
class HxWebRequestFilter : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT

public:
    explicit HxWebRequestFilter(QObject *parent = nullptr);

    // Scheme, host and port of `server` are allowed; an empty URL allows no server.
    void setAllowedServer(const QUrl &server);
    QUrl allowedServer() const { return m_server; }

    bool isAllowed(const QUrl &url) const;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    QUrl m_server;
};
