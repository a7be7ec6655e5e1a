#include "hx_single_instance.h"

#include "hx_platform_log.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A request is one line: "activate", or "open " and a percent-encoded path
// (the path's bytes as the file system has them).
const QByteArray kActivateRequest = QByteArrayLiteral("activate\n");
const QByteArray kOpenRequest = QByteArrayLiteral("open ");
const QByteArray kActivateAnswer = QByteArrayLiteral("ok\n");
// A client that sends nothing sensible within this time is dropped, so a
// stray connection cannot hold resources of the running copy.
constexpr int kClientTimeoutMs = 5000;
// Room for the longest path Linux accepts (PATH_MAX), every byte encoded.
constexpr int kMaxRequestBytes = 3 * 4096 + 16;
constexpr int kMaxAnswerBytes = 16;
} // namespace

HxSingleInstance::HxSingleInstance(const QString &key, const QString &directory, QObject *parent)
    : QObject(parent)
{
    const QString dir = directory.isEmpty() ? defaultDirectory() : directory;
    if (!dir.isEmpty())
        m_basePath = QDir(dir).filePath(key + QLatin1Char('-') + QString::number(::getuid()));
}

HxSingleInstance::~HxSingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString HxSingleInstance::defaultDirectory()
{
    // Qt makes a private folder of its own when the session has none, and
    // gives nothing when that folder belongs to someone else.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;

    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        return QString();
    const QString folder = QDir(cache).filePath(QStringLiteral("kt-lv550n-runtime"));
    QDir().mkpath(cache);
    const QByteArray name = QFile::encodeName(folder);
    ::mkdir(name.constData(), 0700);
    struct stat status;
    if (::lstat(name.constData(), &status) != 0 || !S_ISDIR(status.st_mode)
        || status.st_uid != ::geteuid()
        || ((status.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0)) {
        qCWarning(lcHxPlatform) << "HxSingleInstance::defaultDirectory" << folder << "is not private";
        return QString();
    }
    return folder;
}

QString HxSingleInstance::lockPath() const
{
    return m_basePath + QStringLiteral(".lock");
}

QString HxSingleInstance::serverPath() const
{
    return m_basePath + QStringLiteral(".socket");
}

HxSingleInstance::LockResult HxSingleInstance::lock()
{
    if (m_lockFd >= 0)
        return Locked;
    if (m_basePath.isEmpty()) {
        qCWarning(lcHxPlatform) << "HxSingleInstance::lock" << "no private folder for the lock";
        return LockFailed;
    }

    // Only a file of this user's, met under the name itself (not through a link).
    const QByteArray path = QFile::encodeName(lockPath());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        qCWarning(lcHxPlatform) << "HxSingleInstance::lock" << lockPath() << std::strerror(errno);
        return LockFailed;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
        qCWarning(lcHxPlatform) << "HxSingleInstance::lock" << lockPath() << "is not this user's file";
        ::close(fd);
        return LockFailed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        qCDebug(lcHxPlatform) << "HxSingleInstance::lock held elsewhere" << lockPath();
        ::close(fd);
        return HeldElsewhere;
    }
    m_lockFd = fd;

    // Holding the lock proves that a socket file left here belongs to a dead copy.
    QLocalServer::removeServer(serverPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &HxSingleInstance::onNewConnection);
    if (!m_server->listen(serverPath()))
        qCWarning(lcHxPlatform) << "HxSingleInstance::lock cannot listen" << serverPath()
                                << m_server->errorString();
    return Locked;
}

void HxSingleInstance::onNewConnection()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { onClientReadyRead(client); });
        QTimer::singleShot(kClientTimeoutMs, client, [client] { client->abort(); });
        if (client->bytesAvailable() > 0)
            onClientReadyRead(client);
    }
}

void HxSingleInstance::onClientReadyRead(QLocalSocket *client)
{
    if (!client->canReadLine()) {
        if (client->bytesAvailable() > kMaxRequestBytes)
            client->abort();
        return;
    }
    const QByteArray request = client->readLine(kMaxRequestBytes + 1);
    QString path;
    if (request.startsWith(kOpenRequest) && request.endsWith('\n')) {
        path = QFile::decodeName(QByteArray::fromPercentEncoding(
            request.mid(kOpenRequest.size(), request.size() - kOpenRequest.size() - 1)));
    } else if (request != kActivateRequest) {
        qCDebug(lcHxPlatform) << "HxSingleInstance::onClientReadyRead unknown request" << request.left(64);
        client->abort();
        return;
    }
    if (!path.isEmpty())
        Q_EMIT openRequested(path);
    Q_EMIT activationRequested();
    client->write(kActivateAnswer);
    client->disconnectFromServer();
}

bool HxSingleInstance::requestActivation(int timeoutMs, const QString &path) const
{
    const QByteArray request = path.isEmpty()
        ? kActivateRequest
        : kOpenRequest + QFile::encodeName(path).toPercentEncoding() + '\n';
    if (request.size() > kMaxRequestBytes) {
        qCDebug(lcHxPlatform) << "HxSingleInstance::requestActivation path too long" << path.size();
        return false;
    }
    QElapsedTimer elapsed;
    elapsed.start();
    QLocalSocket socket;
    // The holder may have taken the lock a moment ago and not be listening yet.
    for (;;) {
        socket.connectToServer(serverPath());
        if (socket.waitForConnected(qMax(1, timeoutMs - int(elapsed.elapsed()))))
            break;
        if (elapsed.elapsed() >= timeoutMs) {
            qCDebug(lcHxPlatform) << "HxSingleInstance::requestActivation no answer" << serverPath()
                                  << socket.errorString();
            return false;
        }
        QThread::msleep(50);
    }
    socket.write(request);
    if (!socket.waitForBytesWritten(qMax(1, timeoutMs - int(elapsed.elapsed()))))
        return false;
    while (!socket.canReadLine()) {
        const int left = timeoutMs - int(elapsed.elapsed());
        if (left <= 0 || !socket.waitForReadyRead(left))
            break;
    }
    return socket.canReadLine() && socket.readLine(kMaxAnswerBytes) == kActivateAnswer;
}
