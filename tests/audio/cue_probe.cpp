// The game's cue player in a process of its own, driven line by line from
// standard input ("play CUE", CUE a file in Data/Gallows/Sounds or "all" for
// the twelve in turn; "quit"), so that the tests can take its sound server
// away while it works. It says "sent CUE STATE" when play() has returned,
// "state CUE STATE" once the last cue's stream is somewhere and whenever that
// changes (none, starting, playing, failed), "connected" once the player has
// reached a server, and "bye" once the player is gone.

#include "pulse_cue_player.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <unistd.h>

using gallows::PulseCuePlayer;

int main(int argc, char **argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    auto player = std::make_unique<PulseCuePlayer>();
    const char *const names[] = {"none", "starting", "playing", "failed"};
    QByteArray last, pending;
    PulseCuePlayer::Stream lastState = PulseCuePlayer::Stream::None;
    QTimer watch;
    bool connected = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!connected && (connected = player->connected()))
            printf("connected\n");
        if (player->stream() != lastState)
            printf("state %s %s\n", last.constData(), names[int(lastState = player->stream())]);
    });
    watch.start(5);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        pending.append(buffer, std::max<ssize_t>(n, 0));
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QString line = QString::fromUtf8(pending.left(end));
            const QStringList cues = line == QLatin1String("play all") ? PulseCuePlayer::cueFiles()
                                     : line.startsWith(QLatin1String("play ")) ? QStringList{"Data/Gallows/Sounds/" + line.mid(5)}
                                                                               : QStringList();
            for (const QString &cue : cues) {
                player->play(cue);
                last = cue.section(QLatin1Char('/'), -1).toUtf8();
                printf("sent %s %s\n", last.constData(), names[int(player->stream())]);
                lastState = PulseCuePlayer::Stream::None; // the watch says where it is
            }
            if (line == QLatin1String("quit"))
                app.quit();
        }
        if (n <= 0)
            app.quit();
    });
    app.exec();
    watch.stop();
    player.reset();
    printf("bye\n");
    return 0;
}
