// The settings store on real files through a whole run of the game: what it
// finds at start, what reaches the disk in how many writes, how a failure is told.

#include "fakes.h"
#include "gallows_game.h"
#include "qt_settings_store.h"

#include <QDir>
#include <QSysInfo>
#include <QTemporaryDir>

using namespace gallows;
using namespace gallows::testing;
using Files = QMap<QString, QByteArray>; // a name ending in '/' is a folder

namespace {

// Each saveAll() replaces the file once: its keys are kept.
struct CountingStore : QtSettingsStore {
    using QtSettingsStore::QtSettingsStore;
    QStringList batches;
    bool saveAll(const QList<QPair<QString, QString>> &values, QString *error) override
    {
        QStringList keys;
        for (const auto &value : values)
            keys << value.first;
        batches << keys.join(' ');
        return QtSettingsStore::saveAll(values, error);
    }
};

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void wholeRun_data()
    {
        QTest::addColumn<Files>("files");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("atStart"); // the folder once the store is open
        QTest::addColumn<int>("won");
        QTest::addColumn<int>("failures");
        const QString conf = QStringLiteral("Tarvolin.conf");
        const QByteArray lock = "999999\ngallows\n" + QSysInfo::machineHostName().toUtf8() + "\n";
        QTest::newRow("first run") << Files{} << conf << QStringList{} << 0 << 0;
        QTest::newRow("damaged file set aside") << Files{{conf, "[Gallows]\nGamesWon=4\nGamesLo"}} << conf
                                                << QStringList{"Tarvolin.conf.damaged"} << 0 << 0;
        QTest::newRow("leftovers of a killed write")
            << Files{{conf, "[Gallows]\nPreviousRun=True\nGamesWon=4\n"}, {"Tarvolin.conf.aB3xYz", "[Gallows]\nGamesW"},
                     {"Tarvolin.conf.lock", lock}, {"Tarvolin.conf.notes", "mine"}, {"Tarvolin.conf.my-bak", "mine"}}
            << conf << QStringList{conf, "Tarvolin.conf.my-bak", "Tarvolin.conf.notes"} << 4 << 0;
        QTest::newRow("folder in place of the file") << Files{{conf + '/', {}}} << conf << QStringList{conf} << 0 << 2;
        QTest::newRow("file in place of the folder") << Files{{"config", "x"}} << "config/" + conf
                                                     << QStringList{"config"} << 0 << 2;
    }

    void wholeRun()
    {
        QFETCH(Files, files);
        QFETCH(QStringList, atStart);
        QFETCH(int, failures);
        QTemporaryDir dir;
        for (auto [name, bytes] : files.asKeyValueRange()) {
            QFile f(dir.filePath(name));
            QVERIFY(name.endsWith('/') ? QDir().mkpath(f.fileName()) : f.open(QIODevice::WriteOnly) && f.write(bytes));
        }
        const QString path = dir.filePath(fetched<QString>("name"));
        CountingStore store(path);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), atStart);
        for (const QString &name : atStart) { // what the user had is kept as it was, or set aside whole
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                QCOMPARE(f.readAll(), files.value(name, files.value(name.chopped(8))));
        }

        FakeCatalogue catalogue;
        FakeCues cues;
        FakeMessages messages;
        FakeRandom random;
        FakePictures pictures;
        FakeTicker ticker;
        GallowsGame game(Services{&catalogue, &store, &cues, &messages, &random, &pictures, &ticker});
        game.Form_Load();
        QCOMPARE(game.state().stsBar[0], QStringLiteral("Games Won: %1").arg(fetched<int>("won")));
        QCOMPARE(store.get(QStringLiteral("PreviousRun")), failures ? QString() : QStringLiteral("True"));
        game.mnuReset_Click();
        QCOMPARE(store.get(QStringLiteral("GamesWon")), failures ? QString() : QStringLiteral("0"));
        game.Form_QueryUnload();

        // The first run's defaults, the reset and the close each replace the
        // file once; each failed change but the close's is told, naming the file.
        QStringList batches = {"GamesWon GamesLost GamesGiveUp GamesTotal",
                               "GamesWon GamesLost GamesGiveUp GamesTotal Clue Sounds"};
        if (!files.value(QFileInfo(path).fileName()).contains("PreviousRun=True"))
            batches.prepend("GamesWon GamesLost GamesGiveUp GamesTotal PreviousRun Clue SaveStats Sounds");
        QCOMPARE(store.batches, batches);
        QCOMPARE(messages.shown.size(), failures);
        for (const QString &message : messages.shown)
            QVERIFY2(message.contains(path), qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
