// The game's cue player in a process of its own, driven line by line from
// standard input ("play CUE", CUE a file in Data/Gallows/Sounds; "quit"), so
// that the tests can take its sound server away while it works. It says "sent
// CUE" when play() has returned, "stage CUE STAGE" whenever the player's
// thread is somewhere new with the last cue (idle, opening, playing), and
// "bye" once the player is gone.

#include "qt_cue_player.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <unistd.h>

using gallows::QtCuePlayer;

int main(int argc, char **argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    auto player = std::make_unique<QtCuePlayer>();
    const char *const names[] = {"idle", "opening", "playing"};
    QByteArray last;
    QtCuePlayer::Stage lastStage = QtCuePlayer::Stage::Idle;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (player->stage() != lastStage)
            printf("stage %s %s\n", last.constData(), names[int(lastStage = player->stage())]);
    });
    watch.start(5);
    QFile input;
    input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    QSocketNotifier lines(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&lines, &QSocketNotifier::activated, [&] {
        const QByteArray line = input.readLine().trimmed();
        if (line.startsWith("play ")) {
            player->play("Data/Gallows/Sounds/" + QString::fromUtf8(last = line.mid(5)));
            printf("sent %s\n", last.constData());
        } else if (line.isEmpty() || line == "quit") { // the end of the input, or quit
            app.quit();
        }
    });
    app.exec();
    player.reset();
    printf("bye\n");
    return 0;
}
