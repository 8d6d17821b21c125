#pragma once
// Driving the real `gallows` from outside: a private X server, a throw-away
// program folder, fresh per-user folders, the running game with what its
// message boxes said, and real keystrokes through xdotool. Everything started
// here is stopped again when its owner goes out of scope.

#include <QDir>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace gallows::e2e {

inline const QString kGameTitle = QStringLiteral("Tarvolin Gallows");

// A CSV catalogue source holding `titles`, with ids 1, 2, ... in that order.
QByteArray gamesCsv(const QStringList &titles);

// Polls `condition` until it holds or `timeoutMs` has passed.
bool waitFor(const std::function<bool()> &condition, int timeoutMs);

// An Xvfb of our own on a free display number; it dies with the test.
class XServer {
public:
    ~XServer();
    bool start(QString *why);
    QString display() const { return name; }

private:
    std::unique_ptr<QProcess> process;
    QString name;
};

// A program folder as a player has it: `gallows` and its parts with Data/
// beside them; the pictures and sounds are the build's, the catalogue is
// whatever the test puts there.
class ProgramFolder {
public:
    bool populate(QString *why);
    // Data/bsk.cab built by gallows-catalogue from `csv` under `key` (empty:
    // the game's own passphrase).
    bool writeCatalogue(const QByteArray &csv, QString *why, const QString &key = QString());
    QString path() const { return dir.path(); }
    QString filePath(const QString &relative) const { return dir.filePath(relative); }

private:
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/gallows-e2e-program-XXXXXX")};
};

// The player's private XDG config, runtime and cache folders.
class UserFolders {
public:
    UserFolders();
    QString settingsFile() const { return config.filePath(QStringLiteral("Tarvolin.conf")); }
    // The keys of section [Gallows] as stored; empty when there is no file.
    QMap<QString, QString> settings() const;
    bool seedSettings(const QMap<QString, QString> &values);
    // Everything in the config folder, hidden files included.
    QStringList configEntries() const;
    QProcessEnvironment environment(const XServer &x) const;

private:
    QTemporaryDir config{QDir::tempPath() + QStringLiteral("/gallows-e2e-config-XXXXXX")};
    QTemporaryDir runtime{QDir::tempPath() + QStringLiteral("/gallows-e2e-runtime-XXXXXX")};
};

// One run of the game. Every message box it shows is logged (a Qt plugin
// loaded into it), and it prints when each board has been revealed.
class GameProcess {
public:
    GameProcess();
    ~GameProcess(); // kills the game if it is still running
    void setEnvironment(const QString &name, const QString &value) { extra.insert(name, value); }
    bool start(const ProgramFolder &folder, const UserFolders &user, const XServer &x, QString *why);
    bool waitForExit(int timeoutMs);
    bool running() const { return process->state() != QProcess::NotRunning; }
    qint64 pid() const { return process->processId(); }
    void killHard();
    int exitCode() const { return process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1; }
    QString errorOutput();
    // Waits until `count` boards have been revealed since the start.
    bool waitForBoards(int count, int timeoutMs);
    // The texts of the message boxes shown so far.
    QStringList messages() const;

private:
    std::unique_ptr<QProcess> process;
    QTemporaryDir spyDir;
    QByteArray stderrBytes;
    QMap<QString, QString> extra;
};

// Real input and window look-ups on one display, through xdotool.
class Desktop {
public:
    explicit Desktop(const XServer &x) : server(x) {}
    // Visible windows titled exactly `title`, now.
    QStringList windows(const QString &title) const;
    // Waits for a visible window titled `title` and gives it the focus; its id.
    QString waitForWindow(const QString &title, int timeoutMs = 15000) const;
    // Key names as xdotool spells them ("Return", "ctrl+q", "alt+n"), in order.
    bool keys(const QStringList &keys) const;
    bool type(const QString &text) const;
    // Each letter of `letters` followed by Return.
    bool guessLetters(const QString &letters) const;

private:
    bool xdotool(const QStringList &args, QString *out = nullptr) const;
    const XServer &server;
};

} // namespace gallows::e2e
