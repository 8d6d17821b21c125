#pragma once

namespace gallows {

// The game takes no arguments but --help and --version. Called only when
// there are arguments: answers them on the terminal and returns the exit
// status (0, or 2 for anything it does not understand), before any window,
// lock, catalogue or settings.
int answerCommandLine(int argc, char *argv[]);

} // namespace gallows
