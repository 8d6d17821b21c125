// The real game under its own Xvfb with real keystrokes: a loss and a win
// read back from disk, one copy only, start-ups that cannot go on, and kills
// at the risky moments of a settings write.

#include "harness.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace gallows::e2e;

namespace {

const QMap<QString, QString> kEarlierRun = {
    {"PreviousRun", "True"}, {"GamesWon", "5"},   {"GamesLost", "4"},       {"GamesGiveUp", "3"},
    {"GamesTotal", "12"},    {"Clue", "5"},       {"SaveStats", "True"},    {"Sounds", "4"}};

QString counters(const QMap<QString, QString> &s)
{
    return QStringList{s.value("GamesWon"), s.value("GamesLost"), s.value("GamesGiveUp"), s.value("GamesTotal")}.join(' ');
}

// The process state letter from /proc: 'T' when stopped.
char processState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray line = stat.readAll();
    const qsizetype at = line.lastIndexOf(')') + 2;
    return at > 1 && at < line.size() ? line[at] : '?';
}

} // namespace

class TestE2e : public QObject {
    Q_OBJECT
    XServer x;
    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<UserFolders> user;

    // A program folder with a catalogue of `titles`.
    void prepare(const QStringList &titles)
    {
        folder = std::make_unique<ProgramFolder>();
        user = std::make_unique<UserFolders>();
        QString why;
        QVERIFY2(folder->populate(&why), qPrintable(why));
        if (!titles.isEmpty())
            QVERIFY2(folder->writeCatalogue(gamesCsv(titles), &why), qPrintable(why));
    }
    void start(GameProcess &game)
    {
        QString why;
        QVERIFY2(game.start(*folder, *user, x, &why), qPrintable(why));
    }
    // Starts the game and waits for its first board to be revealed and focused.
    void startPlaying(GameProcess &game, const Desktop &desktop)
    {
        start(game);
        QVERIFY2(game.waitForBoards(1, 20000), qPrintable(game.errorOutput()));
        QVERIFY(!desktop.waitForWindow(kGameTitle).isEmpty());
    }

private slots:
    void initTestCase()
    {
        QString why;
        QVERIFY2(x.start(&why), qPrintable(why));
    }

    // Nine wrong letters lose, New Game, the typed title wins; Ctrl+Q saves.
    void lossThenWin()
    {
        prepare({QStringLiteral("Elite")});
        QVERIFY(user->seedSettings(kEarlierRun));
        GameProcess game;
        Desktop desktop(x);
        startPlaying(game, desktop);
        QVERIFY(desktop.guessLetters(QStringLiteral("qwruypsdf")));
        QVERIFY(desktop.keys({QStringLiteral("alt+n")}));
        QVERIFY2(game.waitForBoards(2, 20000), qPrintable(game.errorOutput()));
        QVERIFY(desktop.keys({QStringLiteral("Tab")}));
        QVERIFY(desktop.type(QStringLiteral("eLiTe")));
        QVERIFY(desktop.keys({QStringLiteral("Return"), QStringLiteral("ctrl+q")}));
        QVERIFY2(game.waitForExit(15000), "the game did not leave after Ctrl+Q");
        QCOMPARE(game.exitCode(), 0);
        QCOMPARE(counters(user->settings()), QStringLiteral("6 5 3 14"));
        QVERIFY(game.messages().isEmpty());
    }

    // A second start leaves at once with status 0; a lock left by a killed
    // copy does not stop the next one.
    void oneCopyOnly()
    {
        prepare({QStringLiteral("Elite")});
        GameProcess first, second, third;
        Desktop desktop(x);
        startPlaying(first, desktop);
        start(second);
        QVERIFY2(second.waitForExit(15000), "the second copy is still running");
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(first.running());
        QCOMPARE(desktop.windows(kGameTitle).size(), 1);
        first.killHard();
        startPlaying(third, desktop);
        QVERIFY(third.running());
    }

    // Each start-up that cannot go on says why in a message box and on
    // standard error, leaves with its status once the box is closed, and
    // writes nothing (a missing picture is met after the first-run write).
    void badStartups_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("written");
        const QString unreadable = QStringLiteral("cannot be read");
        QTest::newRow("catalogue missing") << "missing" << "Data/bsk.cab is missing." << 1 << QStringList();
        QTest::newRow("wrong key") << "key" << unreadable << 1 << QStringList();
        QTest::newRow("garbage") << "garbage" << unreadable << 1 << QStringList();
        QTest::newRow("no games") << "empty" << "No games to use as words!" << 0 << QStringList();
        QTest::newRow("picture missing") << "picture" << "0.gif is missing or cannot be read." << 1
                                         << QStringList{"Tarvolin.conf"};
    }

    void badStartups()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        QFETCH(int, status);
        QFETCH(QStringList, written);
        prepare(damage == "empty" ? QStringList() : QStringList{QStringLiteral("Elite")});
        QString why;
        if (damage == "key")
            QVERIFY2(folder->writeCatalogue(gamesCsv({"Elite"}), &why, QStringLiteral("not the key")), qPrintable(why));
        else if (damage == "empty")
            QVERIFY2(folder->writeCatalogue(gamesCsv({}), &why), qPrintable(why));
        QFile catalogue(folder->filePath(QStringLiteral("Data/bsk.cab")));
        if (damage == "missing")
            QVERIFY(catalogue.remove());
        else if (damage == "garbage")
            QVERIFY(catalogue.open(QIODevice::WriteOnly) && catalogue.write(QByteArray(4096, 'x')) == 4096);
        else if (damage == "picture")
            QVERIFY(QFile::remove(folder->filePath(QStringLiteral("Data/Gallows/Graphics/0.gif"))));
        catalogue.close();

        GameProcess game;
        Desktop desktop(x);
        start(game);
        QVERIFY2(waitFor([&] { return !game.messages().isEmpty(); }, 20000), qPrintable(game.errorOutput()));
        QCOMPARE(game.messages().size(), 1);
        QVERIFY2(game.messages()[0].contains(message), qPrintable(game.messages()[0]));
        QVERIFY(!desktop.waitForWindow(kGameTitle).isEmpty());
        QVERIFY(desktop.keys({QStringLiteral("Return")}));
        QVERIFY2(game.waitForExit(15000), "the game did not leave after its message");
        QCOMPARE(game.exitCode(), status);
        QVERIFY2(game.errorOutput().contains(message), qPrintable(game.errorOutput()));
        QCOMPARE(user->configEntries(), written);
    }

    // Killed in the middle of a settings write (the new file written, not yet
    // in place) or just after Reset has replaced it: the next start finds a
    // whole store, the old one or the new one, and nothing else.
    void killDuringSettingsWrite_data()
    {
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("after");
        QTest::newRow("mid-write") << "before" << "5 4 3 12";
        QTest::newRow("right after Reset") << "after" << "0 0 0 0";
    }

    void killDuringSettingsWrite()
    {
        QFETCH(QString, at);
        QFETCH(QString, after);
        prepare({QStringLiteral("Elite")});
        QVERIFY(user->seedSettings(kEarlierRun));
        GameProcess game;
        Desktop desktop(x);
        game.setEnvironment(QStringLiteral("LD_PRELOAD"), QStringLiteral(GALLOWS_PAUSE_DISK_LIBRARY));
        game.setEnvironment(QStringLiteral("GALLOWS_PAUSE_DIR"), QFileInfo(user->settingsFile()).path());
        game.setEnvironment(QStringLiteral("GALLOWS_PAUSE_AT"), at);
        startPlaying(game, desktop);
        QVERIFY(desktop.keys({QStringLiteral("ctrl+r")}));
        QVERIFY2(waitFor([&] { return processState(game.pid()) == 'T'; }, 15000), "the write never reached its rename");
        const QStringList entries = user->configEntries();
        if (at == "before") // the new copy is there beside the old file
            QVERIFY2(entries.size() >= 2, qPrintable(entries.join(' ')));
        QCOMPARE(counters(user->settings()), at == "before" ? QStringLiteral("5 4 3 12") : QStringLiteral("0 0 0 0"));
        game.killHard();

        GameProcess next;
        startPlaying(next, desktop);
        QCOMPARE(user->configEntries(), QStringList{"Tarvolin.conf"});
        QCOMPARE(counters(user->settings()), after);
        QVERIFY(desktop.keys({QStringLiteral("ctrl+q")}));
        QVERIFY(next.waitForExit(15000));
        QCOMPARE(user->settings().value("Sounds"), QStringLiteral("4"));
    }

};

QTEST_GUILESS_MAIN(TestE2e)
#include "tst_e2e.moc"
