#pragma once
// Driving the real `gallows` from outside: a private X server, a throw-away
// program folder, fresh per-user folders, the running game, and real
// keystrokes through xdotool. Everything started here is stopped again when
// its owner goes out of scope, also when a test fails half-way.

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace gallows::e2e {

// Where screenshots go: $GALLOWS_SCREENSHOTS, else the system temp folder.
QString screenshotFolder();

// The game window's title, which the tests find it by.
inline const QString kGameTitle = QStringLiteral("Tarvolin Gallows");

// A CSV catalogue source holding `titles`, with ids 1, 2, ... in that order.
QByteArray gamesCsv(const QStringList &titles);

// The four counters as "GamesWon=1 GamesLost=0 GamesGiveUp=0 GamesTotal=1".
QString counters(int won, int lost, int gaveUp, int total);
// The same, as a settings file holds them (see UserFolders::settings()).
QString countersIn(const QMap<QString, QString> &settings);

// Milliseconds to wait without blocking the test's own event loop.
void idle(int ms);

// An Xvfb of our own on a free display number. It dies with the test
// program, even when that is killed.
class XServer {
public:
    XServer() = default;
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    bool start(QString *why, int timeoutMs = 10000);
    void stop();
    bool running() const { return process && process->state() != QProcess::NotRunning; }
    QString display() const { return name; } // ":N"

private:
    std::unique_ptr<QProcess> process;
    QString name;
};

// A program folder as a player would have it: `gallows` with Data/ beside
// it. The pictures and sounds come from the build's own Data/; the
// catalogue is whatever the test puts there.
class ProgramFolder {
public:
    ProgramFolder();
    bool isValid() const { return dir.isValid(); }

    // Copies the built program, the two parts it loads and the build's
    // Data/Gallows/ tree.
    bool populate(QString *why);
    // Data/bsk.cab built by gallows-catalogue from `csv`; `key` empty means
    // the game's own passphrase.
    bool writeCatalogue(const QByteArray &csv, QString *why, const QString &key = QString());
    // Data/bsk.cab holding exactly `bytes`.
    bool writeCatalogueBytes(const QByteArray &bytes, QString *why);

    QString path() const { return dir.path(); }
    QString programPath() const;
    QString cataloguePath() const;

private:
    QTemporaryDir dir;
};

// The player's XDG config and runtime folders, both private (mode 0700), and
// a cache folder inside the runtime one.
class UserFolders {
public:
    UserFolders();
    bool isValid() const;

    QString configHome() const { return config.path(); }
    QString runtimeDir() const { return runtime.path(); }
    QString cacheHome() const { return runtime.filePath(QStringLiteral("cache")); }
    QString settingsFile() const; // $XDG_CONFIG_HOME/Tarvolin.conf

    // The keys of section [Gallows] with their values as stored; empty when
    // the file does not exist.
    QMap<QString, QString> settings() const;
    // Writes the given keys into section [Gallows] (a store from an earlier run).
    bool seedSettings(const QMap<QString, QString> &values);
    // Names of everything in the config folder (hidden files included).
    QStringList configEntries() const;

private:
    QTemporaryDir config;
    QTemporaryDir runtime;
};

// One run of the game on a display with a set of user folders.
class GameProcess {
public:
    GameProcess();
    ~GameProcess(); // kills the game if it is still running
    GameProcess(const GameProcess &) = delete;
    GameProcess &operator=(const GameProcess &) = delete;

    // For the next start(): one more environment variable, and a command
    // the program is started through (its path comes last), e.g. setpriv.
    // A launcher that switches user also drops the death signal: a game
    // started so is stopped by this object, not by the test's death.
    void setEnvironment(const QString &name, const QString &value) { extraEnvironment.insert(name, value); }
    void setLauncher(const QStringList &command) { launcher = command; }

    bool start(const ProgramFolder &folder, const UserFolders &user, const XServer &x, QString *why);
    bool waitForExit(int timeoutMs);
    bool running() const { return process->state() != QProcess::NotRunning; }
    qint64 pid() const { return process->processId(); }
    void killHard(); // SIGKILL, then reaps it

    // After the run: a normal exit and its code, and all it wrote to stderr.
    bool exitedNormally() const;
    int exitCode() const { return process->exitCode(); }
    QString errorOutput();

private:
    std::unique_ptr<QProcess> process;
    QByteArray stderrBytes;
    QMap<QString, QString> extraEnvironment;
    QStringList launcher;
};

// Real input and window look-ups on one display, through xdotool.
class Desktop {
public:
    explicit Desktop(const XServer &x) : server(x) {}

    // Windows whose title is exactly `title` (mapped ones only when
    // `onlyVisible`), now, without waiting.
    QStringList windows(const QString &title, bool onlyVisible = true) const;
    // Waits until a visible window titled `title` exists; its id, or empty.
    QString waitForWindow(const QString &title, int timeoutMs) const;
    // Outer size and position of a window.
    QRect geometry(const QString &window) const;

    bool focus(const QString &window) const;
    // Each character as its own keystroke, `delayMs` apart.
    bool type(const QString &text, int delayMs = 25) const;
    // Key names as xdotool spells them ("Return", "ctrl+q", "alt+n").
    bool key(const QString &keys, int delayMs = 25) const;
    // Presses the key of each letter or digit in `letters`, each followed by
    // Return.
    bool guessLetters(const QString &letters) const;

    // A PNG of `window` ("root" for the whole screen) into `path`.
    bool screenshot(const QString &path, const QString &window = QStringLiteral("root")) const;

    // Runs xdotool with `args`: true when it succeeded within `timeoutMs`,
    // with its standard output in `out`. Failures are logged.
    bool xdotool(const QStringList &args, QString *out = nullptr, int timeoutMs = 5000) const;

private:
    QProcessEnvironment environment() const;

    const XServer &server;
};

} // namespace gallows::e2e
