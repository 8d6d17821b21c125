// Plays cues through the game's own player in a process of its own, so that
// the audio tests can run it as the game runs: from another program folder,
// as the first cue of a run, with no sound server or one that goes away.
//
//   cue_probe [--gap MS] [--after MS] CUE...
//
// CUE is a file name in Data/Gallows/Sounds ("win1.wav") or "all" for the
// twelve cues. The player finds its data as the game does, from the
// program's folder. The cues are started GAP ms apart (default 50), and the
// probe ends AFTER ms (default 300) past the last one. It prints how many cue
// files the player found, when each play() began (QElapsedTimer's clock, ms)
// and how long it took, and the longest.

#include "qt_cue_player.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int gap = 50;
    int after = 300;
    QStringList cues;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (arg == QLatin1String("--gap") && !args.isEmpty())
            gap = args.takeFirst().toInt();
        else if (arg == QLatin1String("--after") && !args.isEmpty())
            after = args.takeFirst().toInt();
        else if (arg == QLatin1String("all"))
            cues << gallows::QtCuePlayer::cueFiles();
        else
            cues << QStringLiteral("Data/Gallows/Sounds/") + arg;
    }

    auto owned = std::make_unique<gallows::QtCuePlayer>();
    gallows::QtCuePlayer &player = *owned;
    int found = 0;
    for (const QString &cue : gallows::QtCuePlayer::cueFiles())
        found += player.lengthMs(cue) > 0 ? 1 : 0;
    printf("found %d\n", found);

    qint64 longest = 0;
    int next = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (next == cues.size()) {
            timer.stop();
            QTimer::singleShot(after, &app, &QCoreApplication::quit);
            return;
        }
        QElapsedTimer took;
        took.start();
        player.play(cues.at(next++));
        const qint64 us = took.nsecsElapsed() / 1000;
        printf("play %lld us at %lld ms\n", static_cast<long long>(us),
               static_cast<long long>(took.msecsSinceReference()));
        longest = std::max(longest, us);
    });
    timer.start(gap);
    const int rc = app.exec();
    printf("played %d\nlongest play %lld us\n", next, static_cast<long long>(longest));
    // The game lets go of its player before the application ends, too.
    timer.stop();
    owned.reset();
    return rc;
}
