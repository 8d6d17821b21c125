// Preloaded into the game by the kill test: SIGSTOP at the first rename into the
// folder GALLOWS_PAUSE_DIR, before it or (GALLOWS_PAUSE_AT=after) after it.

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
    const bool after = pause && at && std::strcmp(at, "after") == 0;
    paused = paused || pause;
    if (pause && !after)
        ::raise(SIGSTOP);
    const int result = next(from, to);
    if (after)
        ::raise(SIGSTOP);
    return result;
}
