// Starting the real game under Xvfb: the window, one copy only, a lock left
// by a killed copy, and the catalogues it refuses.

#include "harness.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTest>

using namespace gallows::e2e;

namespace {

const QStringList kGames = {QStringLiteral("Elite"), QStringLiteral("Lemmings"),
                            QStringLiteral("Jet Set Willy II: The Final Frontier")};

// The game window's client area in pixels; the menu bar comes on top.
constexpr int kClientWidth = 513;
constexpr int kClientHeight = 306;

} // namespace

class TestE2eStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void gameWindowAppears();
    void secondCopyEndsQuietly();
    void secondCopyLoadsNothing();
    void lockOfKilledCopyDoesNotBlock();
    void emptyCatalogueShowsItsMessageOnly();
    void badCatalogueStopsTheStart_data();
    void badCatalogueStopsTheStart();

private:
    // The message box that is up now, focused, dismissed with Enter.
    void dismissMessage(const QString &window);

    XServer x;
};

void TestE2eStartup::initTestCase()
{
    QString why;
    QVERIFY2(x.start(&why), qPrintable(why));
}

void TestE2eStartup::cleanupTestCase() { x.stop(); }

void TestE2eStartup::dismissMessage(const QString &window)
{
    Desktop desktop(x);
    idle(200);
    QVERIFY(desktop.focus(window));
    QVERIFY(desktop.key(QStringLiteral("Return")));
}

void TestE2eStartup::gameWindowAppears()
{
    ProgramFolder folder;
    UserFolders user;
    QString why;
    QVERIFY2(folder.populate(&why), qPrintable(why));
    QVERIFY2(folder.writeCatalogue(gamesCsv(kGames), &why), qPrintable(why));
    GameProcess game;
    QVERIFY2(game.start(folder, user, x, &why), qPrintable(why));

    Desktop desktop(x);
    const QString window = desktop.waitForWindow(kGameTitle, 15000);
    QVERIFY2(!window.isEmpty(), qPrintable(game.errorOutput()));
    const QRect frame = desktop.geometry(window);
    QCOMPARE(frame.width(), kClientWidth);
    // A menu bar on top of the client area, nothing much more.
    QVERIFY2(frame.height() > kClientHeight + 10 && frame.height() < kClientHeight + 60,
             qPrintable(QString::number(frame.height())));
    QVERIFY(game.running());
    // A first run writes its defaults straight away.
    QCOMPARE(user.settings().value(QStringLiteral("PreviousRun")), QStringLiteral("True"));
}

void TestE2eStartup::secondCopyEndsQuietly()
{
    ProgramFolder folder;
    UserFolders user;
    QString why;
    QVERIFY2(folder.populate(&why), qPrintable(why));
    QVERIFY2(folder.writeCatalogue(gamesCsv(kGames), &why), qPrintable(why));
    GameProcess first;
    QVERIFY2(first.start(folder, user, x, &why), qPrintable(why));
    Desktop desktop(x);
    const QString window = desktop.waitForWindow(kGameTitle, 15000);
    QVERIFY2(!window.isEmpty(), qPrintable(first.errorOutput()));

    const QStringList before = desktop.windows(kGameTitle, false);
    GameProcess second;
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(second.start(folder, user, x, &why), qPrintable(why));
    // While it lives, no other window of that name may show up.
    QSet<QString> seen(before.begin(), before.end());
    while (second.running() && clock.elapsed() < 5000) {
        for (const QString &id : desktop.windows(kGameTitle, false))
            seen.insert(id);
        second.waitForExit(50);
    }
    QVERIFY2(second.waitForExit(100), "the second copy is still running");
    QVERIFY(second.exitedNormally());
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(second.errorOutput().trimmed(), QString());
    QCOMPARE(seen, QSet<QString>(before.begin(), before.end()));
    QVERIFY(first.running());
    QCOMPARE(desktop.windows(kGameTitle), QStringList{window});
}

void TestE2eStartup::lockOfKilledCopyDoesNotBlock()
{
    ProgramFolder folder;
    UserFolders user;
    QString why;
    QVERIFY2(folder.populate(&why), qPrintable(why));
    QVERIFY2(folder.writeCatalogue(gamesCsv(kGames), &why), qPrintable(why));
    Desktop desktop(x);
    {
        GameProcess crashed;
        QVERIFY2(crashed.start(folder, user, x, &why), qPrintable(why));
        QVERIFY2(!desktop.waitForWindow(kGameTitle, 15000).isEmpty(), qPrintable(crashed.errorOutput()));
        crashed.killHard();
    }
    // The killed copy could not clean up after itself.
    QVERIFY(QFile::exists(user.runtimeDir() + QStringLiteral("/tarvolin-gallows.lock")));
    QTRY_VERIFY_WITH_TIMEOUT(desktop.windows(kGameTitle).isEmpty(), 5000);

    GameProcess next;
    QVERIFY2(next.start(folder, user, x, &why), qPrintable(why));
    const QString window = desktop.waitForWindow(kGameTitle, 15000);
    QVERIFY2(!window.isEmpty(), qPrintable(next.errorOutput()));
    QVERIFY(next.running());
}

void TestE2eStartup::emptyCatalogueShowsItsMessageOnly()
{
    ProgramFolder folder;
    UserFolders user;
    QString why;
    QVERIFY2(folder.populate(&why), qPrintable(why));
    QVERIFY2(folder.writeCatalogue(gamesCsv({}), &why), qPrintable(why));
    GameProcess game;
    QVERIFY2(game.start(folder, user, x, &why), qPrintable(why));

    // Watch every window of the game's name, mapped or not, from the start
    // until the message is up: the game window must never be among them.
    Desktop desktop(x);
    QSet<QString> seen;
    QString message;
    QElapsedTimer clock;
    clock.start();
    while (message.isEmpty() && game.running() && clock.elapsed() < 15000) {
        for (const QString &id : desktop.windows(kGameTitle, false))
            seen.insert(id);
        const QStringList shown = desktop.windows(kGameTitle);
        if (!shown.isEmpty())
            message = shown.first();
        else
            idle(30);
    }
    QVERIFY2(!message.isEmpty(), qPrintable(game.errorOutput()));
    idle(300);
    for (const QString &id : desktop.windows(kGameTitle, false))
        seen.insert(id);
    // Qt's unmapped 1 x 1 group leader carries the name as well; any other
    // window of that name, still there or gone again, was the game window.
    QVERIFY(seen.contains(message));
    for (const QString &id : seen) {
        if (id != message)
            QVERIFY2(desktop.geometry(id).size() == QSize(1, 1), qPrintable(id));
    }
    // A small box, nothing like the game window.
    QVERIFY(desktop.geometry(message).height() < kClientHeight);
    QVERIFY(game.running()); // waits for the player

    dismissMessage(message);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(game.waitForExit(5000), "Enter did not close the message");
    QVERIFY(game.exitedNormally());
    QCOMPARE(game.exitCode(), 0);
    QVERIFY2(game.errorOutput().contains(QStringLiteral("gallows: No games to use as words! ")),
             qPrintable(game.errorOutput()));
}

enum class Damage { Missing, Garbage, EmptyFile, WrongKey, Folder, NoReader, BrokenReader };
Q_DECLARE_METATYPE(Damage)

void TestE2eStartup::badCatalogueStopsTheStart_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("said");

    QTest::newRow("missing") << Damage::Missing << QStringLiteral("bsk.cab is missing");
    QTest::newRow("garbage") << Damage::Garbage << QStringLiteral("file is encrypted or is not a database");
    QTest::newRow("empty file") << Damage::EmptyFile << QStringLiteral("file is encrypted or is not a database");
    QTest::newRow("wrong key") << Damage::WrongKey << QStringLiteral("file is encrypted or is not a database");
    QTest::newRow("folder") << Damage::Folder << QStringLiteral("bsk.cab is not a file");
    // The part that reads the catalogue, gone or damaged in the program folder.
    QTest::newRow("reader missing") << Damage::NoReader << QStringLiteral("the catalogue reader did not load");
    QTest::newRow("reader damaged") << Damage::BrokenReader << QStringLiteral("the catalogue reader did not load");
}

void TestE2eStartup::badCatalogueStopsTheStart()
{
    QFETCH(Damage, damage);
    QFETCH(QString, said);

    ProgramFolder folder;
    UserFolders user;
    QString why;
    QVERIFY2(folder.populate(&why), qPrintable(why));
    switch (damage) {
    case Damage::Missing:
        break;
    case Damage::Garbage: {
        QByteArray bytes;
        for (int i = 0; i < 8192; ++i)
            bytes.append(char((i * 7919 + 13) % 251));
        QVERIFY2(folder.writeCatalogueBytes(bytes, &why), qPrintable(why));
        break;
    }
    case Damage::EmptyFile:
        QVERIFY2(folder.writeCatalogueBytes(QByteArray(), &why), qPrintable(why));
        break;
    case Damage::WrongKey:
        QVERIFY2(folder.writeCatalogue(gamesCsv(kGames), &why, QStringLiteral("not-the-key")), qPrintable(why));
        break;
    case Damage::Folder:
        QVERIFY(QDir().mkpath(folder.cataloguePath()));
        break;
    case Damage::NoReader:
    case Damage::BrokenReader: {
        QVERIFY2(folder.writeCatalogue(gamesCsv(kGames), &why), qPrintable(why));
        const QString reader = QDir(folder.path()).filePath(QStringLiteral("gallows-catalogue-reader.so"));
        QVERIFY(QFile::remove(reader));
        if (damage == Damage::BrokenReader) {
            QFile truncated(reader);
            QVERIFY(truncated.open(QIODevice::WriteOnly) && truncated.write("\x7f" "ELF", 4) == 4);
        }
        break;
    }
    }

    GameProcess game;
    QVERIFY2(game.start(folder, user, x, &why), qPrintable(why));
    Desktop desktop(x);
    const QString message = desktop.waitForWindow(kGameTitle, 15000);
    QVERIFY2(!message.isEmpty(), qPrintable(game.errorOutput()));
    QVERIFY(desktop.geometry(message).height() < kClientHeight);
    dismissMessage(message);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(game.waitForExit(5000), "Enter did not close the message");
    QVERIFY(game.exitedNormally());
    QCOMPARE(game.exitCode(), 1);
    const QString err = game.errorOutput();
    QVERIFY2(err.contains(QStringLiteral("gallows: ")) && err.contains(said), qPrintable(err));
    // Nothing saved: not even the first run's defaults.
    QCOMPARE(user.configEntries(), QStringList());
}

// A second copy ends before it starts opening the catalogue or connects to
// the display: the dynamic loader, asked to say what it loads, names neither
// the catalogue reader (nor SQLCipher), nor the display's plugin, nor the
// cue player.
void TestE2eStartup::secondCopyLoadsNothing()
{
    ProgramFolder folder;
    UserFolders user;
    QString why;
    QVERIFY2(folder.populate(&why), qPrintable(why));
    QVERIFY2(folder.writeCatalogue(gamesCsv(kGames), &why), qPrintable(why));
    GameProcess first;
    QVERIFY2(first.start(folder, user, x, &why), qPrintable(why));
    Desktop desktop(x);
    QVERIFY2(!desktop.waitForWindow(kGameTitle, 15000).isEmpty(), qPrintable(first.errorOutput()));

    GameProcess second;
    second.setEnvironment(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    QVERIFY2(second.start(folder, user, x, &why), qPrintable(why));
    QVERIFY2(second.waitForExit(10000), "the second copy is still running");
    QVERIFY(second.exitedNormally());
    QCOMPARE(second.exitCode(), 0);
    const QString loaded = second.errorOutput();
    QVERIFY2(loaded.contains(QStringLiteral("file=")), "the loader said nothing: LD_DEBUG had no effect");
    for (const char *part : {"gallows-catalogue-reader", "libsqlcipher", "libqxcb", "gallows-cue-player"})
        QVERIFY2(!loaded.contains(QLatin1String(part)), part);
    QVERIFY(first.running());
}

QTEST_GUILESS_MAIN(TestE2eStartup)
#include "tst_e2e_startup.moc"
