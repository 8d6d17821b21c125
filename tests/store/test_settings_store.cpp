// The settings store against real files: what lands on disk, damaged and
// unwritable stores, and the leftovers of a run killed while writing.

#include "fakes.h"
#include "gallows_game.h"
#include "qt_settings_store.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>


using namespace gallows;
using namespace gallows::testing;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A game over a real store, with everything else faked.
struct Rig {
    explicit Rig(SettingsStore &store)
    {
        catalogue.add(QStringLiteral("Elite"));
        game = std::make_unique<GallowsGame>(
            Services{&catalogue, &store, &cues, &messages, &random, &pictures, &ticker});
    }
    FakeCatalogue catalogue;
    FakeCues cues;
    FakeMessages messages;
    FakeRandom random;
    FakePictures pictures;
    FakeTicker ticker;
    std::unique_ptr<GallowsGame> game;
};

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void unwritableStoreSaysSoAndPlaysOn_data();
    void unwritableStoreSaysSoAndPlaysOn();
    void garbageFileIsKeptAsideAndReplaced();
    void leftoversOfAKilledWriteAreTidied();
    void firstRunAndCloseAreSingleWrites();
};

void TestSettingsStore::unwritableStoreSaysSoAndPlaysOn_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder in place of the file") << "folder";
    QTest::newRow("file in place of the folder") << "notdir";
}

void TestSettingsStore::unwritableStoreSaysSoAndPlaysOn()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Tarvolin.conf"));
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Tarvolin.conf")));
    } else if (kind == QLatin1String("notdir")) {
        writeFile(dir.filePath(QStringLiteral("config")), "not a folder");
        path = dir.filePath(QStringLiteral("config/Tarvolin.conf"));
    }
    QtSettingsStore store(path);
    Rig rig(store);
    rig.game->Form_Load();
    rig.game->new_game();
    // One message for the whole first-run write, naming the file.
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY2(rig.messages.shown[0].contains(path), qPrintable(rig.messages.shown[0]));
    // The run goes on with the first-run values.
    QCOMPARE(rig.game->state().stsBar[3], QStringLiteral("Games Played: 0"));
    rig.game->mnuReset_Click();
    QCOMPARE(rig.messages.shown.size(), 2);
    // The close tries every write, then says once that they failed.
    rig.game->Form_QueryUnload();
    QCOMPARE(rig.messages.shown.size(), 3);
    QVERIFY2(rig.messages.shown[2].contains(path), qPrintable(rig.messages.shown[2]));
}

void TestSettingsStore::garbageFileIsKeptAsideAndReplaced()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tarvolin.conf"));
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 7919 + 13) % 256));
    writeFile(path, garbage);
    QtSettingsStore store(path);
    Rig rig(store);
    rig.game->Form_Load();
    QCOMPARE(rig.game->state().stsBar[0], QStringLiteral("Games Won: 0"));
    QCOMPARE(QtSettingsStore(path).get(QStringLiteral("PreviousRun")), QStringLiteral("True"));
    QCOMPARE(QtSettingsStore(path).get(QStringLiteral("Sounds")), QStringLiteral("1"));
    QFile aside(path + QStringLiteral(".damaged"));
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), garbage);
}

void TestSettingsStore::leftoversOfAKilledWriteAreTidied()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tarvolin.conf"));
    writeFile(path, "[Gallows]\nPreviousRun=True\nGamesWon=4\n");
    writeFile(path + QStringLiteral(".aB3xYz"), "[Gallows]\nGamesW");
    // A lock whose owner no longer exists.
    writeFile(path + QStringLiteral(".lock"),
              "999999\ngallows\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    writeFile(dir.filePath(QStringLiteral("Tarvolin.conf.notes.txt")), "mine");
    writeFile(dir.filePath(QStringLiteral("Tarvolin.conf.my-bak")), "mine too");
    QtSettingsStore store(path);
    QCOMPARE(store.get(QStringLiteral("GamesWon")), QStringLiteral("4"));
    QVERIFY(!QFile::exists(path + QStringLiteral(".aB3xYz")));
    QVERIFY(!QFile::exists(path + QStringLiteral(".lock")));
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("Tarvolin.conf.notes.txt"))));
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("Tarvolin.conf.my-bak"))));
}

// A kill half-way through the first run must not leave PreviousRun=True with
// the other defaults missing: the eight defaults go to disk as one file
// replacement, and so do the six values saved at the close.
void TestSettingsStore::firstRunAndCloseAreSingleWrites()
{
    struct CountingStore : QtSettingsStore {
        using QtSettingsStore::QtSettingsStore;
        QList<QStringList> batches;
        bool saveAll(const QList<QPair<QString, QString>> &values, QString *error) override
        {
            QStringList keys;
            for (const auto &[key, value] : values)
                keys << key;
            batches << keys;
            return QtSettingsStore::saveAll(values, error);
        }
    };
    QTemporaryDir dir;
    CountingStore store(dir.filePath(QStringLiteral("Tarvolin.conf")));
    Rig rig(store);
    rig.game->Form_Load();
    QCOMPARE(store.batches.size(), 1);
    QCOMPARE(store.batches[0], QStringList({"GamesWon", "GamesLost", "GamesGiveUp", "GamesTotal",
                                            "PreviousRun", "Clue", "SaveStats", "Sounds"}));
    rig.game->Form_QueryUnload();
    QCOMPARE(store.batches.size(), 2);
    QCOMPARE(store.batches[1], QStringList({"GamesWon", "GamesLost", "GamesGiveUp", "GamesTotal",
                                            "Clue", "Sounds"}));
    QCOMPARE(QtSettingsStore(store.filePath()).get(QStringLiteral("SaveStats")), QStringLiteral("True"));
}

QTEST_GUILESS_MAIN(TestSettingsStore)

#include "test_settings_store.moc"
