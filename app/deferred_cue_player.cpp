#include "app/deferred_cue_player.h"

#include "app/paths.h"
#include "sound/cue_player_factory.h"

#include <cstdio>

namespace gallows {

// The player goes before the part its code lives in could; the part itself
// stays loaded until the program ends.
DeferredCuePlayer::~DeferredCuePlayer() = default;

void DeferredCuePlayer::warmUp()
{
    if (m_tried)
        return;
    m_tried = true;
    QString why;
    if (auto *factory = loadPlugin<CuePlayerFactory>(QStringLiteral("gallows-cue-player.so"), &why))
        m_player = factory->create(dataRoot());
    if (!m_player)
        fprintf(stderr, "gallows: playing without sound: %s\n", qPrintable(why));
}

void DeferredCuePlayer::play(const QString &relativePath)
{
    warmUp();
    if (m_player)
        m_player->play(relativePath);
}

} // namespace gallows
