// Tarvolin Gallows: one copy only, then the catalogue opened on a second
// thread while the game window is built (see startup.h).

#include "app/command_line.h"
#include "app/single_instance.h"
#include "app/startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // --help, --version or anything else on the command line is answered
    // here, before any of what follows starts.
    if (argc > 1)
        return gallows::answerCommandLine(argc, argv);
    // A second copy asks the first to show itself and leaves here, having
    // touched neither the catalogue, the fonts, the display nor the sound.
    gallows::SingleInstance instance;
    if (!instance.acquire())
        return 0;
    QApplication app(argc, argv);
    gallows::Startup startup(instance);
    if (!startup.showWindow())
        return startup.exitStatus();
    return app.exec();
}
