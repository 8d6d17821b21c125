// The real game under an Xvfb of its own, driven by real keystrokes (xdotool), each
// test from a copy of the program folder outside the build folder, with fresh per-user folders.

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <optional>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

const QByteArray kEarlierRun = "[Gallows]\nPreviousRun=True\nGamesWon=5\nGamesLost=4\nGamesGiveUp=3\n"
                               "GamesTotal=12\nClue=5\nSaveStats=True\nSounds=4\n";

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 60000)
{
    for (const QDeadlineTimer deadline(timeoutMs); !condition(); QTest::qSleep(20))
        if (deadline.hasExpired())
            return false;
    return true;
}

// Children are killed with the test, even when it is killed.
void dieWithParent(QProcess &process, int signal = SIGKILL)
{
    process.setChildProcessModifier([parent = ::getpid(), signal] {
        if (::prctl(PR_SET_PDEATHSIG, signal) != 0 || ::getppid() != parent)
            ::_exit(127);
    });
}

QString contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The state letter of a process in /proc: 'T' when stopped.
char processState(qint64 pid)
{
    const QString line = contents(QStringLiteral("/proc/%1/stat").arg(pid));
    return line.mid(line.lastIndexOf(')') + 2, 1).append('?').at(0).toLatin1();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// One run of the game: its standard error (also saying when each board is
// revealed) and the text of each message box it showed (see message_spy.cpp).
struct Game {
    QProcess process;
    QTemporaryDir logs;

    ~Game() { kill(); }
    void kill() { process.kill(); process.waitForFinished(5000); }
    // The exit status; -1 after a crash, -2 while still running 15 s on.
    int status()
    {
        if (process.state() != QProcess::NotRunning && !process.waitForFinished(15000))
            return -2;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString errors() const { return contents(logs.filePath("stderr")); }
    QStringList messages() const { return contents(logs.filePath("messages")).split('\n', Qt::SkipEmptyParts); }
    bool boardsRevealed(int n) const { return waitFor([&] { return errors().count("board-revealed-ms") >= n; }); }
};

// prepare()'s title and key, a file removed (or overwritten: `garbage`), and
// how the start ends: status, settings written, message (%1: program folder).
struct BadStart {
    QString title, key, damaged;
    bool garbage;
    int status;
    QStringList written;
    QString message;
};

} // namespace

class TestE2e : public QObject {
    Q_OBJECT
    QProcess xvfb;
    std::unique_ptr<QTemporaryDir> root; // program/ (the game, its parts and Data/), config/ (cache/ too), runtime/

    QString path(const QString &relative) const { return root->filePath(relative); }
    QStringList configEntries() const
    {
        return QDir(path("config")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // Won, lost, given up and total as stored in config/`file`.
    QString counters(const QString &file = QStringLiteral("Tarvolin.conf")) const
    {
        QSettings settings(path("config/" + file), QSettings::IniFormat);
        QStringList values;
        for (const char *key : {"GamesWon", "GamesLost", "GamesGiveUp", "GamesTotal"})
            values << settings.value(QLatin1String("Gallows/") + QLatin1String(key)).toString();
        return values.join(' ');
    }

    // A copy of what the README says can be copied anywhere, its catalogue made again
    // by the catalogue tool from `title` (none: no rows) under `key` (none: the game's
    // own); `seeded`: with the settings of an earlier run.
    void prepare(const QString &title = "Elite", const QString &key = {}, bool seeded = true)
    {
        root = std::make_unique<QTemporaryDir>();
        // Qt wants the runtime folder private.
        QCOMPARE(QProcess::execute("mkdir", {"-p", "-m", "700", path("program"), path("config"), path("runtime")}), 0);
        QCOMPARE(QProcess::execute("cp", {"-r", GALLOWS_PROGRAM, GALLOWS_READER_PART, GALLOWS_CUE_PART, GALLOWS_DATA,
                                          path("program")}), 0);
        QVERIFY(!seeded || writeFile(path("config/Tarvolin.conf"), kEarlierRun));
        const QByteArray row = "1," + title.toUtf8() + ",1984,simulation,Tarvolin Test House,Two Coders\n";
        QVERIFY(writeFile(path("games.csv"),
                          "GameID,Title,Year,Genre,Publisher,Developer\n" + (title.isEmpty() ? "" : row)));
        QCOMPARE(QProcess::execute(GALLOWS_CATALOGUE_TOOL, (key.isEmpty() ? QStringList() : QStringList{"--key", key})
                                       << "import" << path("games.csv") << path("program/Data/bsk.cab")), 0);
    }

    bool start(Game &game, QMap<QString, QString> values = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        values.insert({{"QT_QPA_PLATFORM", "xcb"}, {"XDG_CONFIG_HOME", path("config")},
                       {"XDG_RUNTIME_DIR", path("runtime")}, {"XDG_CACHE_HOME", path("config/cache")},
                       {"QT_PLUGIN_PATH", GALLOWS_SPY_PLUGIN_DIR}, {"QT_QPA_GENERIC_PLUGINS", "gallowsmessagespy"},
                       {"GALLOWS_MESSAGE_SPY", game.logs.filePath("messages")}, {"QT_LOGGING_RULES", "gallows.startup.debug=true"}});
        for (const auto &[name, value] : values.asKeyValueRange())
            env.insert(name, value);
        game.process.setProcessEnvironment(env);
        game.process.setStandardOutputFile(QProcess::nullDevice());
        game.process.setStandardErrorFile(game.logs.filePath("stderr"));
        dieWithParent(game.process);
        game.process.start(path("program/gallows"), {});
        return game.process.waitForStarted(10000);
    }
    bool startPlaying(Game &game, const QMap<QString, QString> &extra = {})
    {
        return start(game, extra) && game.boardsRevealed(1) && focusWindow();
    }

    // A tool on the test's own display, Xvfb's, given a minute: its standard
    // output, or nothing when it fails.
    static std::optional<QByteArray> run(const QString &program, const QStringList &args)
    {
        QProcess tool;
        dieWithParent(tool);
        tool.start(program, args);
        if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
            return std::nullopt;
        return tool.readAllStandardOutput();
    }
    bool xdotool(const QStringList &args) const { return run(QStringLiteral("xdotool"), args).has_value(); }
    // Key names as xdotool spells them ("Return", "ctrl+q"), in order.
    bool keys(const QString &names) const { return xdotool(QStringList{"key", "--delay", "40"} + names.split(' ')); }
    // Waits for a window titled as the game and gives it the X input focus
    // (there is no window manager to do it).
    bool focusWindow() const
    {
        return xdotool({"search", "--sync", "--onlyvisible", "--name", "^Tarvolin Gallows$", "windowfocus", "--sync",
                        "%1"});
    }

private slots:
    void initTestCase()
    {
        dieWithParent(xvfb, SIGTERM);
        xvfb.setStandardErrorFile(QProcess::nullDevice());
        xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        xvfb.waitForReadyRead(60000); // the number of its display, once it accepts clients
        bool ok = false;
        const int display = xvfb.readLine().trimmed().toInt(&ok);
        QVERIFY2(ok, "Xvfb gave no display number");
        qputenv("DISPLAY", ":" + QByteArray::number(display)); // for xdotool and the game
    }
    void cleanupTestCase() { xvfb.terminate(); xvfb.waitForFinished(5000); }

    // Nine wrong letters lose, New Game, the typed title wins; Ctrl+Q saves; the copy's own cue part plays.
    void lossThenWin()
    {
        prepare();
        Game game;
        QVERIFY2(startPlaying(game), qPrintable(game.errors()));
        // The window wears the game's icon, in every size it has.
        const QByteArray window =
            run("xdotool", {"search", "--onlyvisible", "--name", "^Tarvolin Gallows$"}).value_or("").trimmed();
        const QByteArray icon = run("xprop", {"-id", QString::fromLatin1(window), "_NET_WM_ICON"}).value_or("");
        for (int size : {16, 32, 48, 64})
            QVERIFY2(icon.contains(QByteArray::number(size) + " x " + QByteArray::number(size)), icon.left(200).constData());
        QVERIFY(keys("q Return w Return r Return u Return y Return p Return s Return d Return f Return alt+n"));
        QVERIFY2(game.boardsRevealed(2), qPrintable(game.errors()));
        const QString maps = contents(QStringLiteral("/proc/%1/maps").arg(game.process.processId()));
        QVERIFY2(maps.contains(QDir(path("program")).canonicalPath() + "/gallows-cue-player.so"), qPrintable(maps));
        QVERIFY(keys("Tab e shift+l i shift+t e Return ctrl+q"));
        QCOMPARE(game.status(), 0);
        QCOMPARE(counters(), QStringLiteral("6 5 3 14"));
        QCOMPARE(configEntries(), QStringList{"Tarvolin.conf"}); // nothing else written, in the cache folder neither
        QCOMPARE(game.messages(), QStringList());
    }

    // A second start leaves at once, before it loads the catalogue reader, the
    // display's plugin or the cue player. A lock left by a killed copy, with
    // its process id or still empty, does not stop the next one.
    void oneCopyOnly()
    {
        prepare();
        Game first, second, third, fourth;
        QVERIFY2(startPlaying(first), qPrintable(first.errors()));
        QVERIFY(start(second, {{"LD_DEBUG", "files"}}));
        QCOMPARE(second.status(), 0);
        const QString loaded = second.errors();
        QVERIFY2(loaded.contains(QStringLiteral("file=")), "LD_DEBUG had no effect");
        for (const char *part : {"gallows-catalogue-reader", "libsqlcipher", "libqxcb", "gallows-cue-player"})
            QVERIFY2(!loaded.contains(QLatin1String(part)), part);
        first.kill();
        QVERIFY(QFileInfo(path("runtime/tarvolin-gallows.lock")).size() > 0);
        QVERIFY2(startPlaying(third), qPrintable(third.errors()));
        third.kill();
        QVERIFY(QFile(path("runtime/tarvolin-gallows.lock")).resize(0));
        QVERIFY2(startPlaying(fourth), qPrintable(fourth.errors()));
    }

    // Each start-up that cannot go on says why in one message box and on
    // standard error, leaves with its status once the box is closed, and
    // writes nothing (a missing picture is met after the first-run write).
    void badStartups_data()
    {
        QTest::addColumn<BadStart>("row");
        const QString cab = "Data/bsk.cab", unreadable = "The games catalogue %1/Data/bsk.cab cannot be read: ";
        QTest::newRow("catalogue missing")
            << BadStart{"Elite", "", cab, false, 1, {}, "The games catalogue %1/Data/bsk.cab is missing."};
        QTest::newRow("wrong key") << BadStart{"Elite", "not the key", "", false, 1, {}, unreadable};
        QTest::newRow("garbage") << BadStart{"Elite", "", cab, true, 1, {}, unreadable};
        QTest::newRow("no games") << BadStart{"", "", "", false, 0, {},
                                              "No games to use as words! Download the latest Brisklore Games "
                                              "Encyclopedia update to play Gallows!"};
        QTest::newRow("picture missing")
            << BadStart{"Elite", "", "Data/Gallows/Graphics/0.gif", false, 1, {"Tarvolin.conf"},
                        "The picture %1/Data/Gallows/Graphics/0.gif is missing or cannot be read."};
    }
    void badStartups()
    {
        QFETCH(BadStart, row);
        prepare(row.title, row.key, false);
        const QString damaged = path("program/" + row.damaged);
        QVERIFY(row.damaged.isEmpty()
                || (row.garbage ? writeFile(damaged, QByteArray(4096, 'x')) : QFile::remove(damaged)));
        Game game;
        QVERIFY(start(game));
        QVERIFY2(waitFor([&] { return !game.messages().isEmpty(); }), qPrintable(game.errors()));
        QVERIFY(focusWindow());
        QVERIFY(keys("Return"));
        QCOMPARE(game.status(), row.status);
        QCOMPARE(game.messages().size(), 1);
        const QString shown = game.messages().at(0);
        QVERIFY2(shown.startsWith(row.message.replace("%1", QDir(path("program")).canonicalPath())), qPrintable(shown));
        QVERIFY2(game.errors().contains("gallows: " + shown + '\n'), qPrintable(game.errors()));
        QCOMPARE(configEntries(), row.written);
    }

    // Killed with Reset's write stopped just before its rename (the new copy beside
    // the old file) or just after: the next start finds one whole store, no more.
    void killDuringSettingsWrite_data()
    {
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("kept");
        QTest::newRow("before the rename") << "before" << "5 4 3 12";
        QTest::newRow("after the rename") << "after" << "0 0 0 0";
    }
    void killDuringSettingsWrite()
    {
        QFETCH(QString, at);
        QFETCH(QString, kept);
        prepare();
        Game game;
        QVERIFY2(startPlaying(game, {{"LD_PRELOAD", GALLOWS_PAUSE_DISK_LIBRARY},
                                     {"GALLOWS_PAUSE_DIR", path("config")}, {"GALLOWS_PAUSE_AT", at}}),
                 qPrintable(game.errors()));
        QVERIFY(keys("ctrl+r"));
        QVERIFY2(waitFor([&] { return processState(game.process.processId()) == 'T'; }),
                 "the write never reached its rename");
        const QStringList copies = configEntries().filter(QRegularExpression("^Tarvolin\\.conf\\.\\w{6}$"));
        QCOMPARE(copies.size(), at == "before" ? 1 : 0);
        for (const QString &copy : copies) // the stopped write is Reset's
            QCOMPARE(counters(copy), QStringLiteral("0 0 0 0"));
        QCOMPARE(counters(), kept);
        game.kill();
        Game next;
        QVERIFY2(startPlaying(next), qPrintable(next.errors()));
        QCOMPARE(configEntries(), QStringList{"Tarvolin.conf"});
        QCOMPARE(counters(), kept);
    }
};

QTEST_GUILESS_MAIN(TestE2e)
#include "tst_e2e.moc"
