#include "single_instance.h"

#include "file_locks.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace gallows {

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::~SingleInstance()
{
    if (server)
        server->close();
}

QString SingleInstance::runtimeFolder()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath() + QStringLiteral("/tarvolin-gallows-%1").arg(getuid());
    QDir().mkpath(dir);
    return dir;
}

bool SingleInstance::acquire()
{
    const QString dir = runtimeFolder();
    socketPath = dir + QStringLiteral("/tarvolin-gallows.socket");
    removeAbandonedLock(dir + QStringLiteral("/tarvolin-gallows.lock"));
    lock = std::make_unique<QLockFile>(dir + QStringLiteral("/tarvolin-gallows.lock"));
    // The owner's process id decides staleness, never the lock's age.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError) {
            QLocalSocket socket;
            socket.connectToServer(socketPath);
            if (socket.waitForConnected(500)) {
                socket.write("raise\n");
                socket.waitForBytesWritten(500);
                socket.disconnectFromServer();
            }
            return false;
        }
        // The runtime folder is unusable: better a second copy than none.
        return true;
    }
    QLocalServer::removeServer(socketPath);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (server->listen(socketPath)) {
        connect(server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *peer = server->nextPendingConnection()) {
                connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
                emit raiseRequested();
            }
        });
    }
    return true;
}

} // namespace gallows
