// The catalogue as the game reads it, on real files: the identifier list,
// rows fetched by bound identifier, and the ways a catalogue file can be bad.

#include "raw_catalogue.h"
#include "sqlcipher_catalogue.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using gallows::GameError;
using gallows::SqlCipherCatalogue;
using gallows::catalogue::writeGamesCatalogue;
using namespace testing;

namespace {

const QString kSchema = QStringLiteral("CREATE TABLE Games(GameID INTEGER PRIMARY KEY, Title TEXT, Year TEXT,"
                                       " Genre TEXT, Publisher TEXT, Developer TEXT)");

// What GameError says when `call` fails, or "" when it does not.
QString errorOf(const std::function<void()> &call)
{
    try {
        call();
        return QString();
    } catch (const GameError &e) {
        return e.message();
    }
}

} // namespace

class CatalogueReaderTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString file(const QString &name) const { return dir.filePath(name); }

private slots:
    // Every row, the last one included, comes back whole; the identifiers
    // stay as stored (sparse, negative, past 32 bits); NULL reads as "".
    void rowsAsStored()
    {
        const QString path = file(QStringLiteral("rows.cab"));
        QVERIFY(runSql(path, {kSchema, QStringLiteral("INSERT INTO Games VALUES (7, 'Elite', 1984, 'simulation', 'Acornsoft', 'Braben')"),
                              QStringLiteral("INSERT INTO Games(GameID, Title) VALUES (9000000000, 'B')"),
                              QStringLiteral("INSERT INTO Games(GameID, Title) VALUES (-3, 'C')")}));
        SqlCipherCatalogue catalogue(path);
        QCOMPARE(catalogue.count(), 3);
        QStringList ids;
        for (int row = 0; row < catalogue.count(); ++row)
            ids << catalogue.fetch(row).gameId;
        QCOMPARE(ids, (QStringList{"-3", "7", "9000000000"}));
        const gallows::GameRecord elite = catalogue.fetch(1);
        QCOMPARE((QStringList{elite.title, elite.year, elite.genre, elite.publisher, elite.developer}),
                 (QStringList{"Elite", "1984", "simulation", "Acornsoft", "Braben"}));
        QCOMPARE(catalogue.fetch(2).developer, QString());
        QVERIFY(!errorOf([&] { catalogue.fetch(3); }).isEmpty());
        catalogue.close();
        QVERIFY(errorOf([&] { catalogue.fetch(1); }).contains(QStringLiteral("closed")));
    }

    void badFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const QString unreadable = QStringLiteral("cannot be read: file is encrypted or is not a database");
        QTest::newRow("missing") << "missing.cab" << "is missing.";
        QTest::newRow("directory") << "folder.cab" << "is not a file.";
        QTest::newRow("wrong key") << "wrongkey.cab" << unreadable;
        QTest::newRow("garbage") << "garbage.cab" << unreadable;
        QTest::newRow("empty") << "empty.cab" << unreadable;
        QTest::newRow("truncated body") << "halved.cab" << "cannot be read: ";
        QTest::newRow("no Games table") << "notable.cab" << "has no Games table.";
        QTest::newRow("two columns missing") << "nocols.cab" << "has no Year, Genre columns.";
    }

    void badFiles()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        const QString path = file(name);
        if (name == "folder.cab")
            QVERIFY(QDir().mkpath(path));
        else if (name == "wrongkey.cab")
            writeGamesCatalogue(path, numberedGames(3), QStringLiteral("not the key"));
        else if (name == "garbage.cab")
            writeAll(path, QByteArray(8192, '\x5a'));
        else if (name == "empty.cab")
            writeAll(path, QByteArray());
        else if (name == "notable.cab")
            QVERIFY(runSql(path, {QStringLiteral("CREATE TABLE Other(x)")}));
        else if (name == "nocols.cab")
            QVERIFY(runSql(path, {QStringLiteral("CREATE TABLE Games(GameID, Title, Publisher, Developer)")}));
        else if (name == "halved.cab") {
            writeGamesCatalogue(path, numberedGames(5000), kKey);
            writeAll(path, readAll(path).left(QFileInfo(path).size() / 2));
        }
        const QByteArray before = QFileInfo(path).isFile() ? readAll(path) : QByteArray();
        const QString message = errorOf([&] { SqlCipherCatalogue catalogue(path); });
        QVERIFY2(message.startsWith(QStringLiteral("The ")) && message.contains(path), qPrintable(message));
        QVERIFY2(message.contains(expected), qPrintable(message));
        // Opening is read-only: nothing is created or changed.
        QCOMPARE(QFileInfo::exists(path), name != "missing.cab");
        if (QFileInfo(path).isFile())
            QCOMPARE(readAll(path), before);
    }

    // The identifier is bound, never pasted into the SQL: a decoy row first
    // would be matched (or the statement broken) otherwise.
    void identifierIsBound()
    {
        const QString path = file(QStringLiteral("bound.cab"));
        QVERIFY(runSql(path, {QStringLiteral("CREATE TABLE Games(GameID TEXT, Title, Year, Genre, Publisher, Developer)"),
                              QStringLiteral("INSERT INTO Games VALUES ('1', 'Decoy', '', '', '', '')"),
                              QStringLiteral("INSERT INTO Games VALUES ('x'' OR ''1''=''1', 'Target', '', '', '', '')")}));
        SqlCipherCatalogue catalogue(path);
        QCOMPARE(catalogue.fetch(1).title, QStringLiteral("Target"));
        QCOMPARE(catalogue.fetch(0).title, QStringLiteral("Decoy"));
    }

    void vanishedIdentifier()
    {
        const QString path = file(QStringLiteral("vanish.cab"));
        writeGamesCatalogue(path, numberedGames(3), kKey);
        SqlCipherCatalogue catalogue(path);
        QVERIFY(runSql(path, {QStringLiteral("DELETE FROM Games WHERE GameID = 2")}));
        QCOMPARE(errorOf([&] { catalogue.fetch(1); }),
                 QStringLiteral("The game with identifier 2 is no longer in the catalogue."));
        QCOMPARE(catalogue.fetch(2).title, QStringLiteral("GAME 3"));
    }

};

QTEST_GUILESS_MAIN(CatalogueReaderTest)
#include "tst_catalogue_reader.moc"
