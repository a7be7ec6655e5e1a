#pragma once

#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A map tile server on 127.0.0.1 for the map tests and benchmark: answers
// GET /<z>/<x>/<y>.png with a drawn 256 x 256 tile (light land, a road grid
// and the tile's name) and keeps the path and User-Agent of the requests.
class HxTestTileServer : public QTcpServer
{
    Q_OBJECT

public:
    explicit HxTestTileServer(QObject *parent = nullptr);

    bool start();
    // The URL template to put in the settings.
    QString tileUrl() const;
    int requestCount() const { return m_paths.size(); }
    QStringList paths() const { return m_paths; }
    QString lastUserAgent() const { return m_userAgent; }

    // A port on 127.0.0.1 where nothing listens.
    static quint16 closedPort();

private:
    void onConnection();
    void answer(QTcpSocket *socket);

    QStringList m_paths;
    QString m_userAgent;
};
