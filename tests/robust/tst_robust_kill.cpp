// The real game under Xvfb, played at random and killed with SIGKILL at
// random moments: after its start, after a key, and in the middle of a
// write to the settings store. After every kill the store must still parse
// and hold only values the game writes, and the next start must show the
// window with nothing but the store left in the config folder.
//
// GALLOWS_KILL_SEED and GALLOWS_KILL_ROUNDS replay or shorten a run.

#include "harness.h"
#include "robust_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTest>
#include <QThread>

#include <csignal>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace gallows::e2e;
using namespace gallows::robust;

namespace {

constexpr int kClientHeight = 306;
constexpr quint32 kDefaultSeed = 20240806;
constexpr int kDefaultRounds = 200;
// Added to each write, fsync and rename of the store in a slow round.
constexpr int kSlowDiskMicroseconds = 2000;

const QStringList kGames = {QStringLiteral("Elite"), QStringLiteral("Lemmings"), QStringLiteral("Manic Miner"),
                            QStringLiteral("Jet Set Willy II: The Final Frontier"), QStringLiteral("Sabre Wulf")};

// What random play may rightly be told; anything else is a fault.
const QStringList kPlayMessages = {QStringLiteral("Please enter a letter, stupid!"),
                                   QStringLiteral("This letter has already been guessed!"),
                                   QStringLiteral("Please enter the full title of this game!")};

// Keys that neither open a menu nor leave the game.
const QStringList kPlainKeys = {QStringLiteral("Tab"),   QStringLiteral("shift+Tab"), QStringLiteral("Escape"),
                                QStringLiteral("BackSpace"), QStringLiteral("space"), QStringLiteral("Return"),
                                QStringLiteral("Left"),  QStringLiteral("Right"),    QStringLiteral("Up"),
                                QStringLiteral("Down"),  QStringLiteral("Home"),     QStringLiteral("End"),
                                QStringLiteral("Delete")};

// Every change inside one folder, one count per inotify event: the store's
// lock and temporary copy appearing, being written, renamed and removed.
class FolderWatch {
public:
    explicit FolderWatch(const QString &dir)
    {
        fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd >= 0)
            ::inotify_add_watch(fd, QFile::encodeName(dir).constData(),
                                IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE);
    }
    ~FolderWatch()
    {
        if (fd >= 0)
            ::close(fd);
    }
    FolderWatch(const FolderWatch &) = delete;
    FolderWatch &operator=(const FolderWatch &) = delete;

    bool isValid() const { return fd >= 0; }

    // Forgets what has happened so far.
    void drain() { readEvents(); }

    // Returns as soon as `count` more changes have happened (true), or
    // when `timeoutMs` has passed or `stillRunning` turns false.
    template<typename F>
    bool waitForChanges(int count, int timeoutMs, F stillRunning)
    {
        QElapsedTimer clock;
        clock.start();
        int seen = 0;
        while (clock.elapsed() < timeoutMs && stillRunning()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5) > 0) {
                seen += readEvents();
                if (seen >= count)
                    return true;
            }
        }
        return false;
    }

private:
    int readEvents()
    {
        alignas(inotify_event) char buffer[8192];
        int events = 0;
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                return events;
            for (ssize_t at = 0; at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                at += ssize_t(sizeof(inotify_event) + event->len);
                ++events;
            }
        }
    }

    int fd = -1;
};

enum class Moment { AfterStart, AfterKey, WhileWriting };

const char *momentName(Moment m)
{
    switch (m) {
    case Moment::AfterStart:
        return "after start";
    case Moment::AfterKey:
        return "after a key";
    case Moment::WhileWriting:
        return "while writing";
    }
    return "?";
}

} // namespace

class TestRobustKill : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void killedAtRandomMoments();
    void killedWhileTakingALock_data();
    void killedWhileTakingALock();

private:
    // Starts the game and waits for its window: the id, or empty after a
    // failed check.
    QString startAndShow(GameProcess &game);
    // One random action against whatever window of the game is on top.
    // False once the game has been told to quit.
    bool randomAction();
    // The delay before a kill: often short, up to a few hundred ms.
    int killDelay();
    // The message spy, and the slow disk in a slow round.
    void prepare(GameProcess &game);
    // The first window of the game to show, or empty after 15 s.
    QString waitForWindow(GameProcess &game);
    // The game's state, its instance lock and its stderr, for a failure.
    QString describe(GameProcess &game);
    // SIGKILL now, then the checks every kill must pass.
    void killAndCheck(GameProcess &game, Moment moment, bool quitSent);
    void checkMessages();
    // The store parses, holds valid values and has lost no key.
    void checkStore();

    XServer x;
    ProgramFolder folder;
    std::unique_ptr<UserFolders> user;
    std::unique_ptr<MessageLog> messages;
    QRandomGenerator rng;
    QString where; // the round, for failure messages
    QString focused; // the window given the keyboard focus last
    QStringList storedKeys; // in the store at the last check
    bool slowDisk = false;  // this round's games write slowly

    // What the run did, printed at the end.
    QMap<QString, int> tally;
};

void TestRobustKill::initTestCase()
{
    QString why;
    QVERIFY2(x.start(&why), qPrintable(why));
    QVERIFY2(folder.populate(&why), qPrintable(why));
    QVERIFY2(folder.writeCatalogue(gamesCsv(kGames), &why), qPrintable(why));
    user = std::make_unique<UserFolders>();
    QVERIFY(user->isValid());
    messages = std::make_unique<MessageLog>();
    QVERIFY(messages->isValid());
}

void TestRobustKill::cleanupTestCase() { x.stop(); }

QString TestRobustKill::startAndShow(GameProcess &game)
{
    prepare(game);
    QString why;
    [&] { QVERIFY2(game.start(folder, *user, x, &why), qPrintable(where + why)); }();
    if (QTest::currentTestFailed())
        return QString();
    const QString window = waitForWindow(game);
    Desktop desktop(x);
    [&] {
        QVERIFY2(!window.isEmpty(), qPrintable(where + QStringLiteral("no window; ") + describe(game)));
        // A message box instead of the game window: the start went wrong.
        QVERIFY2(desktop.geometry(window).height() > kClientHeight,
                 qPrintable(where + QStringLiteral("a message at start-up: ") + messages->all().join(" | ")));
        // Whatever a killed run left behind has been tidied away; an idle
        // game holds no lock on the store either.
        QStringList entries = user->configEntries();
        entries.removeAll(QStringLiteral("Tarvolin.conf"));
        QVERIFY2(entries.isEmpty(),
                 qPrintable(where + QStringLiteral("left behind: ") + entries.join(QLatin1Char(' '))));
        QCOMPARE(messages->takeNew(), QStringList());
    }();
    return QTest::currentTestFailed() ? QString() : window;
}

void TestRobustKill::prepare(GameProcess &game)
{
    messages->attach(game);
    if (slowDisk)
        slowDiskFor(game, user->configHome(), kSlowDiskMicroseconds);
}

QString TestRobustKill::waitForWindow(GameProcess &game)
{
    // Polled here: `xdotool search --sync` looks only twice a second.
    Desktop desktop(x);
    QElapsedTimer clock;
    clock.start();
    while (game.running() && clock.elapsed() < 15000) {
        const QStringList shown = desktop.windows(kGameTitle);
        if (!shown.isEmpty())
            return shown.first();
        game.waitForExit(20); // notices an early end
    }
    return QString();
}

QString TestRobustKill::describe(GameProcess &game)
{
    QString state = game.running() ? QStringLiteral("still running")
                    : game.exitedNormally() ? QStringLiteral("exited with %1").arg(game.exitCode())
                                            : QStringLiteral("killed by a signal");
    QFile lock(user->runtimeDir() + QStringLiteral("/tarvolin-gallows.lock"));
    const QByteArray owner = lock.open(QIODevice::ReadOnly) ? lock.readAll().simplified() : QByteArray("none");
    QFile storeLock(user->settingsFile() + QStringLiteral(".lock"));
    const QByteArray writer =
        storeLock.open(QIODevice::ReadOnly) ? storeLock.readAll().simplified() : QByteArray("none");
    return QStringLiteral("the game %1; instance lock: %2; config folder: %3; store lock: %4; stderr: %5")
        .arg(state, QString::fromUtf8(owner), user->configEntries().join(QLatin1Char(' ')), QString::fromUtf8(writer),
             game.errorOutput());
}

int TestRobustKill::killDelay()
{
    return rng.bounded(2) ? int(rng.bounded(40)) : int(rng.bounded(400));
}

bool TestRobustKill::randomAction()
{
    Desktop desktop(x);
    // A message box, when one is up, is the smaller window: it gets the keys.
    const QStringList shown = desktop.windows(kGameTitle);
    if (shown.isEmpty())
        return true;
    QString top = shown.first();
    if (shown.size() > 1) {
        for (const QString &id : shown)
            if (desktop.geometry(id).height() < desktop.geometry(top).height())
                top = id;
    }
    if (top != focused) {
        desktop.focus(top);
        focused = top;
    }

    const quint32 pick = rng.bounded(100);
    if (pick < 45) {
        const QChar letter = QChar(u'a' + int(rng.bounded(26)));
        desktop.key(QString(letter) + QStringLiteral(" Return"));
        ++tally[QStringLiteral("action: letter")];
    } else if (pick < 57) {
        const QString guess = rng.bounded(2) ? kGames[int(rng.bounded(kGames.size()))].section(QLatin1Char(':'), 0, 0)
                                             : QStringLiteral("Wrong Title");
        desktop.key(QStringLiteral("Tab"));
        desktop.type(guess, 5);
        desktop.key(QStringLiteral("Return shift+Tab"));
        ++tally[QStringLiteral("action: title guess")];
    } else if (pick < 67) {
        desktop.key(QStringLiteral("alt+n"));
        ++tally[QStringLiteral("action: Alt+N")];
    } else if (pick < 75) {
        desktop.key(QStringLiteral("alt+u"));
        ++tally[QStringLiteral("action: Alt+U")];
    } else if (pick < 80) {
        desktop.key(QStringLiteral("ctrl+r"));
        ++tally[QStringLiteral("action: Ctrl+R")];
    } else if (pick < 97) {
        desktop.key(kPlainKeys[int(rng.bounded(kPlainKeys.size()))]);
        ++tally[QStringLiteral("action: plain key")];
    } else {
        desktop.key(QStringLiteral("ctrl+q"));
        ++tally[QStringLiteral("action: Ctrl+Q")];
        return false;
    }
    return true;
}

void TestRobustKill::checkStore()
{
    const QString path = user->settingsFile();
    const QString problem = storeProblem(path);
    QVERIFY2(problem.isEmpty(), qPrintable(where + problem));
    // The game never removes a key: a key gone is a write cut short.
    const QStringList keys = QSettings(path, QSettings::IniFormat).allKeys();
    for (const QString &key : std::as_const(storedKeys))
        QVERIFY2(keys.contains(key), qPrintable(where + QStringLiteral("%1 lost %2; it holds: %3")
                                                           .arg(path, key, keys.join(QLatin1Char(' ')))));
    storedKeys = keys;
}

void TestRobustKill::checkMessages()
{
    for (const QString &text : messages->takeNew())
        QVERIFY2(kPlayMessages.contains(text), qPrintable(where + QStringLiteral("the game said: ") + text));
}

void TestRobustKill::killAndCheck(GameProcess &game, Moment moment, bool quitSent)
{
    ++tally[QStringLiteral("kill: ") + QLatin1String(momentName(moment))];
    game.killHard();
    QVERIFY2(!game.running(), qPrintable(where + QStringLiteral("still running after SIGKILL")));
    if (game.exitedNormally()) {
        // Gone before the kill: only Ctrl+Q may do that, and only cleanly.
        QVERIFY2(quitSent,
                 qPrintable(where + QStringLiteral("the game ended by itself; stderr: ") + game.errorOutput()));
        QVERIFY2(game.exitCode() == 0, qPrintable(where + QStringLiteral("Ctrl+Q ended it with %1; stderr: %2")
                                                                .arg(game.exitCode())
                                                                .arg(game.errorOutput())));
        ++tally[QStringLiteral("gone before the kill (Ctrl+Q)")];
    } else {
        // Our signal, not a crash of its own (QProcess gives the signal).
        QVERIFY2(game.exitCode() == SIGKILL, qPrintable(where + QStringLiteral("the game died of signal %1; stderr: %2")
                                                                  .arg(game.exitCode())
                                                                  .arg(game.errorOutput())));
    }

    checkStore();
    if (QTest::currentTestFailed())
        return;
    // Nothing but the store, its lock and a temporary copy of it: never a
    // store kept aside as damaged.
    QStringList stray = user->configEntries();
    stray.removeAll(QStringLiteral("Tarvolin.conf"));
    stray.removeAll(QStringLiteral("Tarvolin.conf.lock"));
    for (const QString &name : stray)
        QVERIFY2(name.startsWith(QLatin1String("Tarvolin.conf.")) && name.size() == 20,
                 qPrintable(where + QStringLiteral("left behind: ") + name));
    if (!stray.isEmpty())
        ++tally[QStringLiteral("kills that left a temporary copy")];
    if (user->configEntries().contains(QStringLiteral("Tarvolin.conf.lock")))
        ++tally[QStringLiteral("kills that left a lock")];
    if (!QFile::exists(user->settingsFile()))
        ++tally[QStringLiteral("kills that left no store")];
    checkMessages();
}

void TestRobustKill::killedAtRandomMoments()
{
    bool ok = false;
    quint32 seed = qEnvironmentVariable("GALLOWS_KILL_SEED").toUInt(&ok);
    if (!ok)
        seed = kDefaultSeed;
    int rounds = qEnvironmentVariableIntValue("GALLOWS_KILL_ROUNDS", &ok);
    if (!ok || rounds <= 0)
        rounds = kDefaultRounds;
    qInfo("seed %u, %d rounds (set GALLOWS_KILL_SEED / GALLOWS_KILL_ROUNDS to replay or shorten)", seed, rounds);
    rng.seed(seed);

    FolderWatch watch(user->configHome());
    QVERIFY(watch.isValid());
    QElapsedTimer clock;
    clock.start();

    for (int round = 1; round <= rounds; ++round) {
        where = QStringLiteral("round %1 of seed %2: ").arg(round).arg(seed);
        const quint32 pick = rng.bounded(100);
        const Moment moment = pick < 25 ? Moment::AfterStart : pick < 60 ? Moment::WhileWriting : Moment::AfterKey;
        // While writing: at start-up (the first run writes its defaults),
        // or through Ctrl+R or Ctrl+Q in play.
        const bool atStart = moment == Moment::AfterStart
                             || (moment == Moment::WhileWriting && rng.bounded(3) == 0);

        // Half the rounds on a slow disk: each save then lasts long enough
        // for the kill to land inside it now and then.
        slowDisk = rng.bounded(2) == 0;
        if (slowDisk)
            ++tally[QStringLiteral("rounds on a slow disk")];

        // The start after the last kill: its window must come up.
        auto game = std::make_unique<GameProcess>();
        const QString window = startAndShow(*game);
        if (window.isEmpty())
            return;

        if (atStart) {
            // Close this one cleanly, then kill the next one early.
            Desktop desktop(x);
            QVERIFY(desktop.focus(window));
            QVERIFY(desktop.key(QStringLiteral("ctrl+q")));
            QVERIFY2(game->waitForExit(5000), qPrintable(where + QStringLiteral("Ctrl+Q did not end the game")));
            QVERIFY2(game->exitedNormally() && game->exitCode() == 0, qPrintable(where + game->errorOutput()));
            checkStore();
            if (QTest::currentTestFailed())
                return;
            // A player without a store: the start writes all eight keys.
            if (moment == Moment::WhileWriting || rng.bounded(3) == 0) {
                QFile::remove(user->settingsFile());
                storedKeys.clear();
            }
            game = std::make_unique<GameProcess>();
            prepare(*game);
            watch.drain();
            QString why;
            QVERIFY2(game->start(folder, *user, x, &why), qPrintable(where + why));
            if (moment == Moment::AfterStart)
                QThread::msleep(ulong(killDelay()));
            else
                watch.waitForChanges(1 + int(rng.bounded(40)), 5000, [&] { return game->running(); });
            killAndCheck(*game, moment, false);
        } else {
            bool quitSent = false;
            const int actions = int(rng.bounded(7));
            for (int i = 0; i < actions && !quitSent; ++i)
                quitSent = !randomAction();
            if (moment == Moment::AfterKey || quitSent) {
                QThread::msleep(ulong(killDelay()));
                killAndCheck(*game, Moment::AfterKey, quitSent);
            } else {
                // Reset writes four values, closing the window six.
                Desktop desktop(x);
                const bool reset = rng.bounded(2);
                desktop.focus(window);
                watch.drain();
                desktop.key(reset ? QStringLiteral("ctrl+r") : QStringLiteral("ctrl+q"));
                quitSent = !reset;
                const bool hit = watch.waitForChanges(1 + int(rng.bounded(reset ? 20 : 30)), 3000,
                                                      [&] { return game->running(); });
                if (!hit && game->running())
                    ++tally[QStringLiteral("writes that never came (key lost)")];
                killAndCheck(*game, Moment::WhileWriting, quitSent);
            }
        }
        if (QTest::currentTestFailed())
            return;
    }

    // The start after the last kill.
    where = QStringLiteral("after the last round of seed %1: ").arg(seed);
    slowDisk = false;
    GameProcess last;
    const QString window = startAndShow(last);
    QVERIFY(!window.isEmpty());
    Desktop desktop(x);
    QVERIFY(desktop.focus(window));
    QVERIFY(desktop.key(QStringLiteral("ctrl+q")));
    QVERIFY(last.waitForExit(5000));
    QVERIFY(last.exitedNormally() && last.exitCode() == 0);
    checkStore();
    QCOMPARE(user->configEntries(), QStringList{QStringLiteral("Tarvolin.conf")});

    qInfo("%d rounds in %.1f s", rounds, double(clock.elapsed()) / 1000.0);
    for (auto it = tally.cbegin(); it != tally.cend(); ++it)
        qInfo("  %-40s %d", qPrintable(it.key()), it.value());
}

// The one moment random kills hardly ever hit: a lock file created, its
// owner's process id not yet written. Such an empty lock held up the next
// start for ever (the one-copy lock) or for 30 s (the store's lock).
void TestRobustKill::killedWhileTakingALock_data()
{
    QTest::addColumn<QString>("lock"); // below the user folders

    QTest::newRow("one-copy lock") << QStringLiteral("runtime/tarvolin-gallows.lock");
    QTest::newRow("store lock, first run") << QStringLiteral("config/Tarvolin.conf.lock");
}

void TestRobustKill::killedWhileTakingALock()
{
    QFETCH(QString, lock);

    UserFolders fresh;
    QVERIFY(fresh.isValid());
    const QString path = (lock.startsWith(QLatin1String("runtime/")) ? fresh.runtimeDir() : fresh.configHome())
                         + QLatin1Char('/') + lock.section(QLatin1Char('/'), 1);
    {
        QFile empty(path);
        QVERIFY(empty.open(QIODevice::WriteOnly));
    }
    GameProcess game;
    messages->attach(game);
    QString why;
    QVERIFY2(game.start(folder, fresh, x, &why), qPrintable(why));
    Desktop desktop(x);
    // Well before the 30 s after which QLockFile gives up on such a lock.
    const QString window = waitForWindow(game);
    QVERIFY2(!window.isEmpty(), qPrintable(QStringLiteral("no window; the game %1; stderr: %2")
                                               .arg(game.running() ? QStringLiteral("still runs")
                                                                   : QStringLiteral("has ended"),
                                                    game.errorOutput())));
    QVERIFY(desktop.geometry(window).height() > kClientHeight);
    // The first run's defaults were written.
    QCOMPARE(fresh.settings().value(QStringLiteral("PreviousRun")), QStringLiteral("True"));
    QCOMPARE(fresh.configEntries(), QStringList{QStringLiteral("Tarvolin.conf")});
    QVERIFY(desktop.focus(window));
    QVERIFY(desktop.key(QStringLiteral("ctrl+q")));
    QVERIFY(game.waitForExit(5000));
    QVERIFY(game.exitedNormally() && game.exitCode() == 0);
    QCOMPARE(messages->takeNew(), QStringList());
}

QTEST_GUILESS_MAIN(TestRobustKill)
#include "tst_robust_kill.moc"
