#include "deferred_cue_player.h"

#include "cue_player_module.h"
#include "paths.h"

#include <QLibrary>

#include <cstdio>

namespace gallows {

DeferredCuePlayer::DeferredCuePlayer(QString modulePath) : path(std::move(modulePath)) {}

// The player goes before the part its code lives in could; the part itself
// stays loaded until the program ends.
DeferredCuePlayer::~DeferredCuePlayer() = default;

void DeferredCuePlayer::warmUp()
{
    if (tried)
        return;
    tried = true;
    QLibrary part(path.isEmpty() ? modulePath(QString::fromLatin1(cue_module::kFileName)) : path);
    const auto make = reinterpret_cast<cue_module::MakeFunction>(part.resolve(cue_module::kMakeSymbol));
    if (make)
        player.reset(make());
    if (!player) {
        why = part.errorString();
        fprintf(stderr, "gallows: playing without sound: %s\n", qPrintable(why));
    }
}

void DeferredCuePlayer::play(const QString &relativePath)
{
    warmUp();
    if (player)
        player->play(relativePath);
}

} // namespace gallows
