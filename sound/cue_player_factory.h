#pragma once
// The cue player as the game loads it at run time, a Qt plugin
// (gallows-cue-player.so): Qt Multimedia, the sound server's client library
// and their codecs are loaded only once the first board is up, not before the
// window can show.

#include "game/interfaces.h"

#include <QtPlugin>

#include <memory>

namespace gallows {

class CuePlayerFactory {
public:
    virtual ~CuePlayerFactory() = default;
    // A new player reading the cues from the folder that holds Data/.
    virtual std::unique_ptr<CuePlayer> create(const QString &dataRoot) = 0;
};

} // namespace gallows

// Change the version whenever this class or CuePlayer changes.
#define GallowsCuePlayerFactory_iid "org.tarvolin.Gallows.CuePlayerFactory/3"
Q_DECLARE_INTERFACE(gallows::CuePlayerFactory, GallowsCuePlayerFactory_iid)
