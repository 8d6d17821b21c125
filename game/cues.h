#pragma once
// Which game event sounds at which sound level, and from which file.

#include <QString>

namespace gallows {

enum class Cue { Correct, Wrong, Win, WinFirstMove, Lose, GiveUp };

// Whether `cue` sounds at sound level `level`. A level outside 1..4 plays
// everything, as level 1 does.
bool cueSounds(Cue cue, int level);

// The cue's file below the program folder; `variant` (1..4) picks one of the
// four "correct" and "wrong" files and is ignored for the others.
QString cueFile(Cue cue, int variant = 1);

// The captions of the Sounds menu, levels 1 to 4.
QString soundLevelCaption(int level);

} // namespace gallows
