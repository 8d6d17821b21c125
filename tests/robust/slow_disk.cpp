// Preloaded into the game by the kill test (LD_PRELOAD): every write,
// fsync and rename of a file in the folder GALLOWS_SLOW_DIR first waits
// GALLOWS_SLOW_US microseconds. A save to the settings store then takes
// long enough for a kill at a random moment to land in the middle of it,
// which is where a store that is not replaced whole would show damage.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char *slowDir()
{
    static const char *dir = std::getenv("GALLOWS_SLOW_DIR");
    return dir;
}

bool inSlowDir(const char *path)
{
    const char *dir = slowDir();
    if (!dir || !*dir || !path)
        return false;
    const size_t length = std::strlen(dir);
    return std::strncmp(path, dir, length) == 0 && path[length] == '/';
}

bool fdInSlowDir(int fd)
{
    if (!slowDir())
        return false;
    const int saved = errno;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    errno = saved;
    if (n <= 0)
        return false;
    target[n] = '\0';
    return inSlowDir(target);
}

void slowDown()
{
    static const long us = [] {
        const char *text = std::getenv("GALLOWS_SLOW_US");
        return text ? std::strtol(text, nullptr, 10) : 0L;
    }();
    if (us > 0) {
        const int saved = errno;
        ::usleep(useconds_t(us));
        errno = saved;
    }
}

template<typename F>
F real(const char *name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

ssize_t write(int fd, const void *buffer, size_t count)
{
    static const auto next = real<ssize_t (*)(int, const void *, size_t)>("write");
    if (fdInSlowDir(fd))
        slowDown();
    return next(fd, buffer, count);
}

int fsync(int fd)
{
    static const auto next = real<int (*)(int)>("fsync");
    if (fdInSlowDir(fd))
        slowDown();
    return next(fd);
}

int fdatasync(int fd)
{
    static const auto next = real<int (*)(int)>("fdatasync");
    if (fdInSlowDir(fd))
        slowDown();
    return next(fd);
}

int rename(const char *from, const char *to)
{
    static const auto next = real<int (*)(const char *, const char *)>("rename");
    if (inSlowDir(to))
        slowDown();
    return next(from, to);
}

int renameat(int fromDir, const char *from, int toDir, const char *to)
{
    static const auto next = real<int (*)(int, const char *, int, const char *)>("renameat");
    if (inSlowDir(to))
        slowDown();
    return next(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned int flags)
{
    static const auto next = real<int (*)(int, const char *, int, const char *, unsigned int)>("renameat2");
    if (inSlowDir(to))
        slowDown();
    return next(fromDir, from, toDir, to, flags);
}

} // extern "C"
