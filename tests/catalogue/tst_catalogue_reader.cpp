// The catalogue as the game reads it: opening, the identifier list, fetching
// rows by bound identifier, and every way a catalogue file can be bad.

#include "raw_catalogue.h"
#include "sqlcipher_catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using gallows::GameError;
using gallows::SqlCipherCatalogue;
using namespace testing;

namespace {

const QString kSchema = QStringLiteral(
    "CREATE TABLE Games(GameID INTEGER PRIMARY KEY, Title TEXT, Year TEXT, Genre TEXT,"
    " Publisher TEXT, Developer TEXT)");

// The message GameError carries when opening `path` fails, or "" when it opens.
QString openError(const QString &path, const QString &key = kKey,
                  const gallows::CatalogueKeyCache *cache = nullptr)
{
    try {
        SqlCipherCatalogue catalogue(path, key, cache);
        return QString();
    } catch (const GameError &e) {
        return e.message();
    }
}

QString fetchError(SqlCipherCatalogue &catalogue, int row)
{
    try {
        catalogue.fetch(row);
        return QString();
    } catch (const GameError &e) {
        return e.message();
    }
}

} // namespace

class CatalogueReaderTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString file(const QString &name) const { return dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void everyRowFetchable_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("empty") << 0;
        QTest::newRow("one") << 1;
        // Far past what a 16-bit row counter could hold.
        QTest::newRow("40000") << 40000;
    }
    void everyRowFetchable()
    {
        QFETCH(int, rows);
        const QString path = file(QStringLiteral("rows%1.cab").arg(rows));
        gallows::catalogue::writeGamesCatalogue(path, numberedGames(rows), kKey);

        SqlCipherCatalogue catalogue(path);
        QCOMPARE(catalogue.count(), rows);
        QSet<QString> seen;
        for (int row = 0; row < rows; ++row) {
            const gallows::GameRecord r = catalogue.fetch(row);
            QCOMPARE(r.title, QStringLiteral("GAME ") + r.gameId);
            QCOMPARE(r.genre, QStringLiteral("puzzle"));
            seen.insert(r.gameId);
        }
        QCOMPARE(seen.size(), rows);
    }

    void identifiersAsStored_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QStringList>("inserts");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("sparse integers")
            << kSchema
            << QStringList{QStringLiteral("INSERT INTO Games(GameID, Title) VALUES (7, 'A')"),
                           QStringLiteral("INSERT INTO Games(GameID, Title) VALUES (9000000000, 'B')"),
                           QStringLiteral("INSERT INTO Games(GameID, Title) VALUES (-3, 'C')")}
            << QStringList{QStringLiteral("-3"), QStringLiteral("7"), QStringLiteral("9000000000")};
        // A hand-made table whose identifiers are text: the reader falls
        // back from integers once it meets the first one.
        QTest::newRow("text after integers")
            << QStringLiteral("CREATE TABLE Games(GameID, Title, Year, Genre, Publisher, Developer)")
            << QStringList{QStringLiteral("INSERT INTO Games VALUES (1, 'A', '', '', '', '')"),
                           QStringLiteral("INSERT INTO Games VALUES ('B-2', 'B', '', '', '', '')"),
                           QStringLiteral("INSERT INTO Games VALUES (2.5, 'C', '', '', '', '')")}
            << QStringList{QStringLiteral("1"), QStringLiteral("B-2"), QStringLiteral("2.5")};
    }
    void identifiersAsStored()
    {
        QFETCH(QString, schema);
        QFETCH(QStringList, inserts);
        QFETCH(QStringList, ids);
        const QString path = file(QStringLiteral("ids-%1.cab").arg(QTest::currentDataTag()));
        QVERIFY(runSql(path, QStringList{schema} + inserts));

        SqlCipherCatalogue catalogue(path);
        QCOMPARE(catalogue.count(), ids.size());
        QStringList fetched;
        for (int row = 0; row < catalogue.count(); ++row)
            fetched << catalogue.fetch(row).gameId;
        QCOMPARE(fetched, ids);
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
        QTest::newRow("plain sqlite") << "plain.cab" << unreadable;
        QTest::newRow("truncated header") << "short.cab" << unreadable;
        QTest::newRow("truncated body") << "halved.cab" << "cannot be read: ";
        QTest::newRow("no Games table") << "notable.cab" << "has no Games table.";
        QTest::newRow("no Developer column") << "nodev.cab" << "has no Developer column.";
        QTest::newRow("two columns missing") << "nocols.cab" << "has no Year, Genre columns.";
    }
    void badFiles()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        const QString path = file(name);
        const QString good = file(QStringLiteral("good-%1.cab").arg(name));
        if (name == QLatin1String("folder.cab")) {
            QVERIFY(QDir().mkpath(path));
        } else if (name == QLatin1String("wrongkey.cab")) {
            gallows::catalogue::writeGamesCatalogue(path, numberedGames(3), QStringLiteral("not the key"));
        } else if (name == QLatin1String("garbage.cab")) {
            QByteArray bytes;
            for (int i = 0; i < 8192; ++i)
                bytes.append(char((i * 7919) % 251));
            writeAll(path, bytes);
        } else if (name == QLatin1String("empty.cab")) {
            writeAll(path, QByteArray());
        } else if (name == QLatin1String("plain.cab")) {
            QVERIFY(runSql(path, {kSchema}, QString()));
        } else if (name == QLatin1String("short.cab") || name == QLatin1String("halved.cab")) {
            gallows::catalogue::writeGamesCatalogue(good, numberedGames(5000), kKey);
            const QByteArray whole = readAll(good);
            writeAll(path, name == QLatin1String("short.cab") ? whole.left(500) : whole.left(whole.size() / 2));
        } else if (name == QLatin1String("notable.cab")) {
            QVERIFY(runSql(path, {QStringLiteral("CREATE TABLE Other(x)")}));
        } else if (name == QLatin1String("nodev.cab")) {
            QVERIFY(runSql(path, {QStringLiteral("CREATE TABLE Games(GameID, Title, Year, Genre, Publisher)")}));
        } else if (name == QLatin1String("nocols.cab")) {
            QVERIFY(runSql(path, {QStringLiteral("CREATE TABLE Games(GameID, Title, Publisher, Developer)")}));
        }
        const QByteArray before = QFileInfo(path).isFile() ? readAll(path) : QByteArray();

        const QString message = openError(path);
        // Through the key cache the same file fails the same way.
        const gallows::CatalogueKeyCache cache(file(QStringLiteral("keys-%1").arg(name)));
        QCOMPARE(openError(path, kKey, &cache), message);
        QVERIFY2(message.startsWith(QStringLiteral("The ")), qPrintable(message));
        QVERIFY2(message.contains(path), qPrintable(message));
        QVERIFY2(message.contains(expected), qPrintable(message));
        // Opening is read-only: nothing is created or changed.
        QCOMPARE(QFileInfo::exists(path), name != QLatin1String("missing.cab"));
        if (QFileInfo(path).isFile())
            QCOMPARE(readAll(path), before);
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-journal")));
    }

    // The derived key is remembered, and whatever the cache holds, the
    // catalogue opens as it would without it.
    void keyCache_data()
    {
        QTest::addColumn<QByteArray>("cached"); // the cache file before the open
        QTest::addColumn<bool>("writable");
        QTest::newRow("no cache yet") << QByteArray() << true;
        QTest::newRow("stale key") << QByteArray("stale") << true;
        QTest::newRow("garbage") << QByteArray("\x01\xff\n\n zz 00\n", 9) << true;
        QTest::newRow("cannot be written") << QByteArray() << false;
    }
    void keyCache()
    {
        QFETCH(QByteArray, cached);
        QFETCH(bool, writable);
        const QString path = file(QStringLiteral("cached.cab"));
        if (!QFileInfo::exists(path))
            gallows::catalogue::writeGamesCatalogue(path, numberedGames(7), kKey);
        const QByteArray salt = readAll(path).left(gallows::kCatalogueSaltBytes);
        const QByteArray key = gallows::deriveCatalogueKey(kKey.toUtf8(), salt);
        QCOMPARE(key.size(), 32);

        QTemporaryDir cacheDir;
        // A cache path below a plain file can never be created.
        const QString blocker = cacheDir.filePath(QStringLiteral("blocker"));
        writeAll(blocker, "file");
        const gallows::CatalogueKeyCache cache(writable ? cacheDir.filePath(QStringLiteral("sub/keys"))
                                                        : blocker + QStringLiteral("/keys"));
        if (cached == "stale") {
            cache.remember(kKey.toUtf8(), salt, QByteArray(32, 'x'));
        } else if (!cached.isEmpty()) {
            QVERIFY(QDir().mkpath(QFileInfo(cache.filePath()).path()));
            writeAll(cache.filePath(), cached);
        }

        SqlCipherCatalogue catalogue(path, kKey, &cache);
        QCOMPARE(catalogue.count(), 7);
        QCOMPARE(catalogue.fetch(0).title, QStringLiteral("GAME 1"));
        QCOMPARE(cache.find(kKey.toUtf8(), salt), writable ? key : QByteArray());
        if (writable) {
            const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther
                | QFileDevice::WriteOther;
            QCOMPARE(QFile::permissions(cache.filePath()) & others, QFileDevice::Permissions());
        }
    }
    // The remembered key is what opens the file: under a passphrase that
    // would not open it, a cache entry with the right key does.
    void keyCacheIsUsed()
    {
        const QString path = file(QStringLiteral("used.cab"));
        gallows::catalogue::writeGamesCatalogue(path, numberedGames(3), kKey);
        const QByteArray salt = readAll(path).left(gallows::kCatalogueSaltBytes);
        const gallows::CatalogueKeyCache cache(file(QStringLiteral("used-keys")));
        QVERIFY(!openError(path, QStringLiteral("other"), &cache).isEmpty());
        cache.remember("other", salt, gallows::deriveCatalogueKey(kKey.toUtf8(), salt));
        QCOMPARE(openError(path, QStringLiteral("other"), &cache), QString());
        QVERIFY(!openError(path, QStringLiteral("other")).isEmpty());
    }

    void nullColumnsReadAsEmpty()
    {
        const QString path = file(QStringLiteral("nulls.cab"));
        QVERIFY(runSql(path, {kSchema, QStringLiteral("INSERT INTO Games(GameID) VALUES (5)")}));
        SqlCipherCatalogue catalogue(path);
        const gallows::GameRecord r = catalogue.fetch(0);
        QCOMPARE(r.gameId, QStringLiteral("5"));
        for (const QString &value : {r.title, r.year, r.genre, r.publisher, r.developer}) {
            QVERIFY(value.isEmpty());
        }
    }

    void columnsFoundByName()
    {
        // Extra columns, in an order of their own, with mixed-case names.
        const QString path = file(QStringLiteral("extra.cab"));
        QVERIFY(runSql(path, {QStringLiteral("CREATE TABLE Games(Notes TEXT, developer TEXT, Rating INTEGER,"
                                             " TITLE TEXT, Year INTEGER, Genre TEXT, Publisher TEXT,"
                                             " GameID INTEGER PRIMARY KEY)"),
                              QStringLiteral("INSERT INTO Games VALUES ('n', 'Dev', 5, 'Elite', 1984,"
                                             " 'simulation', 'Acornsoft', 12)")}));
        SqlCipherCatalogue catalogue(path);
        const gallows::GameRecord r = catalogue.fetch(0);
        QCOMPARE(r.gameId, QStringLiteral("12"));
        QCOMPARE(r.title, QStringLiteral("Elite"));
        QCOMPARE(r.year, QStringLiteral("1984")); // an integer column, read as text
        QCOMPARE(r.genre, QStringLiteral("simulation"));
        QCOMPARE(r.publisher, QStringLiteral("Acornsoft"));
        QCOMPARE(r.developer, QStringLiteral("Dev"));
    }

    void identifierIsBound_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("or clause") << "1 OR 1=1";
        QTest::newRow("quote") << "it's";
        QTest::newRow("statement") << "x'; DROP TABLE Games; --";
    }
    void identifierIsBound()
    {
        QFETCH(QString, id);
        // The decoy comes first, so an identifier pasted into the SQL would
        // match it (or break the statement) instead of the intended row.
        const QString path = file(QStringLiteral("bound-%1.cab").arg(QTest::currentDataTag()));
        QString quoted = id;
        quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
        QVERIFY(runSql(path, {QStringLiteral("CREATE TABLE Games(GameID TEXT, Title, Year, Genre, Publisher, Developer)"),
                              QStringLiteral("INSERT INTO Games VALUES ('1', 'Decoy', '', '', '', '')"),
                              QStringLiteral("INSERT INTO Games VALUES ('%1', 'Target', '', '', '', '')").arg(quoted)}));
        SqlCipherCatalogue catalogue(path);
        QCOMPARE(catalogue.count(), 2);
        const gallows::GameRecord r = catalogue.fetch(1);
        QCOMPARE(r.gameId, id);
        QCOMPARE(r.title, QStringLiteral("Target"));
        QCOMPARE(catalogue.fetch(0).title, QStringLiteral("Decoy"));
    }

    void vanishedIdentifier()
    {
        const QString path = file(QStringLiteral("vanish.cab"));
        gallows::catalogue::writeGamesCatalogue(path, numberedGames(3), kKey);
        SqlCipherCatalogue catalogue(path);
        QVERIFY(runSql(path, {QStringLiteral("DELETE FROM Games WHERE GameID = 2")}));
        QCOMPARE(catalogue.count(), 3);
        QCOMPARE(fetchError(catalogue, 1), QStringLiteral("The game with identifier 2 is no longer in the catalogue."));
        QCOMPARE(catalogue.fetch(2).title, QStringLiteral("GAME 3"));
    }

    void rowOutOfRangeAndClosed()
    {
        const QString path = file(QStringLiteral("range.cab"));
        gallows::catalogue::writeGamesCatalogue(path, numberedGames(2), kKey);
        SqlCipherCatalogue catalogue(path);
        QVERIFY(!fetchError(catalogue, -1).isEmpty());
        QVERIFY(!fetchError(catalogue, 2).isEmpty());
        QVERIFY(fetchError(catalogue, 1).isEmpty());
        catalogue.close();
        QVERIFY(fetchError(catalogue, 1).contains(QStringLiteral("closed")));
        catalogue.close(); // twice is harmless
    }
};

QTEST_GUILESS_MAIN(CatalogueReaderTest)
#include "tst_catalogue_reader.moc"
