// Preloaded into the game by the kill test (LD_PRELOAD): the first rename of
// a file into the folder GALLOWS_PAUSE_DIR, which is how the settings store
// replaces its file, stops the process (SIGSTOP) just before the rename
// (GALLOWS_PAUSE_AT=before) or just after it (=after). The test sees the
// stopped process, checks where it stands, and kills it there.

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

bool intoPauseDir(const char *path)
{
    static const char *dir = std::getenv("GALLOWS_PAUSE_DIR");
    static bool paused = false;
    if (paused || !dir || !path || std::strncmp(path, dir, std::strlen(dir)) != 0)
        return false;
    paused = true;
    return true;
}

bool pauseAfter()
{
    const char *at = std::getenv("GALLOWS_PAUSE_AT");
    return at && std::strcmp(at, "after") == 0;
}

template <typename F, typename... Args> int pausing(const char *name, const char *to, Args... args)
{
    static const auto next = reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
    const bool pause = intoPauseDir(to);
    if (pause && !pauseAfter())
        ::raise(SIGSTOP);
    const int result = next(args...);
    if (pause && pauseAfter())
        ::raise(SIGSTOP);
    return result;
}

} // namespace

extern "C" {

int rename(const char *from, const char *to)
{
    return pausing<int (*)(const char *, const char *)>("rename", to, from, to);
}

int renameat(int fromDir, const char *from, int toDir, const char *to)
{
    return pausing<int (*)(int, const char *, int, const char *)>("renameat", to, fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned int flags)
{
    return pausing<int (*)(int, const char *, int, const char *, unsigned int)>("renameat2", to, fromDir, from, toDir,
                                                                                to, flags);
}

} // extern "C"
