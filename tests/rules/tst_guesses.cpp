// Letter and title guesses, the gallows pictures, and how a game ends.

#include "harness.h"

using namespace gallows;
using namespace gallows::testing;

class GuessTest : public QObject {
    Q_OBJECT

private slots:
    // Each character of `typed` is one letter guess.
    void letters_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("board");
        QTest::addColumn<int>("wrong");
        QTest::addColumn<int>("moves");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("lower e") << "Eve" << "e" << "E_E" << 0 << 2 << QStringList();
        QTest::newRow("found three times") << "Banana" << "a" << "_A_A_A" << 0 << 3 << QStringList();
        QTest::newRow("repeated letter") << "Banana" << "aA" << "_A_A_A" << 1 << 4 << QStringList();
        QTest::newRow("wrong letter twice") << "Banana" << "xx" << "______" << 2 << 0 << QStringList{"X", "X"};
        QTest::newRow("shown punctuation") << "Tic-Tac" << "-" << "___-___" << 1 << 1 << QStringList();
        QTest::newRow("accented") << "\u00c9lan" << "\u00e9" << "\u00c9___" << 0 << 1 << QStringList();
        QTest::newRow("bracket is hidden") << "Zap (2)" << "(" << "___ (__" << 0 << 1 << QStringList();
    }

    void letters()
    {
        Rig r({fetched<QString>("title")});
        r.begin();
        r.letters(fetched<QString>("typed"));
        QCOMPARE(r.board(), fetched<QString>("board"));
        QCOMPARE(r.game.WrongGuesses, fetched<int>("wrong"));
        QCOMPARE(r.game.Moves, fetched<int>("moves"));
        QCOMPARE(r.ui().lstIncorrect.items, fetched<QStringList>("listed"));
        QVERIFY(r.running());
    }

    void titles_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("wins");
        QTest::newRow("lower case") << "Sim Town 2000" << "sim town 2000" << true;
        QTest::newRow("doubled space") << "Sim Town 2000" << "sim  town 2000" << false;
        QTest::newRow("missing mark") << "Oh No! More Blobs" << "Oh No More Blobs" << false;
        QTest::newRow("without the subtitle") << "Blobs: Tribes" << "blobs" << true;
        QTest::newRow("with the subtitle") << "Blobs: Tribes" << "Blobs: Tribes" << false;
    }

    void titles()
    {
        QFETCH(QString, typed);
        Rig r({fetched<QString>("title")});
        r.begin();
        r.title(typed);
        if (fetched<bool>("wins")) {
            QCOMPARE(r.ui().imgGallows, picture(10));
            QCOMPARE(r.game.GamesWon, qint16(1));
            QVERIFY(r.ui().lstIncorrect.items.isEmpty());
        } else {
            QCOMPARE(r.game.WrongGuesses, 2);
            QCOMPARE(r.game.Moves, 1);
            QCOMPARE(r.ui().lstIncorrect.items, QStringList{typed});
            QCOMPARE(r.ui().imgGallows, picture(2));
            QVERIFY(r.running());
        }
        QCOMPARE(r.ui().txtGuessWord.text, QString());
    }

    void wrongTitleLoses_data()
    {
        QTest::addColumn<QString>("before");
        QTest::newRow("at 7") << "DEFGHIJ";
        QTest::newRow("at 8") << "DEFGHIJK";
    }

    void wrongTitleLoses()
    {
        QFETCH(QString, before);
        Rig r({"ABC"});
        r.begin();
        r.letters(before);
        const qsizetype cuesBefore = r.cues.played.size();
        r.title("nope");
        QCOMPARE(r.game.WrongGuesses, int(before.size()) + 2);
        QCOMPARE(r.cueNames(cuesBefore), QStringList{"lose1.wav"});
        QCOMPARE(r.ui().imgGallows, picture(9));
        QCOMPARE(r.game.GamesLost, qint16(1));
        QCOMPARE(r.board(), QStringLiteral("ABC"));
    }

    void winCue_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("letters");
        QTest::addColumn<QString>("guess"); // "" for none
        QTest::addColumn<QString>("cue");
        QTest::newRow("title first") << "ABC" << "" << "abc" << "win2.wav";
        QTest::newRow("wrong title, then title") << "ABC" << "" << "abd|abc" << "win1.wav";
        QTest::newRow("one guessable cell") << "A-" << "a" << "" << "win2.wav";
        QTest::newRow("letter, then title") << "ABC" << "A" << "abc" << "win1.wav";
        QTest::newRow("letters only") << "AB" << "AB" << "" << "win1.wav";
        QTest::newRow("only punctuation, any letter") << "- ?" << "q" << "" << "win1.wav";
    }

    void winCue()
    {
        Rig r({fetched<QString>("title")});
        r.begin();
        r.letters(fetched<QString>("letters"));
        const QString guess = fetched<QString>("guess");
        if (!guess.isEmpty())
            for (const QString &g : guess.split('|'))
                r.title(g);
        QCOMPARE(r.ui().imgGallows, picture(10));
        QCOMPARE(r.cueNames().last(), fetched<QString>("cue"));
    }

    void rejectedInput_data()
    {
        QTest::addColumn<bool>("isTitle");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        const QString letter = "Please enter a letter, stupid!";
        const QString title = "Please enter the full title of this game!";
        QTest::newRow("empty letter") << false << "" << letter;
        QTest::newRow("space letter") << false << " " << letter;
        QTest::newRow("empty title") << true << "" << title;
        QTest::newRow("one-character title") << true << "a" << title;
        QTest::newRow("astral title") << true << "\U0001F600" << title;
    }

    void rejectedInput()
    {
        QFETCH(bool, isTitle);
        Rig r({"ABC"});
        r.begin();
        r.letters("AX");
        const QString boardBefore = r.board();
        const QStringList logBefore = r.log;
        const int draws = r.random.draws;
        const unsigned serial = r.ui().focusSerial;
        isTitle ? r.title(fetched<QString>("typed")) : r.letter(fetched<QString>("typed"));
        QCOMPARE(r.log, logBefore + QStringList{"message " + fetched<QString>("message")});
        QCOMPARE(r.board(), boardBefore);
        QCOMPARE(r.game.WrongGuesses, 1);
        QCOMPARE(r.game.Moves, 1);
        QCOMPARE(r.ui().lstIncorrect.items, QStringList{"X"});
        QCOMPARE(r.random.draws, draws);
        QCOMPARE((isTitle ? r.ui().txtGuessWord : r.ui().txtGuessLetter).text, QString());
        QCOMPARE(r.ui().focus, isTitle ? QStringLiteral("txtGuessWord") : QStringLiteral("txtGuessLetter"));
        QCOMPARE(r.ui().focusSerial, serial + 1);
    }

    // running / won / lost: the controls, the focus, and that nothing more counts.
    void states_data()
    {
        QTest::addColumn<QString>("letters");
        QTest::addColumn<QString>("guess");
        QTest::addColumn<QString>("state");
        QTest::newRow("running") << "AX" << "" << "running";
        QTest::newRow("won by letters") << "ACB" << "" << "won";
        QTest::newRow("won by title") << "X" << "abc" << "won";
        QTest::newRow("lost by letters") << "DEFGHIJKL" << "" << "lost";
        QTest::newRow("lost by title") << "DEFGHIJ" << "abd" << "lost";
    }

    void states()
    {
        QFETCH(QString, letters);
        QFETCH(QString, guess);
        QFETCH(QString, state);
        Rig r({"ABC", "XYZ"});
        r.begin();
        const QString allButLast = letters.left(letters.size() - (guess.isEmpty() ? 1 : 0));
        r.letters(allButLast);
        const unsigned serialBefore = r.ui().focusSerial;
        guess.isEmpty() ? r.letters(letters.right(1)) : r.title(guess);

        const WindowState &ui = r.ui();
        const bool running = state == "running";
        const QList<const Control *> guessControls{
            &ui.cmdGuessLetter, &ui.cmdGuessWord, &ui.txtGuessLetter, &ui.txtGuessWord};
        for (const Control *c : guessControls)
            QCOMPARE(c->enabled, running);
        QCOMPARE(ui.cmdGiveUp.visible, running);
        QCOMPARE(ui.cmdNew.visible, !running);
        if (running) {
            QCOMPARE(ui.focus, QStringLiteral("txtGuessLetter"));
            return;
        }
        QCOMPARE(r.board(), QStringLiteral("ABC"));
        QCOMPARE(ui.imgGallows, picture(state == "won" ? 10 : 9));
        QCOMPARE(ui.txtGuessLetter.text, QString());
        // A win, like a loss, leaves New Game focused: Enter starts the next game.
        QCOMPARE(ui.focus, QStringLiteral("cmdNew"));
        QVERIFY(ui.focusSerial > serialBefore);
        // Nothing more counts until New Game.
        const int wrong = r.game.WrongGuesses;
        r.letter("Q");
        r.title("qqq");
        r.game.cmdGiveUp_Click();
        QCOMPARE(r.game.WrongGuesses, wrong);
        QCOMPARE(r.game.GamesGiveUp, qint16(0));
        QCOMPARE(r.game.GamesTotal, qint16(1));

        r.random.fallback = 0.9; // the next draw picks the second title
        r.game.cmdNew_Click();
        QVERIFY(ui.cmdGiveUp.visible && !ui.cmdNew.visible);
        QVERIFY(ui.lstIncorrect.items.isEmpty());
        QCOMPARE(ui.imgGallows, picture(0));
        r.reveal();
        QVERIFY(r.running());
        QCOMPARE(r.board(), QStringLiteral("___"));
        QCOMPARE(r.game.CurrentTitle, QStringLiteral("XYZ"));
        QCOMPARE(r.game.WrongGuesses, 0);
        QCOMPARE(r.game.Moves, 0);
    }
};

QTEST_GUILESS_MAIN(GuessTest)
#include "tst_guesses.moc"
