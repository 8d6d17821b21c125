#include "app/single_instance.h"

#include "stats/file_locks.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace gallows {

namespace {

// The socket's address, or false when the path does not fit in one.
bool socketAddress(const QString &path, sockaddr_un *address)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || size_t(native.size()) >= sizeof(address->sun_path))
        return false;
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, native.constData(), size_t(native.size()));
    return true;
}

// Tells the copy listening at `path` to come to the front. Nothing listening
// (a copy still starting, or one that has just died) is no error.
void askToRaise(const QString &path)
{
    sockaddr_un address;
    if (!socketAddress(path, &address))
        return;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0) {
        static const char request[] = "raise\n";
        [[maybe_unused]] const ssize_t sent = ::send(fd, request, sizeof(request) - 1, MSG_NOSIGNAL);
    }
    ::close(fd);
}

} // namespace

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::~SingleInstance()
{
    if (m_listener >= 0) {
        delete m_notifier;
        ::close(m_listener);
        QFile::remove(m_socketPath);
    }
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
    m_socketPath = dir + QStringLiteral("/tarvolin-gallows.socket");
    removeAbandonedLock(dir + QStringLiteral("/tarvolin-gallows.lock"));
    m_lock = std::make_unique<QLockFile>(dir + QStringLiteral("/tarvolin-gallows.lock"));
    // The owner's process id decides staleness, never the lock's age.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            askToRaise(m_socketPath);
            return false;
        }
        // The runtime folder is unusable: better a second copy than none.
        return true;
    }
    listen();
    return true;
}

// Without the socket the game still runs; a second copy then just cannot
// bring this one to the front.
void SingleInstance::listen()
{
    sockaddr_un address;
    if (!socketAddress(m_socketPath, &address))
        return;
    // Holding the lock makes any socket file there a dead copy's leftover.
    ::unlink(address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    // Only this user may connect. All a connection can do is ask for the
    // window to come to the front.
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0
        || ::chmod(address.sun_path, 0600) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return;
    }
    m_listener = fd;
}

void SingleInstance::answerLaterCopies()
{
    if (m_listener < 0 || m_notifier)
        return;
    m_notifier = new QSocketNotifier(m_listener, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SingleInstance::acceptPeers);
    acceptPeers();
}

void SingleInstance::acceptPeers()
{
    for (;;) {
        const int peer = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0) {
            if (errno == EINTR)
                continue;
            return; // EAGAIN: no one else is waiting
        }
        ::close(peer);
        emit raiseRequested();
    }
}

} // namespace gallows
