// Start-up: one copy only, open the catalogue, read its identifiers, then the
// game window and the first game. Anything that fails on the way is shown to
// the player and ends the program without saving.

#include "about_window.h"
#include "game_window.h"
#include "gallows_game.h"
#include "paths.h"
#include "qt_cue_player.h"
#include "qt_services.h"
#include "qt_settings_store.h"
#include "single_instance.h"
#include "sqlcipher_catalogue.h"
#include "std_random.h"
#include "../bench/timing_trace.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <future>
#include <memory>

namespace {

const QString kNoGames = QStringLiteral(
    "No games to use as words! Download the latest Brisklore Games Encyclopedia update to play Gallows!");

// Why the game stops before it could start is also said on standard error,
// for whoever started it from a terminal or a script.
void tell(const QString &text)
{
    fprintf(stderr, "gallows: %s\n", qPrintable(text));
}

// The catalogue as it is being opened on a second thread: the first call
// waits for it, and throws what the opening threw.
class OpeningCatalogue : public gallows::Catalogue {
public:
    explicit OpeningCatalogue(const QString &path)
        : opening(std::async(std::launch::async,
                             [path] { return std::make_unique<gallows::SqlCipherCatalogue>(path); }))
    {
    }
    gallows::Catalogue &opened() const
    {
        if (!catalogue)
            catalogue = opening.get();
        return *catalogue;
    }
    int count() const override { return opened().count(); }
    gallows::GameRecord fetch(int row) override { return opened().fetch(row); }
    void close() override { opened().close(); }

private:
    mutable std::future<std::unique_ptr<gallows::SqlCipherCatalogue>> opening;
    mutable std::unique_ptr<gallows::SqlCipherCatalogue> catalogue;
};

int Main(QApplication &app)
{
    gallows::SingleInstance instance;
    if (!instance.acquire())
        return 0;

    // Deriving the catalogue's key takes tens of milliseconds: it goes on
    // while the window is built, and is waited for before the window shows.
    OpeningCatalogue catalogue(gallows::dataPath(QStringLiteral("Data/bsk.cab")));
    gallows::QtMessageBox messages;
    gallows::QtSettingsStore settings;
    gallows::DeferredCuePlayer cues;
    gallows::StdRandom random;
    gallows::QtPictureSource pictures;
    gallows::QtTicker ticker;
    std::unique_ptr<gallows::GallowsGame> game;
    std::unique_ptr<gallows::frmGallows> window;

    try {
        gallows::Services services;
        services.catalogue = &catalogue;
        services.settings = &settings;
        services.cues = &cues;
        services.messages = &messages;
        services.random = &random;
        services.pictures = &pictures;
        services.ticker = &ticker;
        game = std::make_unique<gallows::GallowsGame>(services);
        if (gallows::bench::timingTraceWanted()) // GALLOWS_TRACE_TIMING, for bench/
            gallows::bench::traceReveal(game.get(), &gallows::GallowsGame::stateChanged,
                                        [g = game.get()] { return g->TitleLength; });
        ticker.setCallback([g = game.get()] { g->tmrLoad_Timer(); });
        window = std::make_unique<gallows::frmGallows>(*game, pictures);
        QCoreApplication::processEvents();
        if (catalogue.count() == 0) {
            window->discardWithoutSaving();
            window.reset();
            tell(kNoGames);
            messages.show(kNoGames);
            return 0;
        }
        messages.setParentWindow(window.get());
        game->Form_Load();
        window->show();
        if (gallows::bench::timingTraceWanted())
            new gallows::bench::ExposeTrace(window->windowHandle());
        game->new_game();
    } catch (const std::exception &error) {
        // GameError and anything else alike: say what went wrong, save nothing.
        ticker.stop();
        if (window)
            window->discardWithoutSaving();
        window.reset();
        messages.setParentWindow(nullptr);
        const QString text = QString::fromUtf8(error.what());
        tell(text);
        messages.show(text);
        return 1;
    }

    // The sound stack starts once the first board is up and the player has
    // had a moment with it, not while the window is still being put up.
    auto warmUp = std::make_shared<QMetaObject::Connection>();
    *warmUp = QObject::connect(game.get(), &gallows::GallowsGame::stateChanged, window.get(),
                               [g = game.get(), &cues, warmUp] {
                                   if (g->revealing())
                                       return;
                                   QObject::disconnect(*warmUp);
                                   QTimer::singleShot(500, g, [&cues] { cues.warmUp(); });
                               });

    QObject::connect(&instance, &gallows::SingleInstance::raiseRequested, window.get(),
                     [w = window.get()] {
                         w->showNormal();
                         w->raise();
                         w->activateWindow();
                     });
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvolin Gallows"));
    QApplication::setOrganizationName(QStringLiteral("Tarvolin"));
    QApplication::setApplicationVersion(QStringLiteral(GALLOWS_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(GALLOWS_APP_ID));
    QApplication::setWindowIcon(gallows::applicationIcon());
    return Main(app);
}
