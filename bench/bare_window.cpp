// The yardstick for the game's start-up and memory: a bare Qt Widgets
// QMainWindow of the game window's size, nothing in it, shown the way the
// game shows its window and timed by the same trace (timing_trace.h).

#include "bench/timing_trace.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    // The game window: 513 x 306 pixels of client area under a menu bar.
    window.setFixedSize(513, 330);
    window.show();
    if (gallows::bench::timingTraceWanted())
        new gallows::bench::ExposeTrace(window.windowHandle());
    return app.exec();
}
