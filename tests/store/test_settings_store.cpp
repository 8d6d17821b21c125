// The settings store on real files through a whole run of the game.

#include "tests/fakes/fakes.h"
#include "game/game_rules.h"
#include "stats/qt_settings_store.h"

#include <QDir>
#include <QTemporaryDir>

using namespace gallows;
using namespace gallows::testing;
using Files = QMap<QString, QByteArray>; // a name ending in '/' is a folder

struct CountingStore : QtSettingsStore {
    using QtSettingsStore::QtSettingsStore;
    QList<qsizetype> batches; // the values in each saveAll(), which replaces the file once
    bool saveAll(const QList<QPair<QString, QString>> &values, QString *error) override
    {
        batches << values.size();
        return QtSettingsStore::saveAll(values, error);
    }
};

class TestSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void wholeRun_data()
    {
        columns<Files, QString>({"files", "name"});
        QTest::addColumn<QString>("atStart"); // the folder once the store is open
        QTest::addColumn<int>("failures");
        const QString conf = QStringLiteral("Tarvolin.conf");
        QTest::newRow("first run") << Files{} << conf << QString() << 0;
        QTest::newRow("damaged file, leftovers of a killed write")
            << Files{{conf, "[Gallows]\nGamesWon=4\nGamesLo"}, {"Tarvolin.conf.aB3xYz", "[Gallows]\nGamesW"},
                     {"Tarvolin.conf.lock", "999999\ngallows\n"}, {"Tarvolin.conf.notes", "mine"},
                     {"Tarvolin.conf.my-bak", "mine"}}
            << conf << "Tarvolin.conf.damaged Tarvolin.conf.my-bak Tarvolin.conf.notes" << 0;
        QTest::newRow("a folder for the file") << Files{{conf + '/', {}}} << conf << conf << 3;
        QTest::newRow("a file for its folder") << Files{{"dir", "x"}} << "dir/" + conf << "dir" << 3;
    }

    void wholeRun()
    {
        QFETCH(Files, files);
        QFETCH(QString, atStart);
        QFETCH(int, failures);
        QTemporaryDir dir;
        for (auto [name, bytes] : files.asKeyValueRange()) {
            QFile f(dir.filePath(name));
            QVERIFY(name.endsWith('/') ? QDir().mkpath(f.fileName()) : f.open(QIODevice::WriteOnly) && f.write(bytes));
        }
        const QString path = dir.filePath(fetched<QString>("name"));
        CountingStore store(path);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).join(' '),
                 atStart);
        for (const QString &name : atStart.split(' ', Qt::SkipEmptyParts)) { // kept as it was, or set aside whole
            QFile f(dir.filePath(name));
            QVERIFY(!f.open(QIODevice::ReadOnly) || f.readAll() == files.value(QString(name).remove(".damaged")));
        }

        FakeCatalogue catalogue;
        FakeCues cues;
        FakeMessages messages;
        FakeRandom random;
        FakePictures pictures;
        FakeTicker ticker;
        GameRules game(Services{catalogue, store, cues, messages, random, pictures, ticker});
        game.loadSettings();
        QCOMPARE(store.get(QStringLiteral("PreviousRun")), failures ? QString() : QStringLiteral("True"));
        game.resetStatistics();
        game.saveAndClose();

        // The first run's 8 defaults, the reset's 4 counters and the close's 6 values each
        // replace the file once; each failed change, the close's too, is told once, naming the file.
        QCOMPARE(store.batches, (QList<qsizetype>{8, 4, 6}));
        QCOMPARE(messages.shown.size(), failures);
        for (const QString &message : messages.shown)
            QVERIFY2(message.contains(path), qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
