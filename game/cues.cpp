#include "game/cues.h"

namespace gallows {

bool cueSounds(Cue cue, int level)
{
    switch (cue) {
    case Cue::Correct:
        return level != 3 && level != 4;
    case Cue::Wrong:
    case Cue::GiveUp:
        return level != 2 && level != 3 && level != 4;
    case Cue::Win:
    case Cue::WinFirstMove:
    case Cue::Lose:
        return level != 4;
    }
    return false;
}

QString cueFile(Cue cue, int variant)
{
    const QString dir = QStringLiteral("Data/Gallows/Sounds/");
    switch (cue) {
    case Cue::Correct:
        return dir + QStringLiteral("correct%1.wav").arg(variant);
    case Cue::Wrong:
        return dir + QStringLiteral("wrong%1.wav").arg(variant);
    case Cue::Win:
        return dir + QStringLiteral("win1.wav");
    case Cue::WinFirstMove:
        return dir + QStringLiteral("win2.wav");
    case Cue::Lose:
        return dir + QStringLiteral("lose1.wav");
    case Cue::GiveUp:
        return dir + QStringLiteral("giveup1.wav");
    }
    return QString();
}

QString soundLevelCaption(int level)
{
    switch (level) {
    case 1: return QStringLiteral("All Enabled");
    case 2: return QStringLiteral("Only when a guess is correct");
    case 3: return QStringLiteral("Only at win and lose screens");
    case 4: return QStringLiteral("Total silence");
    }
    return QString();
}

} // namespace gallows
