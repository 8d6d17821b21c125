#include "single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gallows {

namespace {

// QLockFile creates its file empty and writes the owner's process id into it
// a moment later. A copy killed in between leaves an empty lock that, with no
// stale time, would count as a running copy for ever: every later start would
// end quietly. The owner would hold a flock() on it; when no one does, it is
// removed.
void removeAbandonedLock(const QString &lockPath)
{
    const QByteArray name = QFile::encodeName(lockPath);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size == 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(name.constData());
    ::close(fd);
}

} // namespace

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
