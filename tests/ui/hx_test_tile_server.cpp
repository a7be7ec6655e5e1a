#include "hx_test_tile_server.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTcpSocket>

namespace {
QByteArray drawTile(const QString &name, int x, int y)
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(QColor(0xEE, 0xEB, 0xE2));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Blocks of a town: a park in some, roads along every edge.
    if ((x + y) % 3 == 0)
        painter.fillRect(QRect(40, 40, 176, 176), QColor(0xC8, 0xE6, 0xC0));
    painter.setPen(QPen(QColor(0xC8, 0xC0, 0xB0), 14));
    painter.drawLine(0, 128, 256, 128);
    painter.drawLine(128, 0, 128, 256);
    painter.setPen(QPen(Qt::white, 10));
    painter.drawLine(0, 128, 256, 128);
    painter.drawLine(128, 0, 128, 256);
    painter.setPen(QColor(0x90, 0x88, 0x80));
    painter.drawText(QRect(4, 4, 248, 20), Qt::AlignLeft, name);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}
} // namespace

HxTestTileServer::HxTestTileServer(QObject *parent)
    : QTcpServer(parent)
{
    connect(this, &QTcpServer::newConnection, this, &HxTestTileServer::onConnection);
}

bool HxTestTileServer::start()
{
    return listen(QHostAddress::LocalHost, 0);
}

QString HxTestTileServer::tileUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(serverPort());
}

quint16 HxTestTileServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

void HxTestTileServer::onConnection()
{
    while (QTcpSocket *socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void HxTestTileServer::answer(QTcpSocket *socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n"))
        return;
    socket->setProperty("request", QByteArray());
    const QString line = QString::fromLatin1(request.left(request.indexOf("\r\n")));
    const QString path = line.section(QLatin1Char(' '), 1, 1);
    m_paths.append(path);
    static const QRegularExpression agent(QStringLiteral("\r\nUser-Agent: ([^\r]*)"),
                                          QRegularExpression::CaseInsensitiveOption);
    m_userAgent = agent.match(QString::fromLatin1(request)).captured(1);

    static const QRegularExpression tile(QStringLiteral("^/(\\d+)/(\\d+)/(\\d+)\\.png$"));
    const QRegularExpressionMatch match = tile.match(path);
    QByteArray body;
    QByteArray status = "404 Not Found";
    QByteArray type = "text/plain";
    if (match.hasMatch()) {
        body = drawTile(path.mid(1), match.captured(2).toInt(), match.captured(3).toInt());
        status = "200 OK";
        type = "image/png";
    }
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: "
                  + QByteArray::number(body.size())
                  + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}
