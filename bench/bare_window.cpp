// The yardstick for the game's start-up and memory: a bare Qt Widgets
// QMainWindow of the game window's size, nothing in it, shown the way the
// game shows its window. With the logging category gallows.startup switched
// on, it logs window-shown-ms with the game's own clock (app/startup_milestones.h): at the
// window's first expose, in milliseconds since the kernel started the process.

#include "app/startup_milestones.h"

#include <QApplication>
#include <QMainWindow>

Q_LOGGING_CATEGORY(lcStartup, "gallows.startup", QtInfoMsg)

using gallows::ExposeMilestone;

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
