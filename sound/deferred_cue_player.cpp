#include "deferred_cue_player.h"

#include "cue_player_module.h"
#include "paths.h"

#include <QLibrary>

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
    QLibrary part(modulePath(QString::fromLatin1(cue_module::kFileName)));
    const auto make = reinterpret_cast<cue_module::MakeFunction>(part.resolve(cue_module::kMakeSymbol));
    if (make)
        player.reset(make());
    if (!player)
        fprintf(stderr, "gallows: playing without sound: %s\n", qPrintable(part.errorString()));
}

void DeferredCuePlayer::play(const QString &relativePath)
{
    warmUp();
    if (player)
        player->play(relativePath);
}

} // namespace gallows
