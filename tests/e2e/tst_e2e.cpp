// The real game under an Xvfb of its own, driven by real keystrokes (xdotool):
// a loss and a win read back from disk, one copy only, start-ups that cannot
// go on, and kills at the risky moments of a settings write. Each test runs
// the game from a throw-away program folder with fresh per-user folders; a Qt
// plugin loaded into it logs every message box it shows (message_spy.cpp).

#include <QDeadlineTimer>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <functional>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

const QByteArray kEarlierRun = "[Gallows]\nPreviousRun=True\nGamesWon=5\nGamesLost=4\nGamesGiveUp=3\n"
                               "GamesTotal=12\nClue=5\nSaveStats=True\nSounds=4\n";

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 60000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

// Children must not outlive the test, even when it is killed.
void dieWithParent(QProcess &process, int signal = SIGKILL)
{
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent, signal] {
        ::prctl(PR_SET_PDEATHSIG, signal);
        if (::getppid() != parent)
            ::_exit(127);
    });
}

// The state letter of a process in /proc: 'T' when stopped.
char processState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    return line.mid(line.lastIndexOf(')') + 2, 1).append('?').at(0);
}

// One run of the game: its standard error (where it also says when each board
// has been revealed) and the text of every message box it showed.
struct Game {
    QProcess process;
    QTemporaryDir spy;
    QByteArray stderrBytes;

    ~Game() { kill(); }
    void kill() { process.kill(); process.waitForFinished(5000); }
    bool exited() { return process.state() == QProcess::NotRunning || process.waitForFinished(15000); }
    int status() const { return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1; }
    QString errors()
    {
        process.waitForReadyRead(20);
        stderrBytes += process.readAllStandardError();
        return QString::fromLocal8Bit(stderrBytes);
    }
    bool boardsRevealed(int count)
    {
        return waitFor([&] { return errors().count(QStringLiteral("board-revealed-ms")) >= count; });
    }
    QStringList messages() const
    {
        QFile log(spy.filePath(QStringLiteral("log")));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts)
                                             : QStringList();
    }
};

} // namespace

class TestE2e : public QObject {
    Q_OBJECT
    QProcess xvfb;
    // program/ (the game, its parts and Data/), config/ and runtime/.
    std::unique_ptr<QTemporaryDir> root;

    QString path(const QString &relative) const { return root->filePath(relative); }
    QStringList configEntries() const
    {
        return QDir(path("config")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // Won, lost, given up and total as stored in config/`file`.
    QString counters(const QString &file = QStringLiteral("Tarvolin.conf")) const
    {
        QSettings s(path("config/" + file), QSettings::IniFormat);
        s.beginGroup(QStringLiteral("Gallows"));
        return QStringList{s.value("GamesWon").toString(), s.value("GamesLost").toString(),
                           s.value("GamesGiveUp").toString(), s.value("GamesTotal").toString()}
            .join(' ');
    }
    void seedSettings()
    {
        QFile file(path("config/Tarvolin.conf"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kEarlierRun) == kEarlierRun.size());
    }

    // A program folder as a player has it, its catalogue made by the
    // catalogue tool from `title` (none: no rows) under `key` (none: the
    // game's own).
    void prepare(const QString &title, const QString &key = QString())
    {
        root = std::make_unique<QTemporaryDir>();
        for (const char *folder : {"program/Data", "config", "runtime"}) {
            QVERIFY(QDir().mkpath(path(folder)));
            // Qt refuses a runtime folder anyone else may enter.
            QFile::setPermissions(path(folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        for (const QString source : {GALLOWS_PROGRAM, GALLOWS_READER_PART, GALLOWS_CUE_PART})
            QVERIFY(QFile::copy(source, path("program/" + QFileInfo(source).fileName())));
        const QDir media(QStringLiteral(GALLOWS_BUILD_DATA "/Gallows"));
        for (QDirIterator it(media.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString target = path("program/Data/Gallows/" + media.relativeFilePath(it.next()));
            QVERIFY(QDir().mkpath(QFileInfo(target).path()) && QFile::copy(it.filePath(), target));
        }
        QFile csv(path("games.csv"));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("GameID,Title,Year,Genre,Publisher,Developer\n");
        if (!title.isEmpty())
            csv.write("1," + title.toUtf8() + ",1984,simulation,Tarvolin Test House,Two Coders\n");
        csv.close();
        QProcess tool;
        tool.start(QStringLiteral(GALLOWS_CATALOGUE_TOOL),
                   (key.isEmpty() ? QStringList() : QStringList{"--key", key})
                       << "import" << csv.fileName() << path("program/Data/bsk.cab"));
        QVERIFY2(tool.waitForFinished(30000) && tool.exitCode() == 0, tool.readAllStandardError().constData());
    }

    bool start(Game &game, const QMap<QString, QString> &extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        QMap<QString, QString> values{
            {"QT_QPA_PLATFORM", "xcb"}, {"XDG_CONFIG_HOME", path("config")},
            {"XDG_RUNTIME_DIR", path("runtime")}, {"XDG_CACHE_HOME", path("runtime/cache")},
            {"QT_PLUGIN_PATH", GALLOWS_SPY_PLUGIN_DIR}, {"QT_QPA_GENERIC_PLUGINS", "gallowsmessagespy"},
            {"GALLOWS_MESSAGE_SPY", game.spy.filePath("log")}, {"GALLOWS_TRACE_TIMING", "1"}};
        values.insert(extra);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            env.insert(it.key(), it.value());
        game.process.setProcessEnvironment(env);
        game.process.setWorkingDirectory(path("program"));
        game.process.setStandardOutputFile(QProcess::nullDevice());
        game.process.setReadChannel(QProcess::StandardError);
        dieWithParent(game.process);
        game.process.start(path("program/gallows"), {});
        return game.process.waitForStarted(10000);
    }
    // Started, first board revealed, window focused.
    bool startPlaying(Game &game, const QMap<QString, QString> &extra = {})
    {
        return start(game, extra) && game.boardsRevealed(1) && focusWindow();
    }

    bool xdotool(const QStringList &args, QString *out = nullptr) const
    {
        QProcess tool; // on the test's own DISPLAY, Xvfb's
        dieWithParent(tool);
        tool.start(QStringLiteral("xdotool"), args);
        const bool done = tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit;
        if (out)
            *out = QString::fromLocal8Bit(tool.readAllStandardOutput());
        return done && tool.exitCode() == 0;
    }
    // Key names as xdotool spells them ("Return", "ctrl+q"), in order.
    bool keys(const QString &names) const
    {
        return xdotool(QStringList{"key", "--delay", "40", "--"} + names.split(' '));
    }
    // The visible windows titled as the game.
    QStringList windows() const
    {
        QString out;
        xdotool({"search", "--onlyvisible", "--name", "^Tarvolin Gallows$"}, &out);
        return out.split('\n', Qt::SkipEmptyParts);
    }
    // There is no window manager: the X input focus is set directly.
    bool focusWindow() const
    {
        return waitFor([&] { return !windows().isEmpty(); }) && xdotool({"windowfocus", "--sync", windows().value(0)});
    }

private slots:
    void initTestCase()
    {
        dieWithParent(xvfb, SIGTERM);
        xvfb.setStandardErrorFile(QProcess::nullDevice());
        xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        // It writes the number of the display it took once it accepts clients.
        waitFor([&] {
            xvfb.waitForReadyRead(50);
            return xvfb.canReadLine() || xvfb.state() == QProcess::NotRunning;
        });
        bool ok = false;
        const int display = xvfb.readLine().trimmed().toInt(&ok);
        QVERIFY2(ok, "Xvfb gave no display number");
        qputenv("DISPLAY", ":" + QByteArray::number(display)); // for xdotool and the game
    }
    void cleanupTestCase()
    {
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    }

    // Nine wrong letters lose, New Game, the typed title wins; Ctrl+Q saves.
    void lossThenWin()
    {
        prepare(QStringLiteral("Elite"));
        seedSettings();
        Game game;
        QVERIFY2(startPlaying(game), qPrintable(game.errors()));
        QVERIFY(keys("q Return w Return r Return u Return y Return p Return s Return d Return f Return alt+n"));
        QVERIFY2(game.boardsRevealed(2), qPrintable(game.errors()));
        QVERIFY(keys("Tab e shift+l i shift+t e Return ctrl+q"));
        QVERIFY2(game.exited(), "the game did not leave after Ctrl+Q");
        QCOMPARE(game.status(), 0);
        QCOMPARE(counters(), QStringLiteral("6 5 3 14"));
        QCOMPARE(game.messages(), QStringList());
    }

    // A second start leaves at once with status 0 and no window; a lock left
    // by a killed copy does not stop the next one.
    void oneCopyOnly()
    {
        prepare(QStringLiteral("Elite"));
        Game first, second, third, fourth;
        QVERIFY2(startPlaying(first), qPrintable(first.errors()));
        // The second copy leaves before it loads the catalogue reader, the
        // display's plugin or the cue player.
        QVERIFY(start(second, {{"LD_DEBUG", "files"}}));
        QVERIFY2(second.exited(), "the second copy is still running after 15 s");
        QCOMPARE(second.status(), 0);
        const QString loaded = second.errors();
        QVERIFY2(loaded.contains(QStringLiteral("file=")), "LD_DEBUG had no effect");
        for (const char *part : {"gallows-catalogue-reader", "libsqlcipher", "libqxcb", "gallows-cue-player"})
            QVERIFY2(!loaded.contains(QLatin1String(part)), part);
        QCOMPARE(windows().size(), 1);
        // A lock left by a killed copy, with its process id or still empty,
        // does not stop the next one.
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
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("damaged"); // removed, or overwritten when `garbage`
        QTest::addColumn<bool>("garbage");
        QTest::addColumn<QString>("message"); // how it starts; %1 the program folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("written");
        const QString unreadable = QStringLiteral("The games catalogue %1/Data/bsk.cab cannot be read: ");
        QTest::newRow("catalogue missing") << "Elite" << "" << "Data/bsk.cab" << false
                                           << "The games catalogue %1/Data/bsk.cab is missing." << 1 << QStringList();
        QTest::newRow("wrong key") << "Elite" << "not the key" << "" << false << unreadable << 1 << QStringList();
        QTest::newRow("garbage") << "Elite" << "" << "Data/bsk.cab" << true << unreadable << 1 << QStringList();
        QTest::newRow("no games") << "" << "" << "" << false
                                  << "No games to use as words! Download the latest Brisklore Games Encyclopedia "
                                     "update to play Gallows!"
                                  << 0 << QStringList();
        QTest::newRow("picture missing") << "Elite" << "" << "Data/Gallows/Graphics/0.gif" << false
                                         << "The picture %1/Data/Gallows/Graphics/0.gif is missing or cannot be read."
                                         << 1 << QStringList{"Tarvolin.conf"};
    }
    void badStartups()
    {
        QFETCH(QString, title);
        QFETCH(QString, key);
        QFETCH(QString, damaged);
        QFETCH(bool, garbage);
        QFETCH(QString, message);
        QFETCH(int, status);
        QFETCH(QStringList, written);
        prepare(title, key);
        QFile file(path("program/" + damaged));
        if (garbage)
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, 'x')) == 4096);
        else if (!damaged.isEmpty())
            QVERIFY(file.remove());
        file.close();

        Game game;
        QVERIFY(start(game));
        QVERIFY2(waitFor([&] { return !game.messages().isEmpty(); }), qPrintable(game.errors()));
        QVERIFY(focusWindow());
        QVERIFY(keys("Return"));
        QVERIFY2(game.exited(), "the game did not leave after its message");
        QCOMPARE(game.status(), status);
        QCOMPARE(game.messages().size(), 1);
        const QString shown = game.messages().at(0);
        QVERIFY2(shown.startsWith(message.replace("%1", QDir(path("program")).canonicalPath())), qPrintable(shown));
        QVERIFY2(game.errors().contains("gallows: " + shown + '\n'), qPrintable(game.errors()));
        QCOMPARE(configEntries(), written);
    }

    // Killed with Reset's settings write stopped just before its rename (the
    // new copy written beside the old file) or just after it: the next start
    // finds one whole store, the old one or the new one, and nothing else.
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
        prepare(QStringLiteral("Elite"));
        seedSettings();
        Game game;
        QVERIFY2(startPlaying(game, {{"LD_PRELOAD", GALLOWS_PAUSE_DISK_LIBRARY},
                                     {"GALLOWS_PAUSE_DIR", path("config")},
                                     {"GALLOWS_PAUSE_AT", at}}),
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
