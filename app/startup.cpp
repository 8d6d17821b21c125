#include "app/startup.h"
#include "app/startup_milestones.h"

#include "app/catalogue/catalogue_reader.h"
#include "app/paths.h"
#include "app/single_instance.h"
#include "game/game_rules.h"
#include "ui/about_dialog.h"
#include "ui/game_style.h"
#include "ui/game_window.h"

#include <QAccessible>
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <utility>

Q_LOGGING_CATEGORY(lcStartup, "gallows.startup", QtInfoMsg)

namespace gallows {

namespace {

const QString kNoGames = QStringLiteral(
    "No games to use as words! Download the latest Brisklore Games Encyclopedia update to play Gallows!");

// Why the game stops before it could start is also said on standard error,
// for whoever started it from a terminal or a script.
void tell(const QString &text)
{
    fprintf(stderr, "gallows: %s\n", qPrintable(text));
}

} // namespace

// The reader plugin (with SQLCipher and OpenSSL) is loaded and the catalogue
// opened on a second thread while the window is built. The plugin's instance
// stays with that thread: it has no signals, slots or timers, only the one
// call made here.
void OpeningCatalogue::start(const QString &firstPicturePath)
{
    const QString path = dataPath(QStringLiteral("Data/bsk.cab"));
    m_opening = std::async(std::launch::async, [path, firstPicturePath]() -> Opened {
        QString error;
        CatalogueReader *reader = loadPlugin<CatalogueReader>(
            QStringLiteral("gallows-catalogue-reader.so"), &error, PluginSymbols::OwnFirst);
        if (!reader)
            throw GameError(
                QStringLiteral("The games catalogue %1 cannot be read: the catalogue reader did not load (%2).")
                    .arg(path, error));
        Opened opened{reader->open(path), QImage(), applicationIconImages()};
        opened.firstPicture.load(firstPicturePath);
        return opened;
    });
}

Catalogue &OpeningCatalogue::opened() const
{
    if (!m_opened.catalogue)
        m_opened = m_opening.get();
    return *m_opened.catalogue;
}

QImage OpeningCatalogue::takeFirstPicture()
{
    return std::exchange(m_opened.firstPicture, QImage());
}

QList<QImage> OpeningCatalogue::takeIcon()
{
    return std::exchange(m_opened.icon, QList<QImage>());
}

int OpeningCatalogue::count() const { return opened().count(); }
GameRecord OpeningCatalogue::fetch(int row) { return opened().fetch(row); }
void OpeningCatalogue::close() { opened().close(); }

Startup::Startup(SingleInstance &instance)
    : m_instance(instance), m_pictures(dataRoot())
{
    // Qt sets its accessibility bridge up at the first accessibility event
    // (the window's accessible name) and starts a D-Bus thread for it. No
    // thread can start while another one is loading a library, so set up
    // then, it would wait for the catalogue thread to load the reader; set
    // up first, it does not.
    QAccessible::isActive();
    m_catalogue.start(m_pictures.fullPath(GameRules::picturePath(0)));
    QApplication::setStyle(new GameStyle);
    QApplication::setFont(GameWindow::controlFont());
    QApplication::setApplicationName(QStringLiteral("Tarvolin Gallows"));
    QApplication::setOrganizationName(QStringLiteral("Tarvolin"));
    QApplication::setApplicationVersion(QStringLiteral(GALLOWS_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(GALLOWS_APP_ID));
    // The icon comes with the catalogue (showWindow()).
}

Startup::~Startup() = default;

bool Startup::showWindow()
{
    try {
        m_game = std::make_unique<GameRules>(
            Services{m_catalogue, m_settings, m_cues, m_messages, m_random, m_pictures, m_ticker});
        // Before anything else listens, so that the times are taken as the
        // state changes and not after the redraw.
        if (lcStartup().isDebugEnabled())
            traceMilestones();
        m_ticker.setCallback([g = m_game.get()] { g->revealNextCell(); });
        m_window = std::make_unique<GameWindow>(*m_game, m_pictures);
        QCoreApplication::processEvents();
        const int games = m_catalogue.count();
        QApplication::setWindowIcon(applicationIcon(m_catalogue.takeIcon()));
        if (games == 0) {
            m_window->discardWithoutSaving();
            m_window.reset();
            tell(kNoGames);
            m_messages.show(kNoGames);
            m_status = 0;
            return false;
        }
        m_pictures.adopt(GameRules::picturePath(0), m_catalogue.takeFirstPicture());
        m_messages.setParentWindow(m_window.get());
        m_game->loadSettings();
        m_window->show();
        if (lcStartup().isDebugEnabled())
            new ExposeMilestone(m_window->windowHandle());
        m_game->startGame();
    } catch (const std::exception &error) {
        // GameError and anything else alike: say what went wrong, save nothing.
        m_ticker.stop();
        if (m_window)
            m_window->discardWithoutSaving();
        m_window.reset();
        m_messages.setParentWindow(nullptr);
        if (QApplication::windowIcon().isNull())
            QApplication::setWindowIcon(applicationIcon());
        const QString text = QString::fromUtf8(error.what());
        tell(text);
        m_messages.show(text);
        m_status = 1;
        return false;
    }

    warmUpSoundLater();
    QObject::connect(&m_instance, &SingleInstance::raiseRequested, m_window.get(), [w = m_window.get()] {
        w->showNormal();
        w->raise();
        w->activateWindow();
    });
    m_instance.answerLaterCopies();
    return true;
}

// reveal-started-ms when a board starts to be revealed, board-revealed-ms
// (with the title's length) when its last cell shows; for every board.
void Startup::traceMilestones()
{
    QObject::connect(m_game.get(), &GameRules::stateChanged, m_game.get(),
                     [g = m_game.get(), revealing = false]() mutable {
                         if (!revealing && g->isRevealing()) {
                             revealing = true;
                             milestone("reveal-started-ms");
                         } else if (revealing && !g->isRevealing()) {
                             revealing = false;
                             milestone("board-revealed-ms", " cells " + QByteArray::number(g->titleLength()));
                         }
                     });
}

// The sound stack starts once the first board is up and the player has had
// a moment with it, not while the window is still being put up.
void Startup::warmUpSoundLater()
{
    auto warmUp = std::make_shared<QMetaObject::Connection>();
    *warmUp = QObject::connect(m_game.get(), &GameRules::stateChanged, m_window.get(), [this, warmUp] {
        if (m_game->isRevealing())
            return;
        QObject::disconnect(*warmUp);
        QTimer::singleShot(500, m_game.get(), [this] {
            m_cues.warmUp();
            milestone("sound-ready-ms");
        });
    });
}

} // namespace gallows
