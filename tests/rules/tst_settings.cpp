// The settings kept between runs and the four statistics counters.

#include "tests/rules/harness.h"

using namespace gallows;
using namespace gallows::testing;

namespace {

// The status bar showing the counters "won lost givenUp total".
QStringList panels(const QString &counters)
{
    const QStringList n = counters.split(' ');
    return {"Games Won: " + n[0], "Games Lost: " + n[1], "Given Up: " + n[2], "Games Played: " + n[3]};
}

QStringList panels(const Rig &r) { return {r.ui().statusPanels.begin(), r.ui().statusPanels.end()}; }

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    // Anything but PreviousRun "True" is a first run: the defaults are written and used.
    void firstRun_data()
    {
        QTest::addColumn<QString>("previousRun"); // "" for an empty store
        QTest::newRow("empty store") << "";
        QTest::newRow("False") << "False";
        QTest::newRow("True") << "True";
    }

    void firstRun()
    {
        const QString previous = fetched<QString>("previousRun");
        const bool fresh = previous != "True";
        const Store stored{{"PreviousRun", previous}, {"Clue", "2"}, {"SaveStats", "False"}, {"Sounds", "3"}};
        Rig r({"ABC"}, previous.isEmpty() ? Store() : saved(stored, "4 3 2 9"));
        r.game.loadSettings();
        const QStringList defaults{"GamesWon=0", "GamesLost=0", "GamesGiveUp=0", "GamesTotal=0",
            "PreviousRun=True", "Clue=5", "SaveStats=True", "Sounds=1"};
        QCOMPARE(r.settings.writes, fresh ? defaults : QStringList());
        QCOMPARE(panels(r), panels(fresh ? "0 0 0 0" : "4 3 2 9"));
        r.game.startGame();
        QCOMPARE(menus(r), fresh ? "00001 1000 1" : "01000 0010 0");
        QCOMPARE(r.ui().clueLabel.caption, fresh ? "Clue 1 of 3: Published in 1990 by Pub"
                                               : "Clue: Released in 1990");
    }

    // What the close writes, by the save-statistics option held at that moment.
    void close_data()
    {
        // stored: SaveStats in the store; toggle: the menu item used once during the run.
        columns<QString, bool, bool>({"stored", "toggle", "keep"});
        QTest::newRow("on") << "True" << false << true;
        QTest::newRow("off") << "False" << false << false;
        QTest::newRow("switched off") << "True" << true << false;
    }

    void close()
    {
        QFETCH(QString, stored);
        QFETCH(bool, toggle);
        Rig r({"ABC"}, saved({{"SaveStats", stored}}));
        r.begin("|abc");
        if (toggle)
            r.game.toggleSaveStatistics();
        QCOMPARE(r.settings.writes, toggle ? QStringList{"SaveStats=False"} : QStringList());
        r.game.chooseClueLevel(3);
        r.game.chooseSoundLevel(2);
        r.settings.writes.clear();
        r.game.saveAndClose();
        const QString n = fetched<bool>("keep") ? "1" : "0";
        QCOMPARE(r.settings.writes, (QStringList{"GamesWon=" + n, "GamesLost=0", "GamesGiveUp=0",
                                        "GamesTotal=" + n, "Clue=3", "Sounds=2"}));
        QVERIFY(r.catalogue.closed);
        QVERIFY(r.messages.shown.isEmpty());
    }

    // Which counters an outcome (steps, give up or reset) changes, from given stored
    // ones; they never wrap. Only Reset writes at once (even with saving off), and it leaves the game alone.
    void outcomes_data()
    {
        columns<QString, QString, QString>({"stored", "outcome", "after"});
        QTest::newRow("win") << "3 2 1 6" << "|abc" << "4 2 1 7";
        QTest::newRow("loss") << "3 2 1 6" << "QQQQQQQQ" << "3 3 1 7";
        QTest::newRow("give up") << "3 2 1 6" << "give up" << "3 2 2 7";
        QTest::newRow("won at 32767") << "32767 0 0 32767" << "|abc" << "32767 0 0 32767";
        QTest::newRow("sum past 32767") << "20000 12767 0 32767" << "|abc" << "20001 12767 0 32767";
        QTest::newRow("negative stored") << "-5 0 0 -5" << "|abc" << "-4 0 0 -4";
        QTest::newRow("reset") << "5 4 3 12" << "reset" << "0 0 0 0";
    }

    void outcomes()
    {
        QFETCH(QString, stored);
        QFETCH(QString, outcome);
        QFETCH(QString, after);
        Rig r({"ABC"}, saved({{"SaveStats", "False"}}, stored));
        r.begin("AX");
        QCOMPARE(panels(r), panels(stored));
        if (outcome == "give up")
            r.game.giveUp();
        else
            outcome == "reset" ? r.game.resetStatistics() : r.play(outcome);
        QCOMPARE(panels(r), panels(after));
        QCOMPARE(r.settings.values, saved({{"SaveStats", "False"}}, outcome == "reset" ? after : stored));
        if (outcome == "reset") {
            QCOMPARE(r.board(), QStringLiteral("A__"));
            QCOMPARE(r.ui().picture, picture(1));
            r.title("abc");
            QCOMPARE(panels(r), panels("1 0 0 1"));
        }
    }

    // A stored counter or sound level that is not 16-bit decimal text reads as
    // its first-run default; the game starts all the same.
    void badStoredNumbers_data()
    {
        columns<QString, QString, int>({"key", "value", "read"});
        for (const QString key : {"GamesTotal", "Sounds"}) {
            for (const char *bad : {"abc", "", "32768", "-32769", "5x"})
                QTest::addRow("%s \"%s\"", qPrintable(key), bad) << key << bad << (key == "Sounds" ? 1 : 0);
            QTest::addRow("%s 32767", qPrintable(key)) << key << "32767" << 32767;
            QTest::addRow("%s -32768", qPrintable(key)) << key << "-32768" << -32768;
        }
    }

    void badStoredNumbers()
    {
        QFETCH(QString, key);
        QFETCH(int, read);
        Rig r({"ABC"}, saved({{"Sounds", "2"}, {key, fetched<QString>("value")}}, "1 1 1 1"));
        r.begin();
        QVERIFY(r.running());
        QCOMPARE(panels(r), panels("1 1 1 " + QString::number(key == "GamesTotal" ? read : 1)));
        QCOMPARE(int(r.game.soundLevel()), key == "Sounds" ? read : 2);
    }

    // A failing write: every write is still tried, then the failure is told
    // once, and the run goes on as if it had worked.
    void failingWrites_data()
    {
        columns<QString, int, QString, QString>({"action", "tries", "panels", "menus"});
        QTest::newRow("first run") << "first" << 8 << "0 0 0 0" << "00001 1000 1";
        QTest::newRow("save statistics item") << "stats" << 1 << "2 0 0 2" << "00001 1000 0";
        QTest::newRow("reset") << "reset" << 4 << "0 0 0 0" << "00001 1000 1";
        QTest::newRow("close") << "close" << 6 << "2 0 0 2" << "00001 1000 1";
    }

    void failingWrites()
    {
        QFETCH(QString, action);
        Rig r({"ABC"}, action == "first" ? Store() : saved({}, "2 0 0 2"));
        r.settings.failWrites = true;
        r.settings.log = &r.log;
        r.begin();
        if (action == "stats")
            r.game.toggleSaveStatistics();
        else if (action == "reset")
            r.game.resetStatistics();
        else if (action == "close")
            r.game.saveAndClose();
        QCOMPARE(r.log.filter("save ").size(), fetched<int>("tries"));
        QCOMPARE(r.messages.shown, QStringList{"The settings file /tmp/ro/Tarvolin.conf could not be written."});
        QVERIFY(r.log.indexOf(QRegularExpression("message .*")) > r.log.lastIndexOf(QRegularExpression("save .*")));
        QVERIFY(r.running());
        QCOMPARE(panels(r), panels(fetched<QString>("panels")));
        QCOMPARE(menus(r), fetched<QString>("menus"));
        QCOMPARE(r.catalogue.closed, action == "close");
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
