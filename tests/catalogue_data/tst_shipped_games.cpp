// The shipped games list: every row reads well as a clue and no two rows
// clash. The tool's own validation (ids, titles that fit) runs separately.

#include "board_layout.h"
#include "game_table.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace gallows::catalogue;

namespace {

enum Column { Id, Title, Year, Genre, Publisher, Developer };

const QStringList kGenres = {
    QStringLiteral("action"), QStringLiteral("action-adventure"), QStringLiteral("adventure"),
    QStringLiteral("platformer"), QStringLiteral("first-person shooter"),
    QStringLiteral("shoot 'em up"), QStringLiteral("role-playing"),
    QStringLiteral("real-time strategy"), QStringLiteral("turn-based strategy"),
    QStringLiteral("simulation"), QStringLiteral("sports"), QStringLiteral("racing"),
    QStringLiteral("puzzle"), QStringLiteral("fighting"), QStringLiteral("survival horror")};

QString field(const GameRow &row, Column c) { return QString::fromUtf8(row.fields.value(c)); }

} // namespace

class TestShippedGames : public QObject {
    Q_OBJECT
    GameTable table;

private slots:
    void initTestCase()
    {
        QFile f(QStringLiteral(GAMES_CSV));
        QVERIFY(f.open(QIODevice::ReadOnly));
        table = readGamesCsv(f.readAll());
        QVERIFY(table.problems.isEmpty());
    }

    void enoughGames() { QVERIFY2(table.rows.size() >= 600, qPrintable(QString::number(table.rows.size()))); }

    void genresComeFromTheVocabulary()
    {
        QVERIFY(kGenres.size() <= 15);
        QSet<QString> used;
        for (const GameRow &row : table.rows) {
            QVERIFY2(kGenres.contains(field(row, Genre)),
                     qPrintable(QStringLiteral("line %1: genre \"%2\"").arg(row.line).arg(field(row, Genre))));
            used.insert(field(row, Genre));
        }
        // Every genre of the vocabulary is in use: none is a leftover.
        QCOMPARE(used.size(), kGenres.size());
    }

    void titlesAreUniqueIgnoringCase()
    {
        QHash<QString, int> seen;
        for (const GameRow &row : table.rows) {
            const QString key = field(row, Title).toCaseFolded();
            QVERIFY2(!seen.contains(key), qPrintable(QStringLiteral("line %1 repeats line %2: %3")
                                                         .arg(row.line)
                                                         .arg(seen.value(key))
                                                         .arg(field(row, Title))));
            seen.insert(key, row.line);
        }
    }

    void everyRowIsComplete()
    {
        for (const GameRow &row : table.rows) {
            const QString where = QStringLiteral("line %1").arg(row.line);
            const int year = field(row, Year).toInt();
            QVERIFY2(field(row, Year).size() == 4 && year >= 1973 && year <= 2024, qPrintable(where));
            QVERIFY2(!field(row, Publisher).trimmed().isEmpty(), qPrintable(where));
            QVERIFY2(!field(row, Developer).trimmed().isEmpty(), qPrintable(where));
            for (Column c : {Title, Publisher, Developer})
                QVERIFY2(field(row, c) == field(row, c).trimmed(), qPrintable(where));
            QVERIFY2(gallows::titleFitsBoard(field(row, Title)), qPrintable(where));
        }
    }

    void theMixCoversTheBoardsSpecialCases()
    {
        // The starter cases the board must handle stay in the shipped list.
        int oneColon = 0, twoColons = 0, digits = 0, ampersand = 0, apostrophe = 0, longTitle = 0,
            accented = 0, unknownDeveloper = 0;
        for (const GameRow &row : table.rows) {
            const QString title = field(row, Title);
            const int colons = int(title.count(QLatin1Char(':')));
            oneColon += colons == 1;
            twoColons += colons == 2;
            digits += title.contains(QRegularExpression(QStringLiteral("[0-9]")));
            ampersand += title.contains(QLatin1Char('&'));
            apostrophe += title.contains(QLatin1Char('\''));
            longTitle += gallows::splitCharacters(gallows::playableTitle(title)).size() >= 26;
            accented += title.contains(QRegularExpression(QStringLiteral("[À-ÿ]")));
            unknownDeveloper += field(row, Developer) == QLatin1String("(unknown)");
        }
        QVERIFY(oneColon > 0);
        QVERIFY(twoColons > 0);
        QVERIFY(digits > 0);
        QVERIFY(ampersand > 0);
        QVERIFY(apostrophe > 0);
        QVERIFY(longTitle > 0);
        QVERIFY(accented > 0);
        QVERIFY(unknownDeveloper > 0);
    }
};

QTEST_GUILESS_MAIN(TestShippedGames)
#include "tst_shipped_games.moc"
