// The yardstick for the game's start-up and memory: a bare Qt Widgets
// QMainWindow of the game window's size, nothing in it, shown the way the
// game shows its window. With the logging category gallows.startup switched
// on, it logs window-shown-ms as the game does (app/startup.cpp): at the
// window's first expose, in milliseconds since the kernel started the process.

#include <QApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QWindow>

#include <ctime>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcStartup, "gallows.startup", QtInfoMsg)

namespace {

// The process's start time in /proc/self/stat (field 22, clock ticks since
// boot, rounded down to a tick) against CLOCK_BOOTTIME now.
double msSinceProcessStart()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int kStartTime = 22 - 3;
    if (fields.size() <= kStartTime)
        return -1;
    const double nowMs = double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    return nowMs - double(fields[kStartTime].toULongLong()) * 1e3 / double(sysconf(_SC_CLK_TCK));
}

class ExposeMilestone : public QObject {
public:
    explicit ExposeMilestone(QWindow *window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            qCDebug(lcStartup, "window-shown-ms %.1f", msSinceProcessStart());
            watched->removeEventFilter(this);
        }
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    // The game window: 513 x 306 pixels of client area under a menu bar.
    window.setFixedSize(513, 330);
    window.show();
    if (lcStartup().isDebugEnabled())
        new ExposeMilestone(window.windowHandle());
    return app.exec();
}
