#pragma once
// Start-up milestones, logged to the category gallows.startup (off by
// default; QT_LOGGING_RULES="gallows.startup.debug=true" turns it on) in
// milliseconds since the process started. Header only, so that the
// benchmark's bare window measures itself exactly as the game does.

#include <QByteArray>
#include <QEvent>
#include <QFile>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QWindow>

#include <ctime>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcStartup)

namespace gallows {

// Milliseconds since the kernel started this process: its start time in
// /proc/self/stat (field 22, clock ticks since boot, rounded down to a tick)
// against CLOCK_BOOTTIME now. -1 when /proc says nothing.
inline double msSinceProcessStart()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The command name in field 2 may hold spaces and brackets: fields are
    // counted from after its closing bracket, where field 3 starts.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int kStartTime = 22 - 3;
    if (fields.size() <= kStartTime)
        return -1;
    const double nowMs = double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    return nowMs - double(fields[kStartTime].toULongLong()) * 1e3 / double(sysconf(_SC_CLK_TCK));
}

inline void milestone(const char *name, const QByteArray &more = {})
{
    qCDebug(lcStartup, "%s %.1f%s", name, msSinceProcessStart(), more.constData());
}

// Logs window-shown-ms when the window is first exposed: the display server
// has mapped it and Qt is about to paint it.
class ExposeMilestone : public QObject {
public:
    explicit ExposeMilestone(QWindow *window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            milestone("window-shown-ms");
            watched->removeEventFilter(this);
        }
        return false;
    }
};

} // namespace gallows
