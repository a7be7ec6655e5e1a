#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// One running copy per user. The holder keeps an exclusive flock() on a lock
// file, which the kernel drops when the process ends in any way, so a crashed
// copy never locks the user out. The holder also listens on a local socket next
// to the lock, through which a later copy asks it to come to the front.
class HxSingleInstance : public QObject
{
    Q_OBJECT

public:
    // key names the lock; the user id is appended. directory defaults to
    // defaultDirectory().
    explicit HxSingleInstance(const QString &key, const QString &directory = QString(),
                              QObject *parent = nullptr);
    ~HxSingleInstance() override;

    // The user's private runtime folder ($XDG_RUNTIME_DIR, or Qt's own in the
    // temporary folder), else a private folder in the user's cache folder.
    // Never a folder that other users can write to: whoever creates the lock
    // file first would keep this user from starting. Empty when none is usable.
    static QString defaultDirectory();

    QString lockPath() const;
    QString serverPath() const;

    enum LockResult {
        Locked,        // this process holds the lock (also when it already held it)
        HeldElsewhere, // another process holds it
        LockFailed,    // the lock file cannot be used: nothing is known of other copies
    };
    LockResult lock();
    bool tryLock() { return lock() == Locked; }
    bool isLocked() const { return m_lockFd >= 0; }

    // Asks the holder to bring its window forward, and to open path first
    // when one is given, and waits for its answer. True when the holder
    // acknowledged the request.
    bool requestActivation(int timeoutMs = 3000, const QString &path = QString()) const;

Q_SIGNALS:
    // A later copy handed over a path; activationRequested follows. The path
    // is as the other copy sent it: the receiver checks what it names.
    void openRequested(const QString &path);
    void activationRequested();

private:
    void onNewConnection();
    void onClientReadyRead(QLocalSocket *client);

    QString m_basePath;
    int m_lockFd = -1;
    QLocalServer *m_server = nullptr;
};
