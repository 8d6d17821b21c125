// gallows-cue-player.so: the Qt Multimedia cue player as a plugin.

#include "sound/cue_player_factory.h"
#include "sound/qt_cue_player.h"

#include <QObject>

namespace gallows {

class QtCuePlayerFactory : public QObject, public CuePlayerFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID GallowsCuePlayerFactory_iid)
    Q_INTERFACES(gallows::CuePlayerFactory)

public:
    std::unique_ptr<CuePlayer> create(const QString &dataRoot) override
    {
        return std::make_unique<QtCuePlayer>(dataRoot);
    }
};

} // namespace gallows

#include "cue_player_plugin.moc"
