// Start-up: one copy only, open the catalogue, read its identifiers, then the
// game window and the first game. Anything that fails on the way is shown to
// the player and ends the program without saving.
//
// A second copy ends first of all, before anything else is started. Then the
// two slow preparations, reading the font configuration and opening the
// catalogue (loading its reader, deriving or looking up the key), start on a
// thread of their own, and go on while Qt connects to the display and the
// window is built.

#include "ui/about_dialog.h"
#include "app/catalogue/catalogue_reader_module.h"
#include "app/command_line.h"
#include "app/deferred_cue_player.h"
#include "ui/game_window.h"
#include "game/game_rules.h"
#include "ui/game_style.h"
#include "app/paths.h"
#include "ui/qt_services.h"
#include "stats/qt_settings_store.h"
#include "app/single_instance.h"
#include "app/std_random.h"
#include "bench/timing_trace.h"

#include <QApplication>
#include <QIcon>
#include <QThread>
#include <QTimer>

#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <malloc.h>
#include <future>
#include <memory>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const QString kNoGames = QStringLiteral(
    "No games to use as words! Download the latest Brisklore Games Encyclopedia update to play Gallows!");

// Why the game stops before it could start is also said on standard error,
// for whoever started it from a terminal or a script.
void tell(const QString &text)
{
    fprintf(stderr, "gallows: %s\n", qPrintable(text));
}

constexpr int kBackgroundNice = 10;

// Loads the catalogue reader and opens the catalogue with it. Loading takes
// the dynamic loader's lock, which Qt needs too while it starts: that part
// runs at full speed. Deriving the key then gives way to the display
// connection and the window, which need the processor at the same time and
// do not wait for the catalogue until they are done.
std::unique_ptr<gallows::Catalogue> openCatalogue(const QString &path)
{
    namespace reader = gallows::reader_module;
    QString error;
    const auto open = reinterpret_cast<reader::OpenFunction>(
        gallows::resolvePart(reader::kFileName, reader::kOpenSymbol, &error));
    if (!open)
        throw gallows::GameError(
            QStringLiteral("The games catalogue %1 cannot be read: the catalogue reader did not load (%2).")
                .arg(path, error));
    setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), kBackgroundNice);
    std::unique_ptr<gallows::Catalogue> catalogue(open(path, &error));
    if (!catalogue)
        throw gallows::GameError(error);
    return catalogue;
}

// The catalogue as it is being opened on a second thread: the first call
// waits for it, and throws what the opening threw. The same thread first
// reads the font configuration (Fontconfig does that once per process, and
// Qt's own FcInit() then finds it done) and decodes the window icon's
// pictures; takeIcon() waits for that part only.
class OpeningCatalogue : public gallows::Catalogue {
public:
    OpeningCatalogue()
        : opening(std::async(std::launch::async, [looks = &looks] {
              FcInit();
              QList<QImage> icon;
              try {
                  icon = gallows::decodeIconImages();
              } catch (...) { // out of memory: the window goes without its icon
              }
              looks->set_value(std::move(icon));
              return openCatalogue(gallows::dataPath(QStringLiteral("Data/bsk.cab")));
          }))
    {
    }
    // Waits for the font configuration and the icon; hands the icon's
    // pictures over once.
    QList<QImage> takeIcon()
    {
        if (!looksReady.valid())
            return {};
        return looksReady.get();
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
    std::promise<QList<QImage>> looks;
    std::future<QList<QImage>> looksReady = looks.get_future();
    mutable std::future<std::unique_ptr<gallows::Catalogue>> opening;
    mutable std::unique_ptr<gallows::Catalogue> catalogue;
};

int Main(QApplication &app, OpeningCatalogue &catalogue, gallows::SingleInstance &instance)
{
    gallows::QtMessageBox messages;
    gallows::QtSettingsStore settings;
    gallows::DeferredCuePlayer cues;
    gallows::StdRandom random;
    gallows::QtPictureSource pictures(gallows::dataRoot());
    gallows::QtTicker ticker;
    std::unique_ptr<gallows::GameRules> game;
    std::unique_ptr<gallows::GameWindow> window;

    try {
        const gallows::Services services{catalogue, settings, cues, messages, random, pictures, ticker};
        game = std::make_unique<gallows::GameRules>(services);
        if (gallows::bench::timingTraceWanted()) // GALLOWS_TRACE_TIMING, for bench/
            gallows::bench::traceReveal(game.get(), &gallows::GameRules::stateChanged,
                                        [g = game.get()] { return g->titleLength(); });
        ticker.setCallback([g = game.get()] { g->revealNextCell(); });
        window = std::make_unique<gallows::GameWindow>(*game, pictures);
        QCoreApplication::processEvents();
        if (catalogue.count() == 0) {
            window->discardWithoutSaving();
            window.reset();
            tell(kNoGames);
            messages.show(kNoGames);
            return 0;
        }
        messages.setParentWindow(window.get());
        game->loadSettings();
        window->show();
        if (gallows::bench::timingTraceWanted())
            new gallows::bench::ExposeTrace(window->windowHandle());
        game->startGame();
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
    *warmUp = QObject::connect(game.get(), &gallows::GameRules::stateChanged, window.get(),
                               [g = game.get(), &cues, warmUp] {
                                   if (g->isRevealing())
                                       return;
                                   QObject::disconnect(*warmUp);
                                   QTimer::singleShot(500, g, [&cues] {
                                       cues.warmUp();
                                       if (gallows::bench::timingTraceWanted())
                                           gallows::bench::traceMilestone("sound-ready-ms");
                                   });
                               });

    QObject::connect(&instance, &gallows::SingleInstance::raiseRequested, window.get(),
                     [w = window.get()] {
                         w->showNormal();
                         w->raise();
                         w->activateWindow();
                     });
    instance.answerLaterCopies();
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // --help, --version or anything else on the command line is answered
    // here, before any of what follows starts.
    if (argc > 1)
        return gallows::answerCommandLine(argc, argv);
    // One heap for every thread: the start-up helper's allocations would
    // otherwise sit in an arena of their own, with its own slack.
    mallopt(M_ARENA_MAX, 1);
    // Qt takes the first thread that asks for its thread data as the main
    // thread: that must be this one, before the helper starts.
    QThread::currentThread();
    // A second copy leaves here, having touched neither the catalogue, the
    // fonts, the display nor the sound stack.
    gallows::SingleInstance instance;
    if (!instance.acquire())
        return 0;
    OpeningCatalogue catalogue;
    QApplication app(argc, argv);
    QApplication::setStyle(new gallows::GameStyle);
    QApplication::setFont(gallows::GameWindow::controlFont());
    QApplication::setApplicationName(QStringLiteral("Tarvolin Gallows"));
    QApplication::setOrganizationName(QStringLiteral("Tarvolin"));
    QApplication::setApplicationVersion(QStringLiteral(GALLOWS_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(GALLOWS_APP_ID));
    QApplication::setWindowIcon(gallows::embeddedIcon(catalogue.takeIcon()));
    return Main(app, catalogue, instance);
}
