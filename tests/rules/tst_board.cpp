// Setting up a game: where the cells go, which catalogue row is drawn, the
// reveal one cell per tick, and a game that cannot be set up.

#include "tests/rules/harness.h"

#include <QRectF>

using namespace gallows;
using namespace gallows::testing;

class BoardTest : public QObject {
    Q_OBJECT

private slots:
    // One cell's place in twips (cell 0: none), and the rows used: a title fits in one to three.
    void layout_data()
    {
        columns<QString, int, QPointF, int>({"title", "cell", "place", "rows"});
        QTest::newRow("after a space") << "ABC DEF" << 5 << QPointF(1260, 360) << 1;
        QTest::newRow("25 characters, one row") << "ABCDEFGHIJKL MNOPQRSTUVWX" << 25 << QPointF(7260, 360) << 1;
        QTest::newRow("two rows") << QString(11, 'A') + ' ' + QString(19, 'B') << 13 << QPointF(110, 660) << 2;
        QTest::newRow("space as character 26") << "ABCD EFGH IJKL MNOP QRSTU VWXYZ" << 27 << QPointF(110, 660) << 2;
        QTest::newRow("three rows") << QString(19, 'A') + ' ' + QString(23, 'B') + ' ' + QString(12, 'C') << 45
                                    << QPointF(110, 960) << 3;
        // Titles the classic breaks would push past an edge of the window.
        QTest::newRow("26 letters, no space") << QString(26, 'Q') << 26 << QPointF(110, 660) << 2;
        QTest::newRow("long second row") << QString(21, 'A') + ' ' + QString(33, 'C') << 0 << QPointF() << 3;
        QTest::newRow("a word longer than a row") << "AB " + QString(33, 'C') << 0 << QPointF() << 3;
        QTest::newRow("75 letters") << QString(75, 'Q') << 75 << QPointF(7310, 960) << 3;
        QTest::newRow("76 letters") << QString(76, 'Q') << 76 << QPointF(110, 1260) << 4;
        QTest::newRow("79 with spaces")
            << "ALPHA BRAVO CHARLIE DELTA ECHO FOXTROT GOLF HOTEL INDIA JULIET KILO LIMA MIKE N" << 0 << QPointF() << 4;
        QTest::newRow("subtitle goes") << QString(60, 'Q') + ": " + QString(60, 'Z') << 0 << QPointF() << 3;
        QTest::newRow("nothing before the colon") << ": Sub" << 0 << QPointF() << 0;
    }

    void layout()
    {
        QFETCH(QString, title);
        QFETCH(int, cell);
        const bool fits = fetched<int>("rows") >= 1 && fetched<int>("rows") <= 3;
        Rig r({title});
        r.begin();
        const auto &cells = r.ui().cells;
        QSet<double> tops;
        for (size_t i = 0; i < cells.size(); ++i) {
            const Cell &c = cells[i], &prev = cells[i ? i - 1 : 0];
            const QString where = QStringLiteral("cell %1 at %2,%3").arg(i).arg(c.left).arg(c.top);
            QVERIFY2(QRectF(0, 0, kClientWidth, kClientHeight).contains(QRectF(c.left, c.top, kCellSize, kCellSize)),
                qPrintable(where));
            QVERIFY2(c.top >= prev.top, "rows run top to bottom");
            if (i > 0 && c.top == prev.top && c.bordered && prev.bordered)
                QVERIFY2(c.left - prev.left >= kCellSize, qPrintable(where));
            tops.insert(c.top);
        }
        if (cell)
            QCOMPARE(QPointF(cells[size_t(cell - 1)].left, cells[size_t(cell - 1)].top), fetched<QPointF>("place"));
        QCOMPARE(int(tops.size()), fetched<int>("rows"));
        QString why;
        QCOMPARE(titleFitsBoard(title, &why), fits);
        QCOMPARE(why.isEmpty(), fits);
    }

    // Row floor(r * N) of N, so that every row can be drawn.
    void draw_data()
    {
        columns<int, double, int>({"rows", "r", "row"});
        QTest::newRow("3, r=0.5") << 3 << 0.5 << 1;
        QTest::newRow("3, r just below 1") << 3 << 0.999999 << 2;
        QTest::newRow("1000, r just below 1") << 1000 << 0.999999 << 999;
    }

    void draw()
    {
        QFETCH(int, row);
        QStringList titles;
        for (int i = 0; i < fetched<int>("rows"); ++i)
            titles << QStringLiteral("GAME %1").arg(i);
        Rig r(titles);
        r.random.queue = {fetched<double>("r")};
        r.begin();
        QCOMPARE(r.catalogue.fetched, QList<int>{row});
        QCOMPARE(r.game.title(), titles[row]);
    }

    void revealOneCellPerTick()
    {
        Rig r({"AB CD"});
        r.start();
        QCOMPARE(r.ticker.interval, 17);
        for (int tick = 0; tick <= 5; ++tick) {
            if (tick)
                r.game.revealNextCell();
            for (size_t i = 0; i < 5; ++i)
                QVERIFY2(r.ui().cells[i].visible == (int(i) < tick), qPrintable(QString::number(tick)));
            // Guesses may come during the reveal; the other controls wait for its end.
            const bool done = tick == 5;
            const WindowState &ui = r.ui();
            QCOMPARE((QList<bool>{r.ticker.running, ui.newGameButton.enabled, ui.giveUpButton.enabled, ui.incorrectList.enabled,
                         ui.letterBox.enabled, ui.titleBox.enabled}),
                (QList<bool>{!done, done, done, done, true, true}));
            QCOMPARE(ui.focus, done ? FocusTarget::LetterBox : FocusTarget::None);
        }
        QCOMPARE(r.ticker.starts, 1);
        const unsigned serial = r.ui().focusSerial;
        r.game.revealNextCell(); // a late tick changes nothing
        QCOMPARE(r.ui().focusSerial, serial);
    }

    void closeDuringReveal()
    {
        Rig r({"ABCD"});
        r.start();
        r.game.revealNextCell();
        r.game.saveAndClose();
        r.game.revealNextCell(); // a tick already queued
        QVERIFY(!r.ticker.running && r.catalogue.closed);
        QVERIFY(r.ui().cells[0].visible && !r.ui().cells[1].visible);
    }

    // The first game's failure goes to the caller; a later one is told, then closes the window.
    void setupFailures_data()
    {
        columns<QString, QString>({"steps", "named"});
        QTest::newRow("first game") << "" << "";
        QTest::newRow("new game, record gone") << "|abc" << "identifier 2";
        QTest::newRow("wrong guess, picture gone") << "X" << "1.gif";
    }

    void setupFailures()
    {
        QFETCH(QString, steps);
        Rig r({"ABC", "XYZ"});
        r.random.queue = {0.0, 0.9};
        r.begin();
        r.catalogue.vanished.insert(1);
        r.pictures.missing.insert(picture(1));
        if (steps.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(GameError, r.game.startGame());
            QVERIFY(r.messages.shown.isEmpty() && !r.ui().closeRequested);
            return;
        }
        r.play(steps);
        r.game.newGame();
        QCOMPARE(r.messages.shown.size(), 1);
        QVERIFY2(r.messages.shown[0].contains(fetched<QString>("named")), qPrintable(r.messages.shown[0]));
        QVERIFY(r.ui().closeRequested);
        QVERIFY(!r.ticker.running && !r.ui().letterBox.enabled);
    }
};

QTEST_GUILESS_MAIN(BoardTest)
#include "tst_board.moc"
