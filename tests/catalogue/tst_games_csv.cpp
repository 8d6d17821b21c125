// The CSV reader and writer, and the checks run on every row of a games file.

#include "game_table.h"
#include "games_csv.h"

#include <QFile>
#include <QTest>

using namespace gallows::catalogue;

using Fields = QList<QByteArray>;
Q_DECLARE_METATYPE(QList<Fields>)

namespace {

const QByteArray kHeader = "GameID,Title,Year,Genre,Publisher,Developer\n";

QStringList described(const QByteArray &csv)
{
    QStringList out;
    for (const Problem &p : readGamesCsv(csv).problems)
        out << describe(QStringLiteral("games.csv"), p, Source::Csv);
    return out;
}

} // namespace

class GamesCsvTest : public QObject {
    Q_OBJECT

private slots:
    void formatReadsBack()
    {
        const QList<Fields> records = {
            {"1", "Baldur's Gate", "1998"},
            {"2", "Command & Conquer, \"Gold\"", ""},
            {"3", "with\nnewline", "and\r\ncrlf"},
            {"4", " spaces kept ", "\xC3\xA9t\xC3\xA9"},
            {""},
        };
        QByteArray csv;
        for (const Fields &r : records)
            csv += formatCsvRecord(r);
        const CsvDocument doc = parseCsv(csv);
        QVERIFY(doc.problems.isEmpty());
        QList<Fields> back;
        for (const CsvRecord &r : doc.records)
            back << r.fields;
        QCOMPARE(back, records);
    }

    void rowProblems_data()
    {
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QStringList>("expected");
        const QByteArray ok = "1,Elite,1984,simulation,Acornsoft,David Braben and Ian Bell\n";
        QTest::newRow("clean") << ok << QStringList{};
        QTest::newRow("too few fields") << ok + "2,Doom,1993\n" << QStringList{"games.csv:3: 3 fields, expected 6"};
        QTest::newRow("blank line") << "\n" + ok << QStringList{"games.csv:2: blank line"};
        QTest::newRow("missing title") << ok + "2,,1993,a,b,c\n3,\"  \",1993,a,b,c\n"
                                       << QStringList{"games.csv:3: missing title", "games.csv:4: missing title"};
        QTest::newRow("nothing before the colon") << ok + "2,: The Game,1993,a,b,c\n"
                                                  << QStringList{"games.csv:3: title \": The Game\" cannot be played: "
                                                                 "nothing to play before the last colon"};
        QTest::newRow("bad GameIDs") << ok + "x7,A,1,a,b,c\n,B,1,a,b,c\n007,C,1,a,b,c\n-4,D,1,a,b,c\n0,E,1,a,b,c\n"
                                     << QStringList{"games.csv:3: GameID \"x7\" is not a whole number",
                                                    "games.csv:4: missing GameID",
                                                    "games.csv:5: GameID \"007\" has a leading zero",
                                                    "games.csv:6: GameID \"-4\" is not a whole number",
                                                    "games.csv:7: GameID 0 is out of range (1 to 9223372036854775807)"};
        // The duplicate's line counts the physical lines of the quoted
        // field before it, not records.
        QTest::newRow("duplicate GameID")
            << ok + "42,\"Two\nLines\",1,a,b,c\n5,F,1,a,b,c\n42,G,1,a,b,c\n1,H,1,a,b,c\n"
            << QStringList{"games.csv:3: control character U+000A in Title",
                           "games.csv:6: duplicate GameID 42 (first on line 3)",
                           "games.csv:7: duplicate GameID 1 (first on line 2)"};
        QTest::newRow("invalid UTF-8") << ok + "2,Caf\xE9,1,a,b,c\n3,A,1,a,\xC0\xAF,c\n4,A,1,a,b,\xED\xA0\x80\n"
                                       << QStringList{"games.csv:3: invalid UTF-8 in Title",
                                                      "games.csv:4: invalid UTF-8 in Publisher",
                                                      "games.csv:5: invalid UTF-8 in Developer"};
        QTest::newRow("quoting mistake in order") << ok + "2,A,1,a,b,c\n3,\"B\"x,1,a,b,c\n4,,1,a,b,c\n"
                                                  << QStringList{"games.csv:4: text after the closing quote of a field",
                                                                 "games.csv:5: missing title"};
    }
    void rowProblems()
    {
        QFETCH(QByteArray, rows);
        QFETCH(QStringList, expected);
        QCOMPARE(described(kHeader + rows), expected);
    }

    void titleTooLongForTheBoard()
    {
        const QString title = QStringLiteral("Word ").repeated(40).trimmed();
        const QStringList problems = described(kHeader + "9," + title.toUtf8() + ",1,a,b,c\n");
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems[0].startsWith(QStringLiteral("games.csv:2: title \"") + title
                                        + QStringLiteral("\" cannot be played: ")),
                 qPrintable(problems[0]));
        // Only the part before the last colon has to fit.
        QVERIFY(described(kHeader + "9,Short: " + title.toUtf8() + ",1,a,b,c\n").isEmpty());
    }

    // The games shipped with the game: the fixed genre vocabulary, whole rows,
    // and no title twice ignoring case (the tool checks ids and board fit).
    void shippedGames()
    {
        QFile f(QStringLiteral(GAMES_CSV));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const GameTable table = readGamesCsv(f.readAll());
        QVERIFY(table.problems.isEmpty());
        QVERIFY2(table.rows.size() >= 1500, qPrintable(QString::number(table.rows.size())));
        const QStringList genres = {"action", "action-adventure", "adventure", "platformer", "first-person shooter",
            "shoot 'em up", "role-playing", "real-time strategy", "turn-based strategy", "simulation", "sports",
            "racing", "puzzle", "fighting", "survival horror"};
        QHash<QString, int> titles;
        for (const GameRow &row : table.rows) {
            QStringList f;
            for (const QByteArray &field : row.fields)
                f << QString::fromUtf8(field);
            const QString where = QStringLiteral("line %1: %2").arg(row.line).arg(f.join(','));
            QVERIFY2(genres.contains(f[3]), qPrintable(where));
            QVERIFY2(f[2].size() == 4 && f[2].toInt() >= 1980 && f[2].toInt() <= 2024, qPrintable(where));
            for (int c : {1, 4, 5})
                QVERIFY2(!f[c].trimmed().isEmpty() && f[c] == f[c].trimmed(), qPrintable(where));
            const QString key = f[1].toCaseFolded();
            QVERIFY2(!titles.contains(key), qPrintable(where + QStringLiteral(" repeats line %1").arg(titles[key])));
            titles.insert(key, row.line);
        }
    }

};

QTEST_GUILESS_MAIN(GamesCsvTest)
#include "tst_games_csv.moc"
