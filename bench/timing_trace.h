#pragma once
// The opt-in start-up trace read by bench/: with GALLOWS_TRACE_TIMING set in
// the environment, a program prints its milestones on standard error as
//   window-shown-ms 123.4
//   reveal-started-ms 130.2
//   board-revealed-ms 456.7 cells 12
// Every figure is in milliseconds since the kernel started the process: its
// start time from /proc/self/stat (field 22, in clock ticks since boot)
// against CLOCK_BOOTTIME now. The kernel keeps that start time in whole
// ticks (10 ms at the usual 100 Hz), rounded down, so a figure can read up to
// one tick late; the game and the bare window measure the same way.
//
// Header only: the game's main.cpp and the bench's bare window both use it.
// Without the variable nothing is installed and nothing is printed.

#include <QByteArray>
#include <QEvent>
#include <QFile>
#include <QList>
#include <QObject>
#include <QWindow>

#include <cstdio>
#include <ctime>
#include <memory>
#include <unistd.h>

namespace gallows::bench {

inline bool timingTraceWanted()
{
    static const bool wanted = qEnvironmentVariableIsSet("GALLOWS_TRACE_TIMING");
    return wanted;
}

// Milliseconds since this process was started, or -1 when /proc says nothing.
inline double msSinceProcessStart()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The command name in field 2 may hold spaces and brackets: count the
    // fields from after its closing bracket, where field 3 starts.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    constexpr int kStartTime = 22 - 3;
    if (fields.size() <= kStartTime)
        return -1;
    const double ticks = double(fields[kStartTime].toULongLong());
    const double nowMs = double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    return nowMs - ticks * 1e3 / double(sysconf(_SC_CLK_TCK));
}

inline void traceMilestone(const char *name, const QByteArray &more = {})
{
    const double ms = msSinceProcessStart();
    std::fprintf(stderr, "%s %.1f%s%s\n", name, ms, more.isEmpty() ? "" : " ", more.constData());
    std::fflush(stderr);
}

// Prints window-shown-ms when `window` is first exposed on the screen, that
// is when the display server has mapped it and it is about to be painted.
class ExposeTrace : public QObject {
public:
    explicit ExposeTrace(QWindow *window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            traceMilestone("window-shown-ms");
            watched->removeEventFilter(this);
        }
        return false;
    }
};

// Prints reveal-started-ms when `revealing()` turns true and
// board-revealed-ms (with `cells()`) when it next turns false, for every board, checked after
// every `changed` signal of `game`. Connect it before anything else listens,
// so the times are taken as the state changes and not after the redraw.
template<typename Game, typename Signal, typename Cells>
void traceReveal(Game *game, Signal changed, Cells cells)
{
    auto seen = std::make_shared<int>(0); // 0 not revealing, 1 revealing
    QObject::connect(game, changed, game, [game, seen, cells] {
        if (*seen == 0 && game->isRevealing()) {
            *seen = 1;
            traceMilestone("reveal-started-ms");
        } else if (*seen == 1 && !game->isRevealing()) {
            *seen = 0; // and again for every later board
            traceMilestone("board-revealed-ms", "cells " + QByteArray::number(cells()));
        }
    });
}

} // namespace gallows::bench
