// Setting up a game: the playable title, the board's cells and where they go,
// the draw of a catalogue row, the reveal one cell per tick, and what happens
// when a later game cannot be set up.

#include "harness.h"

using namespace gallows;
using namespace gallows::testing;

class BoardTest : public QObject {
    Q_OBJECT

private slots:
    // Places in twips, read off the board a game lays out.
    void cellPlaces_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("cell");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("top");
        const QString seven = "ABC DEF";
        const double lefts[] = {110, 410, 710, 960, 1260, 1560, 1860};
        for (int i = 0; i < 7; ++i)
            QTest::addRow("seven, cell %d", i + 1) << seven << i + 1 << lefts[i] << 360.0;
        // Eleven letters, a space as character 12, then nineteen letters.
        const QString twoRows = "ABCDEFGHIJK LMNOPQRSTUVWXYZABCDE";
        QTest::newRow("two rows, cell 1") << twoRows << 1 << 110.0 << 360.0;
        QTest::newRow("two rows, cell 11") << twoRows << 11 << 3110.0 << 360.0;
        QTest::newRow("two rows, the space") << twoRows << 12 << 3360.0 << 360.0;
        QTest::newRow("two rows, cell 13") << twoRows << 13 << 110.0 << 660.0;
        QTest::newRow("two rows, last") << twoRows << 32 << 5810.0 << 660.0;
        // Spaces at 20 and 44: the third row starts at cell 45, 600 below the first.
        const QString threeRows = "ABCDEFGHIJKLMNOPQRS ABCDEFGHIJKLMNOPQRSTUVW ABCDEFGHIJKL";
        QTest::newRow("three rows, cell 21") << threeRows << 21 << 110.0 << 660.0;
        QTest::newRow("three rows, second space") << threeRows << 44 << 6960.0 << 660.0;
        QTest::newRow("three rows, cell 45") << threeRows << 45 << 110.0 << 960.0;
        QTest::newRow("three rows, last") << threeRows << 56 << 3410.0 << 960.0;
    }

    void cellPlaces()
    {
        QFETCH(QString, title);
        QFETCH(int, cell);
        Rig r({title});
        r.begin();
        QCOMPARE(r.game.TitleLength, int(title.size()));
        QCOMPARE(r.ui().txtLetter.size(), size_t(title.size()) + 1);
        QCOMPARE(r.ui().txtLetter[size_t(cell)].left, fetched<double>("left"));
        QCOMPARE(r.ui().txtLetter[size_t(cell)].top, fetched<double>("top"));
    }

    void rowBreaks_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("line2");
        QTest::addColumn<int>("line3");
        QTest::newRow("25 characters") << "ABCDEFGHIJKL MNOPQRSTUVWX" << 0 << 0;
        QTest::newRow("25 letters") << "ABCDEFGHIJKLMNOPQRSTUVWXY" << 0 << 0;
        QTest::newRow("26 characters") << "ABCDEFGHIJKL MNOPQRSTUVWXY" << 14 << 0;
        QTest::newRow("space as character 26") << "ABCD EFGH IJKL MNOP QRSTU VWXYZ" << 27 << 0;
        QTest::newRow("space as character 25") << "ABCDEFGHIJKLMNOPQRSTUVWX YZ" << 26 << 0;
    }

    void rowBreaks()
    {
        QFETCH(QString, title);
        QFETCH(int, line2);
        QFETCH(int, line3);
        Rig r({title});
        r.begin();
        QCOMPARE(r.game.HasLine2, line2 > 0);
        QCOMPARE(r.game.HasLine3, line3 > 0);
        if (line2)
            QCOMPARE(r.game.Line2Start, line2);
        if (line3)
            QCOMPARE(r.game.Line3Start, line3);
        int secondRow = 0;
        for (size_t i = 1; i < r.ui().txtLetter.size(); ++i)
            if (r.ui().txtLetter[i].top > 360 && !secondRow)
                secondRow = int(i);
        QCOMPARE(secondRow, line2 > int(title.size()) ? 0 : line2);
    }

    // Titles the classic breaks would push past an edge of the window.
    void everyCellInside_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("rows");
        QTest::newRow("26 letters, no space") << "ABCDEFGHIJKLMNOPQRSTUVWXYZ" << 2;
        QTest::newRow("no space in the first 26") << "ABCDEFGHIJKLMNOPQRSTUVWXYZAB CDEF" << 2;
        QTest::newRow("long second row") << "ABCDEFGHIJKLMNOPQRSTU CDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHI" << 3;
        QTest::newRow("a word longer than a row") << "AB CDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHI" << 3;
        QTest::newRow("letter 25 then a space") << "ABCDEFGHIJKLMNOPQRSTUVWXY ZZZ" << 2;
        QTest::newRow("75 letters") << QString(75, 'Q') << 3;
        QTest::newRow("three rows of words")
            << "ALPHA BRAVO CHARLIE DELTA ECHO FOXTROT GOLF HOTEL INDIA JULIET KI" << 3;
        QTest::newRow("79 with spaces")
            << "ALPHA BRAVO CHARLIE DELTA ECHO FOXTROT GOLF HOTEL INDIA JULIET KILO LIMA MIKE N" << 4;
    }

    void everyCellInside()
    {
        QFETCH(QString, title);
        Rig r({title});
        r.begin();
        const auto &cells = r.ui().txtLetter;
        QCOMPARE(cells.size(), size_t(title.size()) + 1);
        QSet<double> tops;
        for (size_t i = 1; i < cells.size(); ++i) {
            const Cell &c = cells[i];
            QVERIFY2(c.left >= 0 && c.top >= 0 && c.left + kCellSize <= kClientWidth
                    && c.top + kCellSize <= kClientHeight,
                qPrintable(QStringLiteral("cell %1 at %2,%3").arg(i).arg(c.left).arg(c.top)));
            tops.insert(c.top);
            if (i > 1 && c.bordered && cells[i - 1].bordered && c.top == cells[i - 1].top)
                QVERIFY2(c.left - cells[i - 1].left >= kCellSize, qPrintable(QString::number(i)));
            if (i > 1)
                QVERIFY2(c.top >= cells[i - 1].top, "rows run top to bottom");
        }
        QCOMPARE(int(tops.size()), fetched<int>("rows"));
        QCOMPARE(titleFitsBoard(title), tops.size() <= 3);
    }

    void shortTitleAfterTwoRows()
    {
        Rig r({"ABCDEFGHIJKL MNOPQRSTUVWXYZ AB", "SHORT ONE"});
        r.random.queue = {0.0, 0.99};
        r.begin();
        QVERIFY(r.game.HasLine2);
        r.game.cmdGiveUp_Click();
        r.reveal();
        QCOMPARE(r.game.CurrentTitle, QStringLiteral("SHORT ONE"));
        QVERIFY(!r.game.HasLine2);
        QCOMPARE(r.ui().txtLetter.size(), size_t(10));
        for (size_t i = 1; i < r.ui().txtLetter.size(); ++i)
            QCOMPARE(r.ui().txtLetter[i].top, 360.0);
    }

    // The title as played, and which cells show from the start.
    void playableTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("played");
        QTest::addColumn<QString>("board"); // after set-up
        QTest::newRow("one colon") << "Quest: The Return" << "QUEST" << "_____";
        QTest::newRow("two colons") << "Quest: Part 2: The End" << "QUEST: PART 2" << "_____: ____ _";
        QTest::newRow("space before the colon") << "Tale : One" << "TALE " << "____ ";
        QTest::newRow("upper case") << "lemon drop" << "LEMON DROP" << "_____ ____";
        QTest::newRow("punctuation shown") << "a'b?c!d.e,f/g\\h&i-j;k$l\u00a3m+n"
                                           << "A'B?C!D.E,F/G\\H&I-J;K$L\u00a3M+N"
                                           << "_'_?_!_._,_/_\\_&_-_;_$_\u00a3_+_";
        QTest::newRow("digits and brackets hidden") << "Zap (2) #1" << "ZAP (2) #1" << "___ ___ __";
        QTest::newRow("accented letters") << "\u00e9t\u00e9 \u00e0 \u00c9cole"
                                          << "\u00c9T\u00c9 \u00c0 \u00c9COLE" << "___ _ _____";
        QTest::newRow("astral character is one cell") << "A\U0001F600B" << "A\U0001F600B" << "___";
        QTest::newRow("only punctuation") << "- ? -" << "- ? -" << "- ? -";
    }

    void playableTitle()
    {
        QFETCH(QString, played);
        QFETCH(QString, board);
        Rig r({fetched<QString>("title")});
        r.begin();
        QCOMPARE(r.game.CurrentTitle, played);
        QCOMPARE(r.board(), board);
        const QStringList chars = splitCharacters(played);
        QCOMPARE(r.game.TitleLength, int(chars.size()));
        for (int i = 1; i <= r.game.TitleLength; ++i) {
            QCOMPARE(r.game.TitleLetters[i], chars[i - 1]);
            QCOMPARE(r.game.Revealed[i], board[i - 1] == QLatin1Char('_') ? 0 : 1);
        }
        // A shown "&" is the character itself, not an accelerator mark.
        for (const Cell &c : r.ui().txtLetter)
            if (c.character == QLatin1String("&"))
                QCOMPARE(c.caption, QStringLiteral("&"));
    }

    void titleFits_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("fits");
        QTest::newRow("short") << "Quest" << true;
        QTest::newRow("75 letters") << QString(75, 'Q') << true;
        QTest::newRow("76 letters") << QString(76, 'Q') << false;
        QTest::newRow("long, but the subtitle goes") << QString(60, 'Q') + ": " + QString(60, 'Z') << true;
        QTest::newRow("three full rows of words") << QStringList(15, "ABCD").join(' ') << true;
        QTest::newRow("four rows of words") << QStringList(20, "ABCD").join(' ') << false;
        QTest::newRow("nothing before the colon") << ": Sub" << false;
    }

    void titleFits()
    {
        QFETCH(QString, title);
        QString why;
        QCOMPARE(titleFitsBoard(title, &why), fetched<bool>("fits"));
        QCOMPARE(why.isEmpty(), titleFitsBoard(title));
    }

    void draw_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<double>("r");
        QTest::addColumn<int>("row");
        const QList<std::tuple<int, double, int>> cases
            = {{1, 0, 0}, {1, 0.5, 0}, {1, 0.999999, 0}, {2, 0, 0}, {2, 0.5, 1}, {2, 0.999999, 1}, {3, 0, 0},
                {3, 0.5, 1}, {3, 0.999999, 2}, {1000, 0, 0}, {1000, 0.5, 500}, {1000, 0.999999, 999}};
        for (const auto &[n, r, row] : cases)
            QTest::addRow("N=%d r=%g", n, r) << n << r << row;
    }

    void draw()
    {
        QFETCH(int, rows);
        QStringList titles;
        for (int i = 0; i < rows; ++i)
            titles << QStringLiteral("GAME %1").arg(i);
        Rig r(titles);
        r.random.queue = {fetched<double>("r")};
        r.begin();
        QCOMPARE(r.catalogue.fetched, QList<int>{fetched<int>("row")});
        QCOMPARE(r.game.CurrentTitle, titles[r.catalogue.fetched.first()]);
    }

    void revealOneCellPerTick()
    {
        Rig r({"AB CD"});
        r.game.Form_Load();
        r.game.new_game();
        QVERIFY(r.ticker.running);
        QCOMPARE(r.ticker.interval, 17);
        QVERIFY(!r.ui().cmdNew.enabled && !r.ui().cmdGiveUp.enabled && !r.ui().lstIncorrect.enabled);
        QVERIFY(r.ui().txtGuessLetter.enabled && r.ui().txtGuessWord.enabled);
        QCOMPARE(r.pictures.loaded, QStringList{picture(0)});
        auto shown = [&] {
            int n = 0;
            for (size_t i = 1; i < r.ui().txtLetter.size(); ++i)
                n += r.ui().txtLetter[i].visible;
            return n;
        };
        QCOMPARE(shown(), 0);
        for (int tick = 1; tick <= 5; ++tick) {
            QVERIFY(r.ticker.running);
            QVERIFY(r.ui().focus.isEmpty());
            r.game.tmrLoad_Timer();
            QCOMPARE(shown(), tick);
            QVERIFY(r.ui().txtLetter[size_t(tick)].visible);
        }
        QVERIFY(!r.ticker.running);
        QCOMPARE(r.ticker.starts, 1);
        QVERIFY(r.ui().cmdNew.enabled && r.ui().cmdGiveUp.enabled && r.ui().lstIncorrect.enabled);
        QCOMPARE(r.ui().focus, QStringLiteral("txtGuessLetter"));
        const unsigned serial = r.ui().focusSerial;
        r.game.tmrLoad_Timer(); // a late tick changes nothing
        QCOMPARE(r.ui().focusSerial, serial);
        QCOMPARE(shown(), 5);
    }

    void guessDuringReveal()
    {
        Rig r({"ABCA"});
        r.game.Form_Load();
        r.game.new_game();
        r.game.tmrLoad_Timer();
        r.letter("a");
        QCOMPARE(r.board(), QStringLiteral("A__A"));
        QVERIFY(!r.ui().txtLetter[4].visible); // still waiting for its tick
        QVERIFY(r.ticker.running);
        r.reveal();
        QVERIFY(r.ui().txtLetter[4].visible);
        QCOMPARE(r.ui().focus, QStringLiteral("txtGuessLetter"));
        QVERIFY(r.running());
    }

    void closeDuringReveal()
    {
        Rig r({"ABCD"});
        r.game.Form_Load();
        r.game.new_game();
        r.game.tmrLoad_Timer();
        r.game.Form_QueryUnload();
        QVERIFY(!r.ticker.running);
        r.game.tmrLoad_Timer(); // a tick already queued
        QCOMPARE(r.ui().txtLetter[2].visible, false);
        QVERIFY(r.catalogue.closed);
    }

    void gameEndsDuringReveal_data()
    {
        QTest::addColumn<QString>("guess");
        QTest::addColumn<QString>("focus");
        QTest::newRow("lost") << "WRONG" << "cmdNew";
        QTest::newRow("won") << "ABCDEF" << "cmdNew";
    }

    void gameEndsDuringReveal()
    {
        QFETCH(QString, guess);
        Rig r({"ABCDEF"});
        r.game.Form_Load();
        r.game.new_game();
        r.game.tmrLoad_Timer();
        for (int i = 0; i < 5 && r.ui().txtGuessWord.enabled; ++i)
            r.title(guess);
        QVERIFY(!r.ui().txtGuessLetter.enabled);
        const unsigned serial = r.ui().focusSerial;
        r.reveal();
        QVERIFY(!r.ticker.running);
        for (size_t i = 1; i < r.ui().txtLetter.size(); ++i)
            QVERIFY(r.ui().txtLetter[i].visible);
        QVERIFY(r.ui().cmdNew.visible && r.ui().cmdNew.enabled);
        QVERIFY(r.ui().focus != QStringLiteral("txtGuessLetter"));
        QFETCH(QString, focus);
        QCOMPARE(r.ui().focus, focus);
        // Asked again once New Game is enabled, so that the window can give it.
        QVERIFY(r.ui().focusSerial > serial);
    }

    void setupFailures_data()
    {
        QTest::addColumn<bool>("missingPicture"); // else the record has vanished
        QTest::addColumn<QString>("how");
        QTest::newRow("picture, directly") << true << "direct";
        QTest::newRow("record, directly") << false << "direct";
        QTest::newRow("record, new game") << false << "new";
        QTest::newRow("picture, give up") << true << "giveup";
        QTest::newRow("picture, wrong guess") << true << "guess";
    }

    void setupFailures()
    {
        QFETCH(bool, missingPicture);
        QFETCH(QString, how);
        Rig r({"ABC", "XYZ"});
        r.random.queue = {0.0, 0.9};
        r.begin();
        if (how == "new")
            r.title("abc");
        if (missingPicture)
            r.pictures.missing.insert(picture(how == "guess" ? 1 : 0));
        else
            r.catalogue.vanished.insert(1);
        if (how == "direct") {
            QVERIFY_THROWS_EXCEPTION(GameError, r.game.new_game());
            QVERIFY(r.messages.shown.isEmpty());
            QVERIFY(!r.ui().closeRequested);
            return;
        }
        if (how == "new")
            r.game.cmdNew_Click();
        else if (how == "guess")
            r.letter("X");
        else
            r.game.cmdGiveUp_Click();
        QCOMPARE(r.messages.shown.size(), 1);
        const QString named = !missingPicture ? "2" : how == "guess" ? "1.gif" : "0.gif";
        QVERIFY2(r.messages.shown[0].contains(named), qPrintable(r.messages.shown[0]));
        QVERIFY(r.ui().closeRequested);
        QVERIFY(!r.ticker.running);
    }
};

QTEST_GUILESS_MAIN(BoardTest)
#include "tst_board.moc"
