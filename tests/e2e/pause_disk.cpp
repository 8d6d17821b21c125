// Preloaded into the game by the kill test (LD_PRELOAD): the first rename of
// a file into the folder GALLOWS_PAUSE_DIR, which is how the settings store
// replaces its file, stops the process (SIGSTOP) just before the rename
// (GALLOWS_PAUSE_AT=before) or just after it (=after), for the test to see
// where it stands and kill it there.

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

extern "C" int rename(const char *from, const char *to)
{
    static const auto next = reinterpret_cast<int (*)(const char *, const char *)>(::dlsym(RTLD_NEXT, "rename"));
    static bool paused = false;
    const char *dir = std::getenv("GALLOWS_PAUSE_DIR");
    const char *at = std::getenv("GALLOWS_PAUSE_AT");
    const bool pause = !paused && dir && to && std::strncmp(to, dir, std::strlen(dir)) == 0;
    const bool after = at && std::strcmp(at, "after") == 0;
    paused = paused || pause;
    if (pause && !after)
        ::raise(SIGSTOP);
    const int result = next(from, to);
    if (pause && after)
        ::raise(SIGSTOP);
    return result;
}
