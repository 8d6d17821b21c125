#pragma once
// The player of a real run. Loading the cue player, reading the cues and
// connecting to the sound server wait until the game window is up: warmUp()
// is called once the first board is shown, or the first cue does it. When
// the player cannot be loaded the game goes on in silence, and says why once
// on standard error.

#include "game/interfaces.h"

#include <QString>

#include <memory>

namespace gallows {

class DeferredCuePlayer : public CuePlayer {
public:
    // The player is loaded from the game's plugin gallows-cue-player.so
    // (see modulePath()).
    DeferredCuePlayer() = default;
    ~DeferredCuePlayer() override;

    void warmUp();
    void play(const QString &relativePath) override;

private:
    bool m_tried = false;
    std::unique_ptr<CuePlayer> m_player;
};

} // namespace gallows
