#pragma once
// The player of a real run. Loading the cue player, reading the cues and
// connecting to the sound server wait until the game window is up: warmUp()
// is called once the first board is shown, or the first cue does it. When
// the player cannot be loaded the game goes on in silence, and says why once
// on standard error.

#include "interfaces.h"

#include <QString>

#include <memory>

namespace gallows {

class DeferredCuePlayer : public CuePlayer {
public:
    // Loads the player from `modulePath` (by default the game's own
    // gallows-cue-player.so, see modulePath()).
    explicit DeferredCuePlayer(QString modulePath = QString());
    ~DeferredCuePlayer() override;

    void warmUp();
    void play(const QString &relativePath) override;

    // After warmUp(): whether a player was loaded, and if not, why.
    bool loaded() const { return player != nullptr; }
    QString failure() const { return why; }

private:
    QString path;
    bool tried = false;
    std::unique_ptr<CuePlayer> player;
    QString why;
};

} // namespace gallows
