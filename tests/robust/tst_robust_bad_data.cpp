// The real game under Xvfb fed bad data: a truncated catalogue, odd titles
// written straight into the database, missing pictures, and settings it
// cannot read or write. Each either stops with a message naming what is
// wrong or plays on as documented; none may end the game by a signal. The
// message spy plugin tells the test what each message box said.

#include "harness.h"
#include "robust_support.h"
#include "sql_connection.h"
#include "sqlcipher_catalogue.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

using namespace gallows::e2e;
using namespace gallows::robust;

namespace {

constexpr int kClientHeight = 306;
const QString kAlreadyGuessed = QStringLiteral("This letter has already been guessed!");

// Bytes no settings file would hold, the same every run.
QByteArray noise(int size)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char((i * 7919 + 13) % 251));
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Title of game 1 set straight in the database, past the checks of the
// catalogue tool: raw UTF-8 bytes, or NULL for a null QByteArray.
bool setTitle(const QString &catalogue, const QByteArray &title, QString *why)
{
    try {
        gallows::sql::Connection db(catalogue, gallows::sql::Connection::Mode::ReadWrite);
        db.key(QByteArray(gallows::kCatalogueKey));
        gallows::sql::Statement st = db.prepare("UPDATE Games SET Title = ? WHERE GameID = 1");
        if (title.isNull())
            st.bindNull(1);
        else
            st.bindText(1, title);
        st.step();
        st.finalize();
        // Read back byte for byte: a NUL inside must have gone in too.
        gallows::sql::Statement check = db.prepare("SELECT Title IS NULL, Title FROM Games WHERE GameID = 1");
        if (!check.step() || (check.columnInt64(0) != 0) != title.isNull()
            || (!title.isNull() && check.columnText(1) != title)) {
            *why = QStringLiteral("game 1 in %1 did not take the title").arg(catalogue);
            return false;
        }
    } catch (const gallows::sql::Error &e) {
        *why = e.message();
        return false;
    }
    return true;
}

enum class Setup { Truncated, NoFirstPicture, StoreIsFolder, ReadOnlyFirstRun, ReadOnlyEarlierRun };

} // namespace

Q_DECLARE_METATYPE(Setup)

class TestRobustBadData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void startStopsWithAMessage_data();
    void startStopsWithAMessage();
    void oddTitlesArePlayed_data();
    void oddTitlesArePlayed();
    void missingPictureLaterClosesTheGame();
    void settingsThatCannotBeSaved_data();
    void settingsThatCannotBeSaved();
    void damagedSettingsAreKeptAside_data();
    void damagedSettingsAreKeptAside();

private:
    // Starts the game (with the message spy); false after a failed check.
    bool start();
    // The game window, waited for; empty after a failed check.
    QString gameWindow();
    // Waits for message number `count` (1-based) and closes it with Enter.
    void dismissMessage(int count);
    // Ctrl+Q and a clean exit.
    void quit(const QString &window);
    // Makes the game run as `nobody` when the tests run as root, so that
    // folder permissions bite. Why that is not possible here, or empty.
    QString runUnprivileged();

    XServer x;
    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<UserFolders> user;
    std::unique_ptr<MessageLog> messages;
    std::unique_ptr<GameProcess> game;
};

void TestRobustBadData::initTestCase()
{
    QString why;
    QVERIFY2(x.start(&why), qPrintable(why));
}

void TestRobustBadData::cleanupTestCase() { x.stop(); }

void TestRobustBadData::init()
{
    folder = std::make_unique<ProgramFolder>();
    user = std::make_unique<UserFolders>();
    messages = std::make_unique<MessageLog>();
    game = std::make_unique<GameProcess>();
    QVERIFY(user->isValid());
    QVERIFY(messages->isValid());
    QString why;
    QVERIFY2(folder->populate(&why), qPrintable(why));
}

void TestRobustBadData::cleanup()
{
    game.reset(); // kills a game a failed test left running
    // A read-only config folder must be writable again to be removed.
    QFile::setPermissions(user->configHome(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    messages.reset();
    user.reset();
    folder.reset();
}

bool TestRobustBadData::start()
{
    messages->attach(*game);
    QString why;
    if (!game->start(*folder, *user, x, &why)) {
        qWarning("%s", qPrintable(why));
        return false;
    }
    return true;
}

QString TestRobustBadData::gameWindow()
{
    Desktop desktop(x);
    QString found;
    QElapsedTimer clock;
    clock.start();
    // The message boxes carry the game's title as well: the game window is
    // the one taller than its client area.
    while (found.isEmpty() && game->running() && clock.elapsed() < 15000) {
        for (const QString &id : desktop.windows(kGameTitle))
            if (desktop.geometry(id).height() > kClientHeight)
                found = id;
        if (found.isEmpty())
            idle(50);
    }
    if (found.isEmpty())
        qWarning("no game window; messages: %s; stderr: %s", qPrintable(messages->all().join(QStringLiteral(" | "))),
                 qPrintable(game->errorOutput()));
    return found;
}

void TestRobustBadData::dismissMessage(int count)
{
    QVERIFY2(messages->waitFor(count, 15000),
             qPrintable(QStringLiteral("message %1 never came; stderr: %2").arg(count).arg(game->errorOutput())));
    Desktop desktop(x);
    QString box;
    QElapsedTimer clock;
    clock.start();
    while (box.isEmpty() && clock.elapsed() < 5000) {
        for (const QString &id : desktop.windows(kGameTitle))
            if (desktop.geometry(id).height() < kClientHeight)
                box = id;
        if (box.isEmpty())
            idle(30);
    }
    QVERIFY2(!box.isEmpty(), "no message box on screen");
    idle(150);
    QVERIFY(desktop.focus(box));
    QVERIFY(desktop.key(QStringLiteral("Return")));
    QTRY_VERIFY_WITH_TIMEOUT(!desktop.windows(kGameTitle).contains(box), 5000);
}

void TestRobustBadData::quit(const QString &window)
{
    Desktop desktop(x);
    QVERIFY(desktop.focus(window));
    QVERIFY(desktop.key(QStringLiteral("ctrl+q")));
    QVERIFY2(game->waitForExit(5000), "Ctrl+Q did not end the game");
    QVERIFY2(game->exitedNormally(), qPrintable(game->errorOutput()));
    QCOMPARE(game->exitCode(), 0);
}

QString TestRobustBadData::runUnprivileged()
{
    if (::geteuid() != 0)
        return QString(); // permissions bite already
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        return QStringLiteral("running as root and util-linux's setpriv is missing: a read-only folder would not bite");
    const passwd *nobody = ::getpwnam("nobody");
    const group *nogroup = ::getgrnam("nogroup");
    if (!nobody || !nogroup)
        return QStringLiteral("running as root and there is no user nobody or group nogroup to run the game as");
    const QStringList launcher = {setpriv, QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                  QStringLiteral("--clear-groups")};
    QProcess trial;
    trial.start(launcher.first(), launcher.mid(1) << QStringLiteral("true"));
    if (!trial.waitForFinished(10000) || trial.exitStatus() != QProcess::NormalExit || trial.exitCode() != 0)
        return QStringLiteral("running as root and setpriv cannot switch to nobody here: %1")
            .arg(QString::fromLocal8Bit(trial.readAllStandardError()).trimmed());

    // nobody reads the program folder and owns the user folders.
    const auto readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    const auto enterable = readable | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    QFile::setPermissions(folder->path(), enterable);
    QDirIterator it(folder->path(), QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        QFile::setPermissions(entry.filePath(), entry.isDir() || entry.isExecutable() ? enterable : readable);
    }
    for (const QString &path : {user->configHome(), user->runtimeDir(), user->settingsFile()}) {
        if (QFileInfo::exists(path)
            && ::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nogroup->gr_gid) != 0)
            return QStringLiteral("cannot hand %1 to nobody").arg(path);
    }
    game->setLauncher(launcher);
    return QString();
}

// ---------------------------------------------------------------- start-up

void TestRobustBadData::startStopsWithAMessage_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("said"); // %1: the program folder

    QTest::newRow("catalogue cut in half")
        << Setup::Truncated << QStringLiteral("The games catalogue %1/Data/bsk.cab cannot be read: ");
    QTest::newRow("first picture missing")
        << Setup::NoFirstPicture
        << QStringLiteral("The picture %1/Data/Gallows/Graphics/0.gif is missing or cannot be read.");
}

void TestRobustBadData::startStopsWithAMessage()
{
    QFETCH(Setup, setup);
    QFETCH(QString, said);
    said = said.arg(folder->path());

    QString why;
    if (setup == Setup::Truncated) {
        // Enough games for the table to span many pages.
        QStringList titles;
        for (int i = 1; i <= 400; ++i)
            titles << QStringLiteral("Space Game Number %1").arg(i);
        QVERIFY2(folder->writeCatalogue(gamesCsv(titles), &why), qPrintable(why));
        const QByteArray whole = readAll(folder->cataloguePath());
        QVERIFY(whole.size() > 16 * 1024);
        QVERIFY2(folder->writeCatalogueBytes(whole.left(whole.size() / 2), &why), qPrintable(why));
    } else {
        QVERIFY2(folder->writeCatalogue(gamesCsv({QStringLiteral("Elite")}), &why), qPrintable(why));
        QVERIFY(QFile::remove(folder->path() + QStringLiteral("/Data/Gallows/Graphics/0.gif")));
    }

    QVERIFY(start());
    dismissMessage(1);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(game->waitForExit(5000), "Enter did not close the message");
    QVERIFY2(game->exitedNormally(), qPrintable(game->errorOutput()));
    QCOMPARE(game->exitCode(), 1);
    // The same words on standard error and in the one message box.
    const QStringList shown = messages->all();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith(said), qPrintable(shown.first()));
    QVERIFY2(game->errorOutput().contains(QStringLiteral("gallows: ") + shown.first() + QLatin1Char('\n')),
             qPrintable(game->errorOutput()));
}

// ---------------------------------------------------------------- titles

void TestRobustBadData::oddTitlesArePlayed_data()
{
    QTest::addColumn<QByteArray>("title"); // raw bytes in the database; null: NULL
    QTest::addColumn<QString>("keys");     // xdotool key names
    QTest::addColumn<QString>("guess");    // then typed as a title guess
    QTest::addColumn<QString>("expected");

    // None of these is in any of the titles below.
    const QString nineWrong = QStringLiteral("b Return d Return f Return g Return h Return j Return k Return "
                                             "o Return q Return");
    // A control character is a cell no key can fill: the game is lost.
    QTest::newRow("control characters")
        << QByteArray("EL\tI\x01TE\nII\x7f") << QStringLiteral("e Return l Return i Return t Return ") + nineWrong
        << QString() << counters(0, 1, 0, 1);
    QTest::newRow("NUL inside") << QByteArray("MAN\0IC", 6)
                                << QStringLiteral("m Return a Return n Return i Return c Return ") + nineWrong
                                << QString() << counters(0, 1, 0, 1);
    // An emoji is one cell, which the one-character letter box cannot take;
    // a title guess can.
    const QByteArray emoji("PAC \xF0\x9F\x91\xBB");
    QTest::newRow("emoji, letters") << emoji << QStringLiteral("p Return a Return c Return ") + nineWrong
                                    << QString() << counters(0, 1, 0, 1);
    QTest::newRow("emoji, title guessed") << emoji << QString() << QString::fromUtf8("pac \xF0\x9F\x91\xBB")
                                          << counters(1, 0, 0, 1);
    // Punctuation is shown from the start: any letter finds the board full.
    QTest::newRow("only punctuation") << QByteArray("?!... -- &/+") << QStringLiteral("q Return") << QString()
                                      << counters(1, 0, 0, 1);
    // A NULL reads as an empty title: an empty board, full just the same.
    QTest::newRow("NULL") << QByteArray() << QStringLiteral("q Return") << QString() << counters(1, 0, 0, 1);
    // Only what stands before the last colon is played.
    QTest::newRow("nothing before the colon")
        << QByteArray(": The Sequel") << QStringLiteral("q Return") << QString() << counters(1, 0, 0, 1);
}

void TestRobustBadData::oddTitlesArePlayed()
{
    QFETCH(QByteArray, title);
    QFETCH(QString, keys);
    QFETCH(QString, guess);
    QFETCH(QString, expected);

    QString why;
    QVERIFY2(folder->writeCatalogue(gamesCsv({QStringLiteral("Placeholder")}), &why), qPrintable(why));
    QVERIFY2(setTitle(folder->cataloguePath(), title, &why), qPrintable(why));
    QVERIFY(start());
    const QString window = gameWindow();
    QVERIFY(!window.isEmpty());
    idle(400);
    Desktop desktop(x);
    QVERIFY(desktop.focus(window));
    idle(100);
    if (!keys.isEmpty())
        QVERIFY(desktop.key(keys, 40));
    if (!guess.isEmpty()) {
        QVERIFY(desktop.key(QStringLiteral("Tab")));
        QVERIFY(desktop.type(guess, 40));
        QVERIFY(desktop.key(QStringLiteral("Return")));
    }
    idle(400);
    const QString shot = QDir(screenshotFolder())
                             .filePath(QStringLiteral("robust-title-%1.png")
                                           .arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-')));
    desktop.screenshot(shot);
    quit(window);
    QCOMPARE(messages->all(), QStringList());
    QCOMPARE(countersIn(user->settings()), expected);
}

// ---------------------------------------------------------------- pictures

void TestRobustBadData::missingPictureLaterClosesTheGame()
{
    QString why;
    QVERIFY2(folder->writeCatalogue(gamesCsv({QStringLiteral("Elite")}), &why), qPrintable(why));
    const QString picture = folder->path() + QStringLiteral("/Data/Gallows/Graphics/1.gif");
    QVERIFY(QFile::remove(picture));
    QVERIFY(start());
    const QString window = gameWindow();
    QVERIFY(!window.isEmpty());
    idle(400);
    Desktop desktop(x);
    QVERIFY(desktop.focus(window));
    // A won game, so far counted only in memory; then a wrong guess.
    QVERIFY(desktop.guessLetters(QStringLiteral("elit")));
    idle(200);
    QVERIFY(desktop.key(QStringLiteral("alt+n")));
    idle(400);
    QVERIFY(desktop.guessLetters(QStringLiteral("q")));
    dismissMessage(1);
    if (QTest::currentTestFailed())
        return;
    // The window closes the normal way, keeping the won game.
    QVERIFY2(game->waitForExit(5000), "the game went on after the message");
    QVERIFY2(game->exitedNormally(), qPrintable(game->errorOutput()));
    QCOMPARE(game->exitCode(), 0);
    QCOMPARE(messages->all(), QStringList{QStringLiteral("The picture %1 is missing or cannot be read.").arg(picture)});
    QCOMPARE(countersIn(user->settings()), counters(1, 0, 0, 1));
}

// ---------------------------------------------------------------- settings

void TestRobustBadData::settingsThatCannotBeSaved_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("said"); // at start-up; %1: the settings file; empty: nothing

    QTest::newRow("store is a folder")
        << Setup::StoreIsFolder << QStringLiteral("The settings could not be saved to %1: ");
    QTest::newRow("read-only folder, first run")
        << Setup::ReadOnlyFirstRun << QStringLiteral("The settings could not be saved to %1: it cannot be written.");
    // An earlier run's statistics still count.
    QTest::newRow("read-only folder, earlier run") << Setup::ReadOnlyEarlierRun << QString();
}

void TestRobustBadData::settingsThatCannotBeSaved()
{
    QFETCH(Setup, setup);
    QFETCH(QString, said);
    if (!said.isEmpty())
        said = said.arg(user->settingsFile());

    QString why;
    QVERIFY2(folder->writeCatalogue(gamesCsv({QStringLiteral("Elite")}), &why), qPrintable(why));
    const QMap<QString, QString> earlier = {
        {QStringLiteral("PreviousRun"), QStringLiteral("True")}, {QStringLiteral("GamesWon"), QStringLiteral("4")},
        {QStringLiteral("GamesLost"), QStringLiteral("3")},      {QStringLiteral("GamesGiveUp"), QStringLiteral("2")},
        {QStringLiteral("GamesTotal"), QStringLiteral("9")},     {QStringLiteral("Clue"), QStringLiteral("3")},
        {QStringLiteral("SaveStats"), QStringLiteral("True")},   {QStringLiteral("Sounds"), QStringLiteral("4")}};
    if (setup == Setup::StoreIsFolder) {
        QVERIFY(QDir().mkpath(user->settingsFile()));
    } else {
        if (setup == Setup::ReadOnlyEarlierRun)
            QVERIFY(user->seedSettings(earlier));
        const QString cannot = runUnprivileged();
        if (!cannot.isEmpty())
            QSKIP(qPrintable(cannot));
        QVERIFY(QFile::setPermissions(user->configHome(), QFile::ReadOwner | QFile::ExeOwner));
    }
    const QStringList before = user->configEntries();
    const QByteArray storeBefore = readAll(user->settingsFile());

    QVERIFY(start());
    int told = 0;
    if (!said.isEmpty()) {
        dismissMessage(++told);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(messages->all().constLast().startsWith(said), qPrintable(messages->all().constLast()));
    }
    const QString window = gameWindow();
    QVERIFY(!window.isEmpty());
    idle(400);
    // Said once only, and the game plays on: a letter twice is noticed.
    QCOMPARE(messages->all().size(), told);
    Desktop desktop(x);
    QVERIFY(desktop.focus(window));
    QVERIFY(desktop.guessLetters(QStringLiteral("ee")));
    dismissMessage(++told);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(messages->all().constLast(), kAlreadyGuessed);
    QVERIFY(desktop.guessLetters(QStringLiteral("lit")));
    idle(300);
    // The close says once that the session could not be saved, then ends.
    QVERIFY(desktop.focus(window));
    QVERIFY(desktop.key(QStringLiteral("ctrl+q")));
    dismissMessage(++told);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(messages->all().constLast().startsWith(
                 QStringLiteral("The settings could not be saved to %1: ").arg(user->settingsFile())),
             qPrintable(messages->all().constLast()));
    QVERIFY2(game->waitForExit(5000), "the game did not end after the message");
    QVERIFY(game->exitedNormally());
    QCOMPARE(game->exitCode(), 0);
    QCOMPARE(messages->all().size(), told);

    // Nothing written, nothing left behind.
    QCOMPARE(user->configEntries(), before);
    QCOMPARE(readAll(user->settingsFile()), storeBefore);
    if (setup == Setup::StoreIsFolder)
        QVERIFY(QFileInfo(user->settingsFile()).isDir());
}

void TestRobustBadData::damagedSettingsAreKeptAside_data()
{
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("noise") << noise(4096);
    // Values above the damage are not trusted either.
    QTest::newRow("noise after good lines") << QByteArray("[Gallows]\nPreviousRun=True\nGamesWon=7\n") + noise(512);
    QTest::newRow("noise before good lines") << noise(512) + QByteArray("\n[Gallows]\nPreviousRun=True\nGamesWon=7\n");
}

void TestRobustBadData::damagedSettingsAreKeptAside()
{
    QFETCH(QByteArray, stored);

    QString why;
    QVERIFY2(folder->writeCatalogue(gamesCsv({QStringLiteral("Elite")}), &why), qPrintable(why));
    {
        QFile file(user->settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(stored), stored.size());
    }
    QVERIFY(start());
    const QString window = gameWindow();
    QVERIFY(!window.isEmpty());
    // A first run: its defaults written to a fresh store, the old one kept.
    const QString aside = user->settingsFile() + QStringLiteral(".damaged");
    QCOMPARE(readAll(aside), stored);
    QCOMPARE(storeProblem(user->settingsFile()), QString());
    QCOMPARE(countersIn(user->settings()), counters(0, 0, 0, 0));
    QCOMPARE(user->settings().value(QStringLiteral("PreviousRun")), QStringLiteral("True"));
    idle(400);
    Desktop desktop(x);
    QVERIFY(desktop.focus(window));
    QVERIFY(desktop.guessLetters(QStringLiteral("elit")));
    idle(300);
    quit(window);
    QCOMPARE(messages->all(), QStringList());
    QCOMPARE(countersIn(user->settings()), counters(1, 0, 0, 1));
    QCOMPARE(user->configEntries(),
             (QStringList{QStringLiteral("Tarvolin.conf"), QStringLiteral("Tarvolin.conf.damaged")}));
}

QTEST_GUILESS_MAIN(TestRobustBadData)
#include "tst_robust_bad_data.moc"
