// Playing the real game under Xvfb with real keystrokes: wins, losses, two
// games in a row, and what the statistics on disk say afterwards.

#include "harness.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <QTest>

using namespace gallows::e2e;

class TestE2ePlay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void playOneGame_data();
    void playOneGame();
    void twoWinsInARow();
    void resetSurvivesKill();
    void unwritableStoreAtClose();

private:
    // Starts the game on a catalogue of `titles`; the focused window's id.
    QString startGame(const QStringList &titles, bool withoutCuePlayer = false);
    // Ctrl+Q and a clean exit.
    void quit(const QString &window);
    // A screenshot of the whole screen, which must show a painted window.
    void shoot(const QString &name);

    XServer x;
    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<UserFolders> user;
    std::unique_ptr<GameProcess> game;
};

void TestE2ePlay::initTestCase()
{
    QString why;
    QVERIFY2(x.start(&why), qPrintable(why));
}

void TestE2ePlay::cleanupTestCase() { x.stop(); }

void TestE2ePlay::init()
{
    folder = std::make_unique<ProgramFolder>();
    user = std::make_unique<UserFolders>();
    game = std::make_unique<GameProcess>();
    QVERIFY(user->isValid());
}

void TestE2ePlay::cleanup()
{
    game.reset(); // kills a game a failed test left running
    user.reset();
    folder.reset();
}

QString TestE2ePlay::startGame(const QStringList &titles, bool withoutCuePlayer)
{
    QString why;
    if (!folder->populate(&why) || !folder->writeCatalogue(gamesCsv(titles), &why)
        || (withoutCuePlayer && !QFile::remove(QDir(folder->path()).filePath(QStringLiteral("gallows-cue-player.so"))))
        || !game->start(*folder, *user, x, &why)) {
        qWarning("%s", qPrintable(why));
        return QString();
    }
    Desktop desktop(x);
    const QString window = desktop.waitForWindow(kGameTitle, 15000);
    if (window.isEmpty()) {
        qWarning("no game window; stderr: %s", qPrintable(game->errorOutput()));
        return QString();
    }
    // Let the window settle and the board start to come in before the
    // first key, so the focus is not raced.
    idle(400);
    if (!desktop.focus(window))
        return QString();
    idle(150);
    return window;
}

void TestE2ePlay::quit(const QString &window)
{
    Desktop desktop(x);
    QVERIFY(desktop.focus(window));
    QVERIFY(desktop.key(QStringLiteral("ctrl+q")));
    QVERIFY2(game->waitForExit(5000), "Ctrl+Q did not end the game");
    QVERIFY(game->exitedNormally());
    QCOMPARE(game->exitCode(), 0);
}

void TestE2ePlay::shoot(const QString &name)
{
    Desktop desktop(x);
    const QString path = QDir(screenshotFolder()).filePath(name + QStringLiteral(".png"));
    QFile::remove(path);
    QVERIFY2(desktop.screenshot(path), qPrintable(path));
    const QImage shot(path);
    QCOMPARE(shot.size(), QSize(1024, 768));
    // The bare server's screen is black: a painted window brings colours.
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 4) {
        for (int x = 0; x < shot.width(); x += 4)
            colours.insert(shot.pixel(x, y));
    }
    QVERIFY2(colours.size() > 16, qPrintable(QString::number(colours.size())));
    qInfo("screenshot: %s", qPrintable(path));
}

void TestE2ePlay::playOneGame_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("letters");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("screenshot");
    QTest::addColumn<bool>("withoutCuePlayer");

    QTest::newRow("one word, won") << QStringLiteral("Elite") << QStringLiteral("elit") << counters(1, 0, 0, 1)
                                   << QStringLiteral("e2e-won") << false;
    // Only the part before the last colon is played; spaces come free.
    QTest::newRow("words and a colon, won")
        << QStringLiteral("Jet Set Willy II: The Final Frontier") << QStringLiteral("JETSWILY")
        << counters(1, 0, 0, 1) << QStringLiteral("e2e-won-words") << false;
    QTest::newRow("eight wrong, then won") << QStringLiteral("Elite") << QStringLiteral("abcdfghjelit")
                                           << counters(1, 0, 0, 1) << QString() << false;
    QTest::newRow("nine wrong, lost") << QStringLiteral("Elite") << QStringLiteral("abcdfghjk")
                                      << counters(0, 1, 0, 1) << QStringLiteral("e2e-lost") << false;
    // Without its cue player the game plays on in silence.
    QTest::newRow("no cue player, lost") << QStringLiteral("Elite") << QStringLiteral("abcdfghjk")
                                         << counters(0, 1, 0, 1) << QString() << true;
}

void TestE2ePlay::playOneGame()
{
    QFETCH(QString, title);
    QFETCH(QString, letters);
    QFETCH(QString, expected);
    QFETCH(QString, screenshot);
    QFETCH(bool, withoutCuePlayer);

    const QString window = startGame({title}, withoutCuePlayer);
    QVERIFY(!window.isEmpty());
    Desktop desktop(x);
    QVERIFY(desktop.guessLetters(letters));
    idle(400);
    if (!screenshot.isEmpty())
        shoot(screenshot);
    quit(window);
    QCOMPARE(countersIn(user->settings()), expected);
    QCOMPARE(game->errorOutput().contains(QStringLiteral("gallows: playing without sound")), withoutCuePlayer);
}

void TestE2ePlay::twoWinsInARow()
{
    const QString window = startGame({QStringLiteral("Elite")});
    QVERIFY(!window.isEmpty());
    Desktop desktop(x);
    QVERIFY(desktop.guessLetters(QStringLiteral("elit")));
    idle(200);
    // New Game by its access key (Enter would do too: a win focuses it).
    QVERIFY(desktop.key(QStringLiteral("alt+n")));
    idle(400);
    QVERIFY(desktop.guessLetters(QStringLiteral("elit")));
    idle(200);
    quit(window);
    QCOMPARE(countersIn(user->settings()), counters(2, 0, 0, 2));
}

void TestE2ePlay::resetSurvivesKill()
{
    // Statistics from earlier runs, then a game with a wrong guess on it.
    QVERIFY(user->seedSettings({{QStringLiteral("PreviousRun"), QStringLiteral("True")},
                                {QStringLiteral("GamesWon"), QStringLiteral("4")},
                                {QStringLiteral("GamesLost"), QStringLiteral("3")},
                                {QStringLiteral("GamesGiveUp"), QStringLiteral("2")},
                                {QStringLiteral("GamesTotal"), QStringLiteral("9")},
                                {QStringLiteral("Clue"), QStringLiteral("5")},
                                {QStringLiteral("SaveStats"), QStringLiteral("True")},
                                {QStringLiteral("Sounds"), QStringLiteral("1")}}));
    const QString window = startGame({QStringLiteral("Elite")});
    QVERIFY(!window.isEmpty());
    QCOMPARE(countersIn(user->settings()), counters(4, 3, 2, 9));
    Desktop desktop(x);
    QVERIFY(desktop.guessLetters(QStringLiteral("q")));
    QVERIFY(desktop.key(QStringLiteral("ctrl+r")));
    // Killed as soon as the reset shows on disk: no chance to tidy up.
    QTRY_COMPARE_WITH_TIMEOUT(countersIn(user->settings()), counters(0, 0, 0, 0), 5000);
    game->killHard();
    QVERIFY(!game->exitedNormally());
    const QMap<QString, QString> after = user->settings();
    QCOMPARE(countersIn(after), counters(0, 0, 0, 0));
    QCOMPARE(after.value(QStringLiteral("PreviousRun")), QStringLiteral("True"));
    // Only the store itself is left, no half-written copy beside it.
    QCOMPARE(user->configEntries(), QStringList{QStringLiteral("Tarvolin.conf")});
}

// The settings file cannot be replaced when the window closes (a folder
// stands in its place): one message comes up over the window, and once it is
// dismissed the game ends normally.
void TestE2ePlay::unwritableStoreAtClose()
{
    QVERIFY(user->seedSettings({{QStringLiteral("PreviousRun"), QStringLiteral("True")},
                                {QStringLiteral("GamesWon"), QStringLiteral("0")},
                                {QStringLiteral("GamesLost"), QStringLiteral("0")},
                                {QStringLiteral("GamesGiveUp"), QStringLiteral("0")},
                                {QStringLiteral("GamesTotal"), QStringLiteral("0")},
                                {QStringLiteral("Clue"), QStringLiteral("5")},
                                {QStringLiteral("SaveStats"), QStringLiteral("True")},
                                {QStringLiteral("Sounds"), QStringLiteral("1")}}));
    const QString window = startGame({QStringLiteral("Elite")});
    QVERIFY(!window.isEmpty());
    Desktop desktop(x);
    QVERIFY(desktop.guessLetters(QStringLiteral("elit"))); // a win the store will not keep
    QVERIFY(QFile::remove(user->settingsFile()));
    QVERIFY(QDir().mkdir(user->settingsFile()));
    QVERIFY(desktop.key(QStringLiteral("ctrl+q")));

    auto others = [&] {
        QStringList found = desktop.windows(kGameTitle);
        found.removeAll(window);
        return found;
    };
    QTRY_VERIFY_WITH_TIMEOUT(!others().isEmpty(), 5000);
    QVERIFY(game->running());
    shoot(QStringLiteral("e2e-unwritable-store"));
    QVERIFY(desktop.focus(others().first()));
    QVERIFY(desktop.key(QStringLiteral("Return")));
    QVERIFY2(game->waitForExit(5000), "the game did not end after the message");
    QVERIFY(game->exitedNormally());
    QCOMPARE(game->exitCode(), 0);
    QVERIFY(QFileInfo(user->settingsFile()).isDir());
}

QTEST_GUILESS_MAIN(TestE2ePlay)
#include "tst_e2e_play.moc"
