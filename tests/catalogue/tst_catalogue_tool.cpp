// gallows-catalogue end to end: import, export, validate, and that a failed
// write never disturbs the file already in place.

#include "game_table.h"
#include "interfaces.h"
#include "raw_catalogue.h"
#include "sqlcipher_catalogue.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace testing;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run tool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(GALLOWS_CATALOGUE_TOOL), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

const QByteArray kTrickyCsv =
    "GameID,Title,Year,Genre,Publisher,Developer\n"
    "3,\"Sid Meier's Civilization\",1991,turn-based strategy,MicroProse,MicroProse\n"
    "1,\"Command & Conquer, \"\"Gold\"\"\",1995,real-time strategy,Virgin Interactive,Westwood Studios\n"
    "20,Pok\xC3\xA9mon: Caf\xC3\xA9 \xF0\x9F\x8E\xAE,,,,\n"
    "7,Star Wars: Rebel Assault II: The Hidden Empire,1995,shoot 'em up,LucasArts,LucasArts\n";

} // namespace

class CatalogueToolTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString file(const QString &name) const { return dir.filePath(name); }

    // Only the files the test made itself: no temporary left-overs.
    QStringList folderEntries(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void roundTrip()
    {
        const QString csv = file(QStringLiteral("in.csv"));
        const QString cab = file(QStringLiteral("round.cab"));
        const QString back = file(QStringLiteral("back.csv"));
        writeAll(csv, kTrickyCsv);

        Run r = tool({QStringLiteral("import"), csv, cab});
        QCOMPARE(r.exitCode, 0);
        gallows::SqlCipherCatalogue catalogue(cab);
        QCOMPARE(catalogue.count(), 4);
        QCOMPARE(catalogue.fetch(0).title, QStringLiteral("Command & Conquer, \"Gold\""));
        QCOMPARE(catalogue.fetch(1).publisher, QStringLiteral("MicroProse"));
        QCOMPARE(catalogue.fetch(3).title, QStringLiteral("Pok\u00E9mon: Caf\u00E9 \U0001F3AE"));
        catalogue.close();

        r = tool({QStringLiteral("export"), cab, back});
        QCOMPARE(r.exitCode, 0);
        // The catalogue keeps its games in GameID order; otherwise nothing changes.
        gallows::catalogue::GameTable in = gallows::catalogue::readGamesCsv(kTrickyCsv);
        std::sort(in.rows.begin(), in.rows.end(), [](const auto &a, const auto &b) {
            return a.fields[0].toLongLong() < b.fields[0].toLongLong();
        });
        QCOMPARE(readAll(back), gallows::catalogue::gamesCsv(in.rows));

    }

    void failedImportLeavesOldCatalogue_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::newRow("bad row") << QByteArray("GameID,Title,Year,Genre,Publisher,Developer\n1,,1990,a,b,c\n");
        QTest::newRow("bad header") << QByteArray("Title\nElite\n");
        QTest::newRow("empty") << QByteArray();
    }
    void failedImportLeavesOldCatalogue()
    {
        QFETCH(QByteArray, csv);
        QTemporaryDir folder;
        const QString cab = folder.filePath(QStringLiteral("bsk.cab"));
        const QString input = dir.filePath(QStringLiteral("bad-%1.csv").arg(QTest::currentDataTag()));
        gallows::catalogue::writeGamesCatalogue(cab, numberedGames(4), kKey);
        const QByteArray before = readAll(cab);
        writeAll(input, csv);

        const Run r = tool({QStringLiteral("import"), input, cab});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QStringLiteral("was not changed")), qPrintable(r.err));
        QCOMPARE(readAll(cab), before);
        QCOMPARE(folderEntries(folder.path()), QStringList{QStringLiteral("bsk.cab")});
    }

    void validate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("clean csv") << "clean.csv" << kTrickyCsv << 0 << QStringList{};
        QTest::newRow("bad csv") << "bad.csv"
                                 << QByteArray("GameID,Title,Year,Genre,Publisher,Developer\n"
                                               "9,A,1,a,b,c\n9,\"B\nB\",1,a,b,c\nx,,1,a,b,c\n")
                                 << 1
                                 << QStringList{"%1:3: control character U+000A in Title",
                                                "%1:3: duplicate GameID 9 (first on line 2)",
                                                "%1:5: GameID \"x\" is not a whole number",
                                                "%1:5: missing title"};
        QTest::newRow("not a catalogue") << "junk.cab" << QByteArray("GameID,Title\n") << 1
                                         << QStringList{"The games catalogue %1 cannot be read: file is encrypted or "
                                                        "is not a database"};
        QTest::newRow("missing csv") << "absent.csv" << QByteArray() << 1 << QStringList{};
    }
    void validate()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        const QString path = file(name);
        if (name != QLatin1String("absent.csv"))
            writeAll(path, content);
        const Run r = tool({QStringLiteral("validate"), path});
        QCOMPARE(r.exitCode, exitCode);
        QStringList expected;
        for (const QString &line : lines)
            expected << line.arg(path);
        QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
        if (name == QLatin1String("absent.csv"))
            QVERIFY(r.err.contains(QStringLiteral("is missing")));
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("nothing") << QStringList{} << 2;
        QTest::newRow("unknown command") << QStringList{"frobnicate", "x"} << 2;
        QTest::newRow("help") << QStringList{"--help"} << 0;
    }
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        const Run r = tool(args);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY(exitCode == 0 ? r.out.contains(QStringLiteral("Usage:")) : !r.err.isEmpty());
    }
};

QTEST_GUILESS_MAIN(CatalogueToolTest)
#include "tst_catalogue_tool.moc"
