// The playable title, letter and title guesses, the gallows pictures, how a
// game ends, and that nothing counts from then until the next game.

#include "tests/rules/harness.h"

using namespace gallows;
using namespace gallows::testing;

class GuessTest : public QObject {
    Q_OBJECT

private slots:
    // steps as Rig::play takes them; listed: the wrong guesses joined by "|";
    // end: "" while the game runs, else the cue that ended it.
    void play_data()
    {
        columns<QString, QString, QString, int, QString, QString>(
            {"title", "steps", "board", "wrong", "listed", "end"});
        // Set-up: what shows from the start, and the part before the last colon.
        QTest::newRow("punctuation shown")
            << "a'b?c!d.e,f/g\\h&i-j;k$l\u00a3m+n" << "" << "_'_?_!_._,_/_\\_&_-_;_$_\u00a3_+_" << 0 << "" << "";
        QTest::newRow("two colons") << "Quest: Part 2: The End" << "" << "_____: ____ _" << 0 << "" << "";
        QTest::newRow("astral character is one cell") << "A\U0001F600B" << "" << "___" << 0 << "" << "";
        // Letters: case does not matter; one on the board already costs a stroke.
        QTest::newRow("lower-case letter") << "Eve" << "e" << "E_E" << 0 << "" << "";
        QTest::newRow("accented letter") << "\u00e9t\u00e9" << "\u00e9" << "\u00c9_\u00c9" << 0 << "" << "";
        QTest::newRow("bracket found, digits hidden") << "Zap (2) #1" << "(" << "___ (__ __" << 0 << "" << "";
        QTest::newRow("repeated letter") << "Banana" << "aA" << "_A_A_A" << 1 << "" << "";
        QTest::newRow("shown punctuation") << "Tic-Tac" << "-" << "___-___" << 1 << "" << "";
        QTest::newRow("wrong letter twice") << "Banana" << "xx" << "______" << 2 << "X|X" << "";
        // Titles: whole and exact but for case; a wrong one costs two strokes.
        QTest::newRow("title in lower case") << "Sim Town" << "|sim town" << "SIM TOWN" << 0 << "" << "win2.wav";
        QTest::newRow("doubled space") << "Sim Town" << "|sim  town" << "___ ____" << 2 << "sim  town" << "";
        QTest::newRow("without the subtitle") << "Blob: Tribe" << "|blob" << "BLOB" << 0 << "" << "win2.wav";
        QTest::newRow("with the subtitle") << "Blob: Tribe" << "|Blob: Tribe" << "____" << 2 << "Blob: Tribe" << "";
        // Wins: one on the first move has its own cue.
        QTest::newRow("wrong title, then title") << "ABC" << "|abd|abc" << "ABC" << 2 << "abd" << "win1.wav";
        QTest::newRow("letter, then title") << "ABC" << "A|abc" << "ABC" << 0 << "" << "win1.wav";
        QTest::newRow("one guessable cell") << "A-" << "a" << "A-" << 0 << "" << "win2.wav";
        QTest::newRow("only punctuation, any letter") << "- ?" << "q" << "- ?" << 0 << "" << "win1.wav";
        // Losses: at the ninth stroke.
        QTest::newRow("ninth wrong letter") << "ABC" << "DEFGHIJKL" << "ABC" << 9 << "D|E|F|G|H|I|J|K|L" << "lose1.wav";
        QTest::newRow("title at 7") << "ABC" << "DEFGHIJ|nope" << "ABC" << 9 << "D|E|F|G|H|I|J|nope" << "lose1.wav";
        QTest::newRow("title at 8") << "ABC" << "DEFGHIJK|nope" << "ABC" << 10 << "D|E|F|G|H|I|J|K|nope" << "lose1.wav";
    }

    void play()
    {
        QFETCH(QString, steps);
        QFETCH(int, wrong);
        QFETCH(QString, end);
        Rig r({fetched<QString>("title"), "XYZ"});
        r.begin(steps);
        const WindowState &ui = r.ui();
        QCOMPARE(r.board(), fetched<QString>("board"));
        QCOMPARE(r.game.wrongGuesses(), wrong);
        QCOMPARE(ui.incorrectList.items.join('|'), fetched<QString>("listed"));
        QCOMPARE(ui.picture, picture(end.startsWith("win") ? 10 : end.startsWith("lose") ? 9 : wrong));
        QVERIFY(ui.letterBox.text.isEmpty() && ui.titleBox.text.isEmpty());
        QCOMPARE((QList<bool>{r.running(), ui.guessLetterButton.enabled, ui.guessTitleButton.enabled,
                     ui.titleBox.enabled}), QList<bool>(4, end.isEmpty()));
        // Back to the box used; at the end New Game, so that Enter starts the next game.
        QCOMPARE(ui.focus, !end.isEmpty() ? FocusTarget::NewGameButton : steps.contains('|') ? FocusTarget::TitleBox : FocusTarget::LetterBox);
        if (end.isEmpty())
            return;
        QCOMPARE(r.cues.played.last(), "Data/Gallows/Sounds/" + end);
        // Nothing counts until New Game, which draws and sets up a fresh game.
        r.play("Q|qqq");
        r.game.giveUp();
        QCOMPARE(r.game.wrongGuesses(), wrong);
        QCOMPARE(r.game.statistics().total, qint16(1));
        r.random.fallback = 0.9;
        r.game.newGame();
        QCOMPARE(ui.picture, picture(0));
        r.reveal();
        QVERIFY(r.running());
        QCOMPARE(r.board(), QStringLiteral("___"));
        QCOMPARE(r.game.title(), QStringLiteral("XYZ"));
        QVERIFY(ui.incorrectList.items.isEmpty());
        QCOMPARE(r.game.wrongGuesses(), 0);
        QCOMPARE(r.game.moves(), 0);
    }

    // Empty or too short: a message, the box cleared and focused, nothing else.
    void rejectedInput_data()
    {
        columns<bool, QString>({"isTitle", "typed"});
        QTest::newRow("empty letter") << false << "";
        QTest::newRow("space letter") << false << " ";
        QTest::newRow("empty title") << true << "";
        QTest::newRow("one-character title") << true << "a";
        QTest::newRow("astral title") << true << "\U0001F600";
    }

    void rejectedInput()
    {
        QFETCH(bool, isTitle);
        Rig r;
        r.begin("AX");
        const QStringList log = r.log;
        const unsigned serial = r.ui().focusSerial;
        isTitle ? r.title(fetched<QString>("typed")) : r.letter(fetched<QString>("typed"));
        QCOMPARE(r.log, log + QStringList{isTitle ? "message Please enter the full title of this game!"
                                                  : "message Please enter a letter, stupid!"});
        QCOMPARE(r.game.wrongGuesses(), 1);
        QCOMPARE((isTitle ? r.ui().titleBox : r.ui().letterBox).text, QString());
        QCOMPARE(r.ui().focus, isTitle ? FocusTarget::TitleBox : FocusTarget::LetterBox);
        QCOMPARE(r.ui().focusSerial, serial + 1);
    }
};

QTEST_GUILESS_MAIN(GuessTest)
#include "tst_guesses.moc"
