#pragma once
// Start-up: the catalogue opened on a second thread while the game window is
// built, then the first game. Anything that fails on
// the way is shown to the player and ends the program without saving.
//
// With the logging category gallows.startup switched on
// (QT_LOGGING_RULES="gallows.startup.debug=true"), the milestones are logged
// in milliseconds since the process started (the benchmark reads them):
//   window-shown-ms 123.4
//   reveal-started-ms 130.2
//   board-revealed-ms 456.7 cells 12
//   sound-ready-ms 957.1

#include "app/deferred_cue_player.h"
#include "app/std_random.h"
#include "game/interfaces.h"
#include "stats/qt_settings_store.h"
#include "ui/qt_services.h"

#include <QImage>
#include <QList>

#include <future>
#include <memory>

namespace gallows {

class GameRules;
class SingleInstance;
class GameWindow;

// The shipped catalogue as it is being opened on a thread of its own, from
// start() on: the first call waits for it and throws what the opening threw.
// Started once the application object exists (the plugin loader and Qt's
// own start would otherwise wait on each other), so that the opening goes
// on while the window is built. Once the catalogue is open, the same thread
// reads the application icon and the first board's picture into images,
// handed over by takeIcon() and takeFirstPicture().
class OpeningCatalogue : public Catalogue {
public:
    void start(const QString &firstPicturePath);

    int count() const override;
    GameRecord fetch(int row) override;
    void close() override;

    // After the first call: what was read ahead, once; a null image or no
    // images when it did not read.
    QImage takeFirstPicture();
    QList<QImage> takeIcon();

private:
    struct Opened {
        std::unique_ptr<Catalogue> catalogue;
        QImage firstPicture;
        QList<QImage> icon;
    };

    Catalogue &opened() const;

    mutable std::future<Opened> m_opening;
    mutable Opened m_opened;
};

// The rest of start-up, once the application object exists: the catalogue
// opening, the application's name, style, font and icon, the services, the
// rules and the window.
class Startup {
public:
    explicit Startup(SingleInstance &instance);
    ~Startup();

    // Builds and shows the window and starts the first game. False when the
    // game cannot go on: the player has been told why, and the program ends
    // with exitStatus().
    bool showWindow();
    int exitStatus() const { return m_status; }

private:
    void traceMilestones();
    void warmUpSoundLater();

    SingleInstance &m_instance;
    OpeningCatalogue m_catalogue;
    QtMessageBox m_messages;
    QtSettingsStore m_settings;
    DeferredCuePlayer m_cues;
    StdRandom m_random;
    QtPictureSource m_pictures;
    QtTicker m_ticker;
    std::unique_ptr<GameRules> m_game;
    std::unique_ptr<GameWindow> m_window;
    int m_status = 0;
};

} // namespace gallows
