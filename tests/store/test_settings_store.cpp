// The settings store against real files: what lands on disk, damaged and
// unwritable stores, and a process killed right after a write.

#include "fakes.h"
#include "gallows_game.h"
#include "qt_settings_store.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace gallows;
using namespace gallows::testing;

namespace {

QString readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

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
        Services s;
        s.catalogue = &catalogue;
        s.settings = &store;
        s.cues = &cues;
        s.messages = &messages;
        s.random = &random;
        s.pictures = &pictures;
        s.ticker = &ticker;
        game = std::make_unique<GallowsGame>(s);
    }
    FakeCatalogue catalogue;
    FakeCues cues;
    FakeMessages messages;
    FakeRandom random;
    FakePictures pictures;
    FakeTicker ticker;
    std::unique_ptr<GallowsGame> game;
};

// Child mode: load, reset the counters, say so, then wait to be killed.
int childReset(const QString &path)
{
    QtSettingsStore store(path);
    Rig rig(store);
    rig.game->Form_Load();
    rig.game->mnuReset_Click();
    fputs("reset\n", stdout);
    fflush(stdout);
    pause();
    return 0;
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void missingKeyReadsEmpty();
    void firstRunWritesTheEightDefaults();
    void badStoredValuesFallBack_data();
    void badStoredValuesFallBack();
    void unwritableStoreSaysSoAndPlaysOn_data();
    void unwritableStoreSaysSoAndPlaysOn();
    void garbageFileIsKeptAsideAndReplaced();
    void leftoversOfAKilledWriteAreTidied();
    void resetSurvivesKill9();
    void firstRunAndCloseAreSingleWrites();
};

void TestSettingsStore::missingKeyReadsEmpty()
{
    QTemporaryDir dir;
    QtSettingsStore store(dir.filePath(QStringLiteral("Tarvolin.conf")));
    QCOMPARE(store.get(QStringLiteral("GamesWon")), QString());
    QVERIFY(store.save(QStringLiteral("GamesWon"), QStringLiteral("12")));
    QCOMPARE(store.get(QStringLiteral("GamesWon")), QStringLiteral("12"));
    QCOMPARE(store.get(QStringLiteral("GamesLost")), QString());
}

void TestSettingsStore::firstRunWritesTheEightDefaults()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tarvolin.conf"));
    QtSettingsStore store(path);
    Rig rig(store);
    rig.game->Form_Load();
    rig.game->new_game();
    const QString text = readFile(path);
    QVERIFY2(text.contains(QLatin1String("[Gallows]")), qPrintable(text));
    for (const char *line : {"PreviousRun=True", "GamesWon=0", "GamesLost=0", "GamesGiveUp=0",
                             "GamesTotal=0", "Clue=5", "SaveStats=True", "Sounds=1"})
        QVERIFY2(text.contains(QLatin1String(line)), line);
    QVERIFY(rig.game->state().mnuStats);
    QVERIFY(rig.game->state().mnuClue[4]);
    QVERIFY(rig.game->state().mnuSounds[0]);
    QVERIFY(rig.messages.shown.isEmpty());

    // A second run reads what the first one saved at its close.
    rig.game->mnuClue_Click(2);
    rig.game->mnuSounds_Click(3);
    rig.game->Form_QueryUnload();
    QtSettingsStore again(path);
    QCOMPARE(again.get(QStringLiteral("Clue")), QStringLiteral("2"));
    QCOMPARE(again.get(QStringLiteral("Sounds")), QStringLiteral("3"));
}

void TestSettingsStore::badStoredValuesFallBack_data()
{
    QTest::addColumn<QString>("won");
    QTest::addColumn<QString>("sounds");
    QTest::addColumn<QString>("wonPanel");
    QTest::addColumn<int>("soundLevel");
    QTest::newRow("good") << "7" << "3" << "Games Won: 7" << 3;
    QTest::newRow("letters") << "seven" << "loud" << "Games Won: 0" << 1;
    QTest::newRow("too big") << "32768" << "99999" << "Games Won: 0" << 1;
    QTest::newRow("too small") << "-32769" << "-40000" << "Games Won: 0" << 1;
    QTest::newRow("fraction") << "1.5" << "2.0" << "Games Won: 0" << 1;
    QTest::newRow("negative kept") << "-3" << "-1" << "Games Won: -3" << -1;
}

void TestSettingsStore::badStoredValuesFallBack()
{
    QFETCH(QString, won);
    QFETCH(QString, sounds);
    QFETCH(QString, wonPanel);
    QFETCH(int, soundLevel);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tarvolin.conf"));
    writeFile(path, QStringLiteral("[Gallows]\nPreviousRun=True\nGamesWon=%1\nSounds=%2\nClue=5\n"
                                   "SaveStats=True\n")
                        .arg(won, sounds)
                        .toUtf8());
    QtSettingsStore store(path);
    Rig rig(store);
    rig.game->Form_Load();
    QCOMPARE(rig.game->state().stsBar[0], wonPanel);
    QCOMPARE(int(rig.game->SoundLevel), soundLevel);
    // A missing counter key next to a valid PreviousRun reads as 0, too.
    QCOMPARE(rig.game->state().stsBar[1], QStringLiteral("Games Lost: 0"));
}

void TestSettingsStore::unwritableStoreSaysSoAndPlaysOn_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder in place of the file") << "folder";
    QTest::newRow("file in place of the folder") << "notdir";
    QTest::newRow("read-only folder") << "readonly";
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
    } else {
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
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
    // The close says so once more, naming the file.
    rig.game->Form_QueryUnload();
    QCOMPARE(rig.messages.shown.size(), 3);
    QVERIFY2(rig.messages.shown[2].contains(path), qPrintable(rig.messages.shown[2]));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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

void TestSettingsStore::resetSurvivesKill9()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tarvolin.conf"));
    writeFile(path, "[Gallows]\nPreviousRun=True\nGamesWon=3\nGamesLost=2\nGamesGiveUp=1\n"
                    "GamesTotal=6\nClue=5\nSaveStats=True\nSounds=1\n");
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child-reset"), path});
    QVERIFY(child.waitForStarted());
    QVERIFY(child.waitForReadyRead(10000));
    QCOMPARE(child.readLine().trimmed(), QByteArray("reset"));
    ::kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(5000));
    QtSettingsStore store(path);
    for (const char *key : {"GamesWon", "GamesLost", "GamesGiveUp", "GamesTotal"})
        QCOMPARE(store.get(QLatin1String(key)), QStringLiteral("0"));
    QCOMPARE(store.get(QStringLiteral("Clue")), QStringLiteral("5"));
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

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--child-reset") == 0) {
        QCoreApplication app(argc, argv);
        return childReset(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestSettingsStore tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "test_settings_store.moc"
