// The entry point of gallows-cue-player.so.

#include "sound/cue_player_module.h"
#include "sound/qt_cue_player.h"

#include <type_traits>

extern "C" Q_DECL_EXPORT gallows::CuePlayer *gallows_make_cue_player_v2(const QString &dataRoot)
{
    static_assert(std::is_same_v<decltype(&gallows_make_cue_player_v2),
                                 gallows::cue_module::MakeFunction>);
    return new gallows::QtCuePlayer(dataRoot);
}
