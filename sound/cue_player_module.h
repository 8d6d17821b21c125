#pragma once
// The cue player as a part the game loads at run time: Qt Multimedia, the
// sound server's client library and their codecs are loaded only once the
// first board is up, not before the window can show.

#include "game/interfaces.h"

namespace gallows::cue_module {

inline constexpr char kFileName[] = "gallows-cue-player.so";
// Bump the number whenever the signature or the CuePlayer interface changes.
inline constexpr char kMakeSymbol[] = "gallows_make_cue_player_v2";

// A new player reading the cues from the game's data folder; the caller owns it.
using MakeFunction = CuePlayer *(*)(const QString &dataRoot);

} // namespace gallows::cue_module
