#include "app/deferred_cue_player.h"

#include "sound/cue_player_module.h"
#include "app/paths.h"

#include <cstdio>

namespace gallows {

// The player goes before the part its code lives in could; the part itself
// stays loaded until the program ends.
DeferredCuePlayer::~DeferredCuePlayer() = default;

void DeferredCuePlayer::warmUp()
{
    if (tried)
        return;
    tried = true;
    QString why;
    const auto make = reinterpret_cast<cue_module::MakeFunction>(
        resolvePart(cue_module::kFileName, cue_module::kMakeSymbol, &why));
    if (make)
        player.reset(make(dataRoot()));
    if (!player)
        fprintf(stderr, "gallows: playing without sound: %s\n", qPrintable(why));
}

void DeferredCuePlayer::play(const QString &relativePath)
{
    warmUp();
    if (player)
        player->play(relativePath);
}

} // namespace gallows
