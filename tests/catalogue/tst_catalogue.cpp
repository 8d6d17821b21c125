// The games catalogue on real files: the game's reader, and the gallows-catalogue tool run as a program.

#include "tests/fakes/fakes.h"
#include "app/catalogue/game_table.h"
#include "app/catalogue/sqlcipher_catalogue.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <sqlite3.h>

using namespace gallows;
using namespace gallows::catalogue;
using gallows::testing::columns;
using gallows::testing::fetched;
using Setup = std::function<void(const QString &)>;
Q_DECLARE_METATYPE(Setup)

const char kSchema[] = "CREATE TABLE Games(GameID INTEGER PRIMARY KEY, Title, Year, Genre, Publisher, Developer)";
const QByteArray kHeader = "GameID,Title,Year,Genre,Publisher,Developer\n";

bool runSql(const QString &path, const QStringList &sql)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK
        && sqlite3_key(db, kCatalogueKey, int(sizeof kCatalogueKey) - 1) == SQLITE_OK;
    for (const QString &statement : QStringList{"BEGIN"} + sql + QStringList{"COMMIT"})
        ok = ok && sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok)
        qWarning("%s: %s", qPrintable(path), sqlite3_errmsg(db));
    sqlite3_close(db);
    return ok;
}

QByteArray readAll(const QString &path) { QFile f(path); return f.open(QIODevice::ReadOnly) ? f.readAll() : ""; }

void writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
}

// What the GameError thrown by `call` says; "" when it throws none.
template <typename Call> QString errorOf(Call call)
{
    try { call(); } catch (const GameError &e) { return e.message(); }
    return QString();
}

class CatalogueTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QProcess tool;
    int runTool(const QStringList &args)
    {
        tool.start(QStringLiteral(GALLOWS_CATALOGUE_TOOL), args);
        return tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }

    // Every row whole, the last one included; identifiers as stored (sparse, negative, past 32 bits); NULL as "".
    void readerRows()
    {
        QVERIFY(runSql("rows.cab", {kSchema, "INSERT INTO Games VALUES (7, 'Elite', 1984, 'sim', 'Acorn', 'Braben')",
                                    "INSERT INTO Games(GameID, Title) VALUES (9000000000, 'B'), (-3, 'C')"}));
        SqlCipherCatalogue catalogue(QStringLiteral("rows.cab"));
        QStringList ids;
        for (int row = 0; row < catalogue.count(); ++row)
            ids << catalogue.fetch(row).gameId;
        QCOMPARE(ids, (QStringList{"-3", "7", "9000000000"}));
        const GameRecord elite = catalogue.fetch(1);
        QCOMPARE((QStringList{elite.title, elite.year, elite.genre, elite.publisher, elite.developer}),
                 (QStringList{"Elite", "1984", "sim", "Acorn", "Braben"}));
        QCOMPARE(catalogue.fetch(2).developer, QString());
        QVERIFY(runSql("rows.cab", {"DELETE FROM Games WHERE GameID = 7"}));
        QVERIFY(errorOf([&] { catalogue.fetch(1); }).contains(QStringLiteral("identifier 7 is no longer")));
        catalogue.close();
        QVERIFY(errorOf([&] { catalogue.fetch(0); }).contains(QStringLiteral("closed")));
    }

    // The identifier is bound: pasted into the SQL, it would match the decoy or break the statement.
    void readerBindsIdentifier()
    {
        QVERIFY(runSql("bound.cab", {"CREATE TABLE Games(GameID TEXT, Title, Year, Genre, Publisher, Developer)",
                                     "INSERT INTO Games VALUES ('1', 'Decoy', '', '', '', '')",
                                     "INSERT INTO Games VALUES ('x'' OR ''1''=''1', 'Target', '', '', '', '')"}));
        SqlCipherCatalogue catalogue(QStringLiteral("bound.cab"));
        QCOMPARE(catalogue.fetch(1).title, QStringLiteral("Target"));
    }

    void readerBadFiles_data()
    {
        columns<Setup, QString>({"setup", "expected"});
        const auto sql = [](const QStringList &s) { return Setup([s](const QString &p) { QVERIFY(runSql(p, s)); }); };
        QTest::newRow("missing") << Setup([](const QString &) {}) << "is missing.";
        QTest::newRow("directory") << Setup([](const QString &p) { QDir().mkpath(p); }) << "is not a file.";
        QTest::newRow("empty") << Setup([](const QString &p) { writeAll(p, {}); }) << "cannot be read";
        QTest::newRow("truncated") << Setup([](const QString &p) {
            QVERIFY(runSql(p, {kSchema, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i < 5000) "
                                        "INSERT INTO Games SELECT i, 'GAME ' || i, '1990', 'p', 'P', 'D' FROM n"}));
            writeAll(p, readAll(p).left(QFileInfo(p).size() / 2));
        }) << "cannot be read: database disk image is malformed";
        QTest::newRow("no Games table") << sql({"CREATE TABLE Other(x)"}) << "has no Games table.";
        QTest::newRow("two columns missing") << sql({"CREATE TABLE Games(GameID, Title, Publisher, Developer)"})
                                             << "has no Year, Genre columns.";
    }
    void readerBadFiles()
    {
        const QString path = QString::fromUtf8(QTest::currentDataTag());
        fetched<Setup>("setup")(path);
        const QByteArray before = QFileInfo::exists(path) ? readAll(path) : "(none)";
        const QString message = errorOf([&] { SqlCipherCatalogue catalogue(path); });
        QVERIFY2(message.contains(path) && message.contains(fetched<QString>("expected")), qPrintable(message));
        QCOMPARE(QFileInfo::exists(path) ? readAll(path) : "(none)", before); // opening creates and changes nothing
    }

    // The shipped games: fixed genres, whole rows, years in range, no title twice ignoring case.
    void shippedGames()
    {
        const GameTable table = readGamesCsv(readAll(QStringLiteral(GAMES_CSV)));
        QVERIFY(table.problems.isEmpty() && table.rows.size() >= 2000);
        const QByteArrayList genres = {"action", "action-adventure", "adventure", "platformer", "first-person shooter",
            "shoot 'em up", "role-playing", "real-time strategy", "turn-based strategy", "simulation", "sports",
            "racing", "puzzle", "fighting", "survival horror"};
        QHash<QString, int> titles;
        for (const GameRow &row : table.rows) {
            const QByteArrayList &f = row.fields;
            const QString where = QStringLiteral("line %1: %2").arg(row.line).arg(QString::fromUtf8(f.join(',')));
            QVERIFY2(genres.contains(f[3]), qPrintable(where));
            QVERIFY2(f[2].size() == 4 && f[2].toInt() >= 1980 && f[2].toInt() <= 2024, qPrintable(where));
            for (int c : {1, 4, 5})
                QVERIFY2(!f[c].trimmed().isEmpty() && f[c] == f[c].trimmed(), qPrintable(where));
            const QString key = QString::fromUtf8(f[1]).toCaseFolded();
            QVERIFY2(!titles.contains(key), qPrintable(where + QStringLiteral(" repeats line %1").arg(titles[key])));
            titles.insert(key, row.line);
        }
    }

    // import then export gives back the same bytes; export quotes line breaks; --help succeeds.
    void toolRoundTrip()
    {
        const QByteArray csv = kHeader
            + "1,\"Command & Conquer, \"\"Gold\"\"\",1995,real-time strategy, spaces kept ,Westwood Studios\n"
              "20,Pok\xC3\xA9mon: Caf\xC3\xA9 \xF0\x9F\x8E\xAE,,,,\n";
        writeAll("in.csv", csv);
        QCOMPARE(runTool({"import", "in.csv", "round.cab"}), 0);
        QCOMPARE(runTool({"export", "round.cab", "back.csv"}), 0);
        QCOMPARE(readAll("back.csv"), csv);
        QVERIFY(runSql("breaks.cab", {kSchema, "INSERT INTO Games VALUES (1, 'a\nb', 'c\r\n', '', '', '')"}));
        QCOMPARE(runTool({"export", "breaks.cab", "breaks.csv"}), 0);
        QCOMPARE(readAll("breaks.csv"), kHeader + "1,\"a\nb\",\"c\r\n\",,,\n");
        QCOMPARE(runTool({"--help"}), 0);
    }

    // validate lists every bad row by its physical line; no run that fails
    // changes the catalogue already in place or leaves anything beside it.
    void toolRuns_data()
    {
        columns<QByteArray, QStringList, int, QStringList, QString>({"csv", "args", "status", "out", "err"});
        const auto validate = [](const char *tag, const QByteArray &rows, QStringList out) {
            for (QString &line : out)
                line.prepend("in.csv:");
            QTest::newRow(tag) << kHeader + rows << QStringList{"validate", "in.csv"} << (out.isEmpty() ? 0 : 1)
                               << out << QString();
        };
        const QByteArray ok = "1,Elite,1984,simulation,Acornsoft,David Braben and Ian Bell\n";
        const QByteArray words = QByteArray("WORD ").repeated(40).trimmed();
        validate("clean", ok, {});
        validate("shape, missing title", ok + "2,Doom,1993\n\n4,,1993,a,b,c\n5,\"  \",1993,a,b,c\n6,\"B\"x,1,a,b,c\n",
                 {"3: 3 fields, expected 6", "4: blank line", "5: missing title", "6: missing title",
                  "7: text after the closing quote of a field"});
        validate("unplayable title", ok + "2,: G,1,a,b,c\n3," + words + ",1,a,b,c\n4,G: " + words + ",1,a,b,c\n",
                 {"3: title \": G\" cannot be played: nothing to play before the last colon",
                  "4: title \"" + words + "\" cannot be played: the playable title \"" + words
                      + "\" (199 characters) needs more than three rows"});
        validate("bad GameIDs", ok + "x7,A,1,a,b,c\n,B,1,a,b,c\n007,C,1,a,b,c\n-4,D,1,a,b,c\n0,E,1,a,b,c\n",
                 {"3: GameID \"x7\" is not a whole number", "4: missing GameID", "5: GameID \"007\" has a leading zero",
                  "6: GameID \"-4\" is not a whole number", "7: GameID 0 is out of range (1 to 9223372036854775807)"});
        validate("duplicate GameID", ok + "42,\"Two\nLines\",1,a,b,c\n5,F,1,a,b,c\n42,G,1,a,b,c\n1,H,1,a,b,c\n",
                 {"3: control character U+000A in Title", "6: duplicate GameID 42 (first on line 3)",
                  "7: duplicate GameID 1 (first on line 2)"});
        validate("invalid UTF-8", ok + "2,Caf\xE9,1,a,b,c\n3,A,1,a,\xC0\xAF,c\n4,A,1,a,b,\xED\xA0\x80\n",
                 {"3: invalid UTF-8 in Title", "4: invalid UTF-8 in Publisher", "5: invalid UTF-8 in Developer"});
        const QStringList import = {"import", "in.csv", "cab/bsk.cab"};
        const QString unchanged = QStringLiteral("cab/bsk.cab was not changed");
        QTest::newRow("import, bad row") << kHeader + "1,,1990,a,b,c\n" << import << 1 << QStringList{} << unchanged;
        QTest::newRow("import, bad header") << QByteArray("Title\n") << import << 1 << QStringList{} << unchanged;
        QTest::newRow("import, empty") << QByteArray() << import << 1 << QStringList{} << unchanged;
        QTest::newRow("validate, missing file") << QByteArray() << QStringList{"validate", "absent.csv"} << 1
                                                << QStringList{} << "absent.csv is missing.";
        QTest::newRow("export, not a catalogue") << kHeader << QStringList{"export", "in.csv", "out.csv"} << 1
                                                 << QStringList{} << "in.csv cannot be read: file is encrypted";
        QTest::newRow("no command") << QByteArray() << QStringList{} << 2 << QStringList{} << "no command given";
    }
    void toolRuns()
    {
        const QString err = fetched<QString>("err");
        writeAll("in.csv", fetched<QByteArray>("csv"));
        QFile::remove("cab/bsk.cab");
        QVERIFY(QDir().mkpath("cab") && runSql("cab/bsk.cab", {kSchema}));
        const QByteArray before = readAll("cab/bsk.cab");
        QCOMPARE(runTool(fetched<QStringList>("args")), fetched<int>("status"));
        QCOMPARE(QString(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts), fetched<QStringList>("out"));
        const QString errors = QString::fromUtf8(tool.readAllStandardError());
        QVERIFY2(errors.contains(err) && errors.isEmpty() == err.isEmpty(), qPrintable(errors));
        QCOMPARE(readAll("cab/bsk.cab"), before);
        QCOMPARE(QDir("cab").entryList(QDir::Files | QDir::Hidden), QStringList{"bsk.cab"});
    }
};

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
