// The settings kept between runs and the four statistics counters.

#include "harness.h"

using namespace gallows;
using namespace gallows::testing;

namespace {

QStringList panels(const Rig &r)
{
    return {r.ui().stsBar.begin(), r.ui().stsBar.end()};
}

QStringList panelsFor(int won, int lost, int givenUp, int total)
{
    return {QStringLiteral("Games Won: %1").arg(won), QStringLiteral("Games Lost: %1").arg(lost),
        QStringLiteral("Given Up: %1").arg(givenUp), QStringLiteral("Games Played: %1").arg(total)};
}

void finish(Rig &r, const QString &outcome)
{
    if (outcome == "win")
        r.title(r.game.CurrentTitle);
    else if (outcome == "loss")
        r.letters("QQQQQQQQQ");
    else
        r.game.cmdGiveUp_Click();
}

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void emptyStore()
    {
        Rig r({"ABC"});
        r.game.Form_Load();
        QCOMPARE(r.settings.writes,
            (QStringList{"GamesWon=0", "GamesLost=0", "GamesGiveUp=0", "GamesTotal=0", "PreviousRun=True",
                "Clue=5", "SaveStats=True", "Sounds=1"}));
        QCOMPARE(panels(r), panelsFor(0, 0, 0, 0));
        QCOMPARE(r.ui().mnuClue, (std::array<bool, 5>{}));
        QCOMPARE(r.ui().mnuSounds, (std::array<bool, 4>{}));
        QVERIFY(!r.ui().cmdNew.visible);
        r.game.new_game();
        QCOMPARE(r.ui().mnuClue, (std::array<bool, 5>{false, false, false, false, true}));
        QCOMPARE(r.ui().mnuSounds, (std::array<bool, 4>{true, false, false, false}));
        QVERIFY(r.ui().mnuStats);
        QCOMPARE(r.ui().lblClue.caption, QStringLiteral("Clue 1 of 3: Published in 1990 by Pub"));
        QCOMPARE(r.settings.writes.size(), 8);
    }

    void previousRun_data()
    {
        QTest::addColumn<QString>("previousRun");
        QTest::addColumn<bool>("reinitialised");
        QTest::newRow("True") << "True" << false;
        QTest::newRow("False") << "False" << true;
    }

    void previousRun()
    {
        QFETCH(bool, reinitialised);
        Store store = saved({{"PreviousRun", fetched<QString>("previousRun")}, {"GamesWon", "4"},
            {"GamesLost", "3"}, {"GamesGiveUp", "2"}, {"GamesTotal", "9"}, {"Clue", "2"},
            {"SaveStats", "False"}, {"Sounds", "3"}});
        Rig r({"ABC"}, store);
        r.begin();
        QCOMPARE(r.settings.writes.isEmpty(), !reinitialised);
        QCOMPARE(panels(r), reinitialised ? panelsFor(0, 0, 0, 0) : panelsFor(4, 3, 2, 9));
        QCOMPARE(r.settings.values.value("PreviousRun"),
            reinitialised ? QStringLiteral("True") : store["PreviousRun"]);
        QCOMPARE(r.game.ClueLevel, reinitialised ? QStringLiteral("5") : QStringLiteral("2"));
        QCOMPARE(r.game.SoundLevel, qint16(reinitialised ? 1 : 3));
        QCOMPARE(r.ui().mnuStats, reinitialised);
    }

    // What the close writes, by the save-statistics option held at that moment.
    void close_data()
    {
        QTest::addColumn<QString>("stored"); // SaveStats in the store
        QTest::addColumn<bool>("toggle"); // the menu item used once during the run
        QTest::addColumn<bool>("keep");
        QTest::addColumn<bool>("marked"); // the check mark after the first game's set-up
        QTest::newRow("on") << "True" << false << true << true;
        QTest::newRow("off") << "False" << false << false << false;
        QTest::newRow("switched off") << "True" << true << false << true;
    }

    void close()
    {
        QFETCH(QString, stored);
        QFETCH(bool, keep);
        Rig r({"ABC"}, saved({{"SaveStats", stored}}));
        r.begin();
        QCOMPARE(r.ui().mnuStats, fetched<bool>("marked"));
        if (fetched<bool>("toggle"))
            r.game.mnuStats_Click();
        else
            QCOMPARE(r.settings.values.value("SaveStats"), stored); // untouched until the item is used
        for (int game = 0; game < 2; ++game) {
            finish(r, "win");
            r.game.cmdNew_Click();
            r.reveal();
        }
        r.game.mnuClue_Click(3);
        r.game.mnuSounds_Click(2);
        r.settings.writes.clear();
        r.game.Form_QueryUnload();
        const QString n = keep ? "2" : "0";
        QCOMPARE(r.settings.writes,
            (QStringList{
                "GamesWon=" + n, "GamesLost=0", "GamesGiveUp=0", "GamesTotal=" + n, "Clue=3", "Sounds=2"}));
        QVERIFY(r.catalogue.closed);
        QVERIFY(r.messages.shown.isEmpty());
    }

    void reset()
    {
        Rig r({"ABC"},
            saved({{"GamesWon", "5"}, {"GamesLost", "4"}, {"GamesGiveUp", "3"}, {"GamesTotal", "12"},
                {"SaveStats", "False"}}));
        r.begin();
        r.letters("AXYZ");
        const QString board = r.board(), clue = r.ui().lblClue.caption;
        r.game.mnuReset_Click();
        QCOMPARE(
            r.settings.writes, (QStringList{"GamesWon=0", "GamesLost=0", "GamesGiveUp=0", "GamesTotal=0"}));
        QCOMPARE(panels(r), panelsFor(0, 0, 0, 0));
        QCOMPARE(r.board(), board);
        QCOMPARE(r.game.WrongGuesses, 3);
        QCOMPARE(r.ui().lblClue.caption, clue);
        QCOMPARE(r.ui().imgGallows, picture(3));
        QVERIFY(r.running());
        finish(r, "win");
        QCOMPARE(panels(r), panelsFor(1, 0, 0, 1));
    }

    // Which panels an outcome changes, from given stored counters; they never wrap.
    void outcomes_data()
    {
        QTest::addColumn<QList<int>>("stored"); // won, lost, given up, total
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QList<int>>("after");
        QTest::newRow("win") << QList<int>{3, 2, 1, 6} << "win" << QList<int>{4, 2, 1, 7};
        QTest::newRow("loss") << QList<int>{3, 2, 1, 6} << "loss" << QList<int>{3, 3, 1, 7};
        QTest::newRow("give up") << QList<int>{3, 2, 1, 6} << "giveup" << QList<int>{3, 2, 2, 7};
        QTest::newRow("won at 32767")
            << QList<int>{32767, 0, 0, 32767} << "win" << QList<int>{32767, 0, 0, 32767};
        QTest::newRow("sum past 32767")
            << QList<int>{20000, 12767, 0, 32767} << "win" << QList<int>{20001, 12767, 0, 32767};
        QTest::newRow("negative stored") << QList<int>{-5, 0, 0, -5} << "win" << QList<int>{-4, 0, 0, -4};
    }

    void outcomes()
    {
        QFETCH(QList<int>, stored);
        QFETCH(QList<int>, after);
        Rig r({"ABC"},
            saved({{"GamesWon", QString::number(stored[0])}, {"GamesLost", QString::number(stored[1])},
                {"GamesGiveUp", QString::number(stored[2])}, {"GamesTotal", QString::number(stored[3])}}));
        r.begin();
        QCOMPARE(panels(r), panelsFor(stored[0], stored[1], stored[2], stored[3]));
        finish(r, fetched<QString>("outcome"));
        QCOMPARE(panels(r), panelsFor(after[0], after[1], after[2], after[3]));
        QCOMPARE(r.game.GamesTotal, qint16(after[3]));
        r.game.Form_QueryUnload();
        QCOMPARE(r.settings.values.value("GamesWon"), QString::number(after[0]));
        QCOMPARE(r.settings.values.value("GamesTotal"), QString::number(after[3]));
    }

    // A stored counter or sound level that is not 16-bit decimal text reads as its
    // first-run default; the game starts all the same.
    void badStoredNumbers_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("read");
        const QStringList keys = {"GamesWon", "GamesTotal", "Sounds"};
        for (const QString &key : keys) {
            const int fallback = key == "Sounds" ? 1 : 0;
            for (const char *bad : {"abc", "", "32768", "-32769", "5x"})
                QTest::addRow("%s \"%s\"", qPrintable(key), bad) << key << QString(bad) << fallback;
            QTest::addRow("%s 32767", qPrintable(key)) << key << "32767" << 32767;
            QTest::addRow("%s -32768", qPrintable(key)) << key << "-32768" << -32768;
        }
    }

    void badStoredNumbers()
    {
        QFETCH(QString, key);
        QFETCH(int, read);
        Store store = saved({{"GamesWon", "1"}, {"GamesLost", "1"}, {"GamesGiveUp", "1"}, {"GamesTotal", "1"},
            {"Sounds", "2"}});
        store[key] = fetched<QString>("value");
        Rig r({"ABC"}, store);
        r.begin();
        QVERIFY(r.running());
        const QMap<QString, int> held{{"GamesWon", r.game.GamesWon}, {"GamesLost", r.game.GamesLost},
            {"GamesGiveUp", r.game.GamesGiveUp}, {"GamesTotal", r.game.GamesTotal},
            {"Sounds", r.game.SoundLevel}};
        for (auto it = held.begin(); it != held.end(); ++it)
            QCOMPARE(it.value(), it.key() == key ? read : it.key() == "Sounds" ? 2 : 1);
        const int panel = QStringList{"GamesWon", "GamesLost", "GamesGiveUp", "GamesTotal"}.indexOf(key);
        if (panel >= 0)
            QCOMPARE(panels(r)[panel].section(' ', -1), QString::number(read));
    }

    // A write that fails outside the close: one message naming the file, and the
    // run goes on as if the write had worked.
    void failingWrites_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("save statistics item") << "stats";
        QTest::newRow("reset") << "reset";
        QTest::newRow("first run") << "first";
    }

    void failingWrites()
    {
        QFETCH(QString, action);
        Rig r({"ABC"}, action == "first" ? Store() : saved({{"GamesWon", "2"}, {"GamesTotal", "2"}}));
        r.settings.failWrites = true;
        r.begin();
        if (action == "stats")
            r.game.mnuStats_Click();
        else if (action == "reset")
            r.game.mnuReset_Click();
        QCOMPARE(r.messages.shown.size(), 1);
        QVERIFY2(r.messages.shown[0].contains("/tmp/ro/Tarvolin.conf"), qPrintable(r.messages.shown[0]));
        QVERIFY(r.running());
        if (action == "stats")
            QVERIFY(!r.ui().mnuStats);
        if (action == "reset")
            QCOMPARE(panels(r), panelsFor(0, 0, 0, 0));
        if (action == "first") { // the first run still plays at its defaults
            QCOMPARE(r.ui().mnuClue, (std::array<bool, 5>{false, false, false, false, true}));
            QCOMPARE(r.ui().mnuSounds, (std::array<bool, 4>{true, false, false, false}));
            QVERIFY(r.ui().mnuStats);
            QCOMPARE(r.ui().lblClue.caption, QStringLiteral("Clue 1 of 3: Published in 1990 by Pub"));
        }
    }

    void failingWritesAtClose()
    {
        Rig r({"ABC"}, saved());
        r.begin();
        r.settings.failWrites = true;
        r.log.clear();
        r.settings.log = &r.log;
        r.game.Form_QueryUnload();
        // Every write is still tried; then one message names the file.
        QCOMPARE(r.log.size(), 7);
        for (int i = 0; i < 6; ++i)
            QVERIFY2(r.log[i].startsWith("save "), qPrintable(r.log[i]));
        QCOMPARE(r.messages.shown.size(), 1);
        QVERIFY2(r.log[6].startsWith("message ") && r.log[6].contains("/tmp/ro/Tarvolin.conf"), qPrintable(r.log[6]));
        QVERIFY(r.catalogue.closed);
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
