// The clue line by level and stroke count, and which cue each game event
// plays at each sound level.

#include "tests/rules/harness.h"

using namespace gallows;
using namespace gallows::testing;

namespace {
// The clue line by a one-character code.
const QMap<QChar, QString> kClue{{'1', "Clue 1 of 3: Published in 1993 by Id Soft"},
    {'2', "Clue 2 of 3: The genre is Shooter"}, {'3', "Clue 3 of 3: It was developed by Carmack & Co"},
    {'u', "Clue 3 of 3: The developer is unknown"}, {'a', "Clue 1 of 2: Published in 1993 by Id Soft"},
    {'b', "Clue 2 of 2: The genre is Shooter"}, {'p', "Clue: Published in 1993 by Id Soft"},
    {'y', "Clue: Released in 1993"}, {'.', ""}};
} // namespace

class CluesCuesTest : public QObject {
    Q_OBJECT

private slots:
    // steps: w a wrong letter, t a wrong title, 1..5 that level chosen from the menu.
    // clues: the line's code after set-up and after every step, "h" for "1" hidden.
    void clues_data()
    {
        columns<QString, QString, QString, QString>({"level", "developer", "steps", "clues"});
        const QString dev = "Carmack & Co";
        QTest::newRow("level 3") << "3" << dev << "www" << "pppp";
        QTest::newRow("level 5") << "5" << dev << "wwwwwww" << "11122233";
        QTest::newRow("level 5, (unknown)") << "5" << "(unknown)" << "wwwwww" << "111222u";
        QTest::newRow("level 4") << "4" << dev << "wwwwww" << "aaaaabb";
        QTest::newRow("level 5 again after six") << "5" << dev << "wwwwww5ww" << "1112223111";
        QTest::newRow("level 2 to 5 after three") << "2" << dev << "www5www" << "yyyy1113";
        QTest::newRow("level 1, then 2") << "5" << dev << "1w2" << "1hhy";
        QTest::newRow("level 1 stored") << "1" << dev << "wwwwww" << ".......";
        QTest::newRow("level 5, 2 to 4 to 6") << "5" << dev << "wwtt" << "11113";
    }

    void clues()
    {
        QFETCH(QString, level);
        QFETCH(QString, steps);
        Rig r({"ABC"}, saved({{"Clue", level}}));
        r.catalogue.rows[0] = {"1", "ABC", "1993", "Shooter", "Id Soft", fetched<QString>("developer")};
        r.begin();
        auto label = [&] { return (r.ui().clueLabel.visible ? "" : "[hidden] ") + r.ui().clueLabel.caption; };
        QStringList seen{label()}, expected;
        int nextWrong = 0, chosen = level.toInt();
        for (QChar step : steps) {
            if (step == 'w')
                r.letter(QString(QChar('Q' + nextWrong++)));
            else if (step == 't')
                r.title("nope");
            else
                r.game.chooseClueLevel(chosen = step.digitValue());
            seen << label();
        }
        for (QChar code : fetched<QString>("clues"))
            expected << (code == 'h' ? "[hidden] " + kClue['1'] : kClue[code]);
        QCOMPARE(seen, expected);
        QCOMPARE(r.game.wrongGuesses(), steps.count('w') + 2 * steps.count('t')); // every step was played
        QCOMPARE(menus(r).left(5), QString(5, '0').replace(chosen - 1, 1, QLatin1Char('1')));
    }

    // Which file an event plays at sound levels 1, 2, 3, 4 and an out-of-range
    // 7 ("Y" plays, "-" silent), after its lead, with r the next random value.
    void cues_data()
    {
        columns<QString, QString, double, int, QStringList>({"lead", "event", "r", "level", "played"});
        const struct { const char *name, *lead, *event; double r; const char *file, *plays; } table[] = {
            {"right letter", "", "A", 0, "correct1.wav", "YY--Y"},
            {"right letter, r=0.99", "", "A", 0.99, "correct4.wav", "YY--Y"},
            {"wrong letter, r=0.99", "", "L", 0.99, "wrong4.wav", "Y---Y"},
            {"wrong title, r=0.99", "", "|abd", 0.99, "wrong4.wav", "Y---Y"},
            {"repeated letter", "A", "A", 0, "", "-----"},
            {"win, first move", "", "|abc", 0, "win2.wav", "YYY-Y"},
            {"win", "AB", "C", 0, "win1.wav", "YYY-Y"},
            {"loss by letter", "DEFGHIJK", "L", 0, "lose1.wav", "YYY-Y"},
            {"loss by title", "DEFGHIJ", "|abd", 0, "lose1.wav", "YYY-Y"},
            {"give up", "", "", 0, "giveup1.wav", "Y---Y"},
        };
        const int levels[] = {1, 2, 3, 4, 7};
        for (const auto &row : table)
            for (int i = 0; i < 5; ++i)
                QTest::addRow("%s, level %d", row.name, levels[i]) << row.lead << row.event << row.r << levels[i]
                    << (row.plays[i] == 'Y' ? QStringList{"Data/Gallows/Sounds/" + QString(row.file)} : QStringList());
    }

    void cues()
    {
        QFETCH(QString, event);
        Rig r({"ABC"}, saved({{"Sounds", QString::number(fetched<int>("level"))}}));
        r.begin(fetched<QString>("lead"));
        const qsizetype from = r.cues.played.size();
        // What the player sees, to show that the event took place even when it is silent.
        auto seen = [&] { return r.board() + QString::number(r.game.wrongGuesses()) + r.ui().statusPanels[3]; };
        const QString before = seen();
        r.random.queue = {fetched<double>("r")};
        event.isEmpty() ? r.game.giveUp() : r.play(event);
        QCOMPARE(r.cues.played.mid(from), fetched<QStringList>("played"));
        QVERIFY(seen() != before);
    }
};

QTEST_GUILESS_MAIN(CluesCuesTest)
#include "tst_clues_cues.moc"
