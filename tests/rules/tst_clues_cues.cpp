// The clue line by level and wrong-guess count, and which cue each game
// event plays at each sound level.

#include "harness.h"

using namespace gallows;
using namespace gallows::testing;

namespace {
const QString O5 = "Clue 1 of 3: Published in 1993 by Id Soft";
const QString G5 = "Clue 2 of 3: The genre is Shooter";
const QString D5 = "Clue 3 of 3: It was developed by Carmack & Co";
const QString O4 = "Clue 1 of 2: Published in 1993 by Id Soft";
const QString G4 = "Clue 2 of 2: The genre is Shooter";
const QString O3 = "Clue: Published in 1993 by Id Soft";
const QString O2 = "Clue: Released in 1993";
const QString Hidden = "[hidden] ";

QStringList times(int n, const QString &s)
{
    return QStringList(n, s);
}
} // namespace

class CluesCuesTest : public QObject {
    Q_OBJECT

private slots:
    // steps: w a wrong letter, t a wrong title, 1..5 that level chosen from the menu.
    // captions: the label after set-up and after every step.
    void clues_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("developer");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("captions");
        const QString dev = "Carmack & Co";
        QTest::newRow("level 3") << "3" << dev << "www" << times(4, O3);
        QTest::newRow("level 5") << "5" << dev << "wwwwwww" << times(3, O5) + times(3, G5) + times(2, D5);
        QTest::newRow("level 5, (unknown)") << "5" << "(unknown)"
            << "wwwwww" << times(3, O5) + times(3, G5) + QStringList{"Clue 3 of 3: The developer is unknown"};
        QTest::newRow("level 4") << "4" << dev << "wwwwww" << times(5, O4) + times(2, G4);
        QTest::newRow("level 5 again after six")
            << "5" << dev << "wwwwww5ww" << times(3, O5) + times(3, G5) + QStringList{D5} + times(3, O5);
        QTest::newRow("level 2 to 5 after three")
            << "2" << dev << "www5www" << times(4, O2) + times(3, O5) + QStringList{D5};
        QTest::newRow("level 1, then 2")
            << "5" << dev << "1w2" << QStringList{O5, Hidden + O5, Hidden + O5, O2};
        QTest::newRow("level 1 stored") << "1" << dev << "wwwwww" << times(7, "");
        QTest::newRow("level 5, 2 to 4 to 6") << "5" << dev << "wwtt" << times(4, O5) + QStringList{D5};
    }

    void clues()
    {
        QFETCH(QString, level);
        QFETCH(QString, steps);
        Rig r({"ABC"}, saved({{"Clue", level}}));
        r.catalogue.rows[0] = {"1", "ABC", "1993", "Shooter", "Id Soft", fetched<QString>("developer")};
        r.begin();
        auto label = [&] { return (r.ui().lblClue.visible ? QString() : Hidden) + r.ui().lblClue.caption; };
        QStringList seen{label()};
        const QString wrong = "QRSTUVWXYZ";
        int nextWrong = 0;
        int chosen = level.toInt();
        for (QChar step : steps) {
            if (step == 'w')
                r.letter(wrong.mid(nextWrong++, 1));
            else if (step == 't')
                r.title("nope");
            else
                r.game.mnuClue_Click(chosen = step.digitValue());
            seen << label();
        }
        QCOMPARE(seen, fetched<QStringList>("captions"));
        std::array<bool, 5> marks{};
        marks[size_t(chosen - 1)] = true;
        QCOMPARE(r.ui().mnuClue, marks);
        QCOMPARE(r.game.ClueLevel, QString::number(chosen));
    }

    // The table of cues: which file an event plays at levels 1, 2, 3, 4 and an
    // out-of-range 7 ("Y" plays, "-" silent).
    void cues_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("played");
        const struct {
            const char *event, *file, *plays;
        } table[] = {
            {"right letter", "correct1.wav", "YY--Y"},
            {"wrong letter", "wrong1.wav", "Y---Y"},
            {"wrong title", "wrong1.wav", "Y---Y"},
            {"repeated letter", "", "-----"},
            {"win, first move", "win2.wav", "YYY-Y"},
            {"win", "win1.wav", "YYY-Y"},
            {"loss by letter", "lose1.wav", "YYY-Y"},
            {"loss by title", "lose1.wav", "YYY-Y"},
            {"give up", "giveup1.wav", "Y---Y"},
        };
        const int levels[] = {1, 2, 3, 4, 7};
        for (const auto &row : table)
            for (int i = 0; i < 5; ++i)
                QTest::addRow("%s, level %d", row.event, levels[i]) << row.event << levels[i]
                    << (row.plays[i] == 'Y' ? QStringList{row.file} : QStringList());
    }

    void cues()
    {
        QFETCH(QString, event);
        Rig r({"ABC"}, saved({{"Sounds", QString::number(fetched<int>("level"))}}));
        r.begin();
        // What comes before the event itself.
        const QMap<QString, QString> lead{{"repeated letter", "A"}, {"win", "AB"},
            {"loss by letter", "DEFGHIJK"}, {"loss by title", "DEFGHIJ"}};
        r.letters(lead.value(event));
        const qsizetype from = r.cues.played.size();
        if (event == "right letter" || event == "repeated letter")
            r.letter("A");
        else if (event == "wrong letter" || event == "loss by letter")
            r.letter("L");
        else if (event == "wrong title" || event == "loss by title")
            r.title("abd");
        else if (event == "win, first move")
            r.title("abc");
        else if (event == "win")
            r.letter("C");
        else
            r.game.cmdGiveUp_Click();
        QCOMPARE(r.cueNames(from), fetched<QStringList>("played"));
        if (event.startsWith("loss"))
            QVERIFY(!r.running());
    }

    void variant_data()
    {
        QTest::addColumn<QString>("guess");
        QTest::addColumn<double>("r");
        QTest::addColumn<QString>("file");
        QTest::newRow("right, 0") << "A" << 0.0 << "correct1.wav";
        QTest::newRow("right, 0.5") << "A" << 0.5 << "correct3.wav";
        QTest::newRow("right, 0.99") << "A" << 0.99 << "correct4.wav";
        QTest::newRow("wrong, 0.99") << "X" << 0.99 << "wrong4.wav";
        QTest::newRow("title, 0.99") << "abd" << 0.99 << "wrong4.wav";
    }

    void variant()
    {
        QFETCH(QString, guess);
        Rig r({"ABC"});
        r.begin();
        r.random.queue = {fetched<double>("r")};
        r.random.fallback = 0.5;
        guess.size() > 1 ? r.title(guess) : r.letter(guess);
        QCOMPARE(r.cueNames(), QStringList{fetched<QString>("file")});
        QCOMPARE(r.cues.played.first(), "Data/Gallows/Sounds/" + r.cueNames().first());
    }

};

QTEST_GUILESS_MAIN(CluesCuesTest)
#include "tst_clues_cues.moc"
