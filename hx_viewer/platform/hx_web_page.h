#pragma once

#include <QUrl>
#include <QWebEnginePage>

// A page that stays on the document it was given: every console message goes
// to one signal, links open in the system browser and any other navigation
// away is refused.
class HxWebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    HxWebPage(QWebEngineProfile *profile, QObject *parent);

    void loadHome(const QUrl &url);

Q_SIGNALS:
    void consoleMessage(const QString &message);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceId) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private:
    QUrl m_home;
};
