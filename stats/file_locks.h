#pragma once
#include <QString>

namespace gallows {

// QLockFile creates its file empty and writes the owner's process id into it
// a moment later. A process killed in between leaves an empty lock that
// QLockFile takes for a live one (for ever, or until it is 30 s old). The
// owner would hold a flock() on it; when no one does, it is removed.
void removeAbandonedLock(const QString &lockPath);

} // namespace gallows
