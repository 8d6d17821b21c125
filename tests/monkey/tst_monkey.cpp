// The monkey: thousands of random events against the real game window on the
// offscreen platform - keys into whatever has the focus, clicks on visible
// controls, menu choices, New Game and Give Up, the About window, reveal ticks
// - with the things a player must always be able to rely on checked after
// every one of them.
//
// The seed is printed; GALLOWS_MONKEY_SEED replays a run and
// GALLOWS_MONKEY_EVENTS changes its length.

#include "board_layout.h"
#include "fakes.h"
#include "game_window.h"
#include "qt_services.h"
#include "std_random.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <deque>
#include <limits>
#include <memory>
#include <random>

using namespace gallows;
using namespace gallows::testing;

namespace {

// Titles that fit the board, with the characters that tend to break things:
// an ampersand (an access key in a button caption), punctuation shown from the
// start, letters outside ASCII, an emoji, and three full rows.
const QStringList kTitles = {
    QStringLiteral("Half-Life 2: Episode One"),
    QStringLiteral("Lemmings"),
    QStringLiteral("Tom & Jerry's Chase, Part 2!"),
    QStringLiteral("Déjà Vu: A Nightmare"),
    QStringLiteral("Ōkami"),
    QStringLiteral("Bomb \U0001F4A3 Jack"),
    QStringLiteral("A Very Long Title That Needs Every One Of The Three Rows On The Board"),
    QStringLiteral("Q*bert"),
    QStringLiteral("Straße/Road; $5 + £3?"),
};

const char *const kCommandNames[] = {"cmdNew", "cmdGiveUp", "cmdGuessLetter", "cmdGuessWord",
                                     "txtGuessLetter", "txtGuessWord", "lstIncorrect",
                                     "imgGallows", "lblClue", "lblCurrentTitle", "stsBar"};
const char *const kMenuNames[] = {"mnuClue1", "mnuClue2", "mnuClue3", "mnuClue4", "mnuClue5",
                                  "mnuSounds1", "mnuSounds2", "mnuSounds3", "mnuSounds4",
                                  "mnuStats", "mnuReset"};
const QString kPunctuation = QStringLiteral(" '?!.,/\\&-:;$+*()\"#@%=_[]{}<>|~`^");

// Small stand-in pictures are enough: the window only shows them.
void writePictures(const QString &root)
{
    const QString folder = root + QStringLiteral("/Data/Gallows/Graphics");
    QDir().mkpath(folder);
    for (int n = 0; n <= 10; ++n) {
        QImage image(16, 12, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(n * 30, 80, 220));
        image.save(QStringLiteral("%1/%2.gif").arg(folder).arg(n), "PNG");
    }
}

// Types `text` one character at a time. QTest only knows ASCII keys; any
// other character arrives as a key with that text, as an input method sends it.
void typeText(QWidget *target, const QString &text)
{
    for (const QString &c : splitCharacters(text)) {
        if (c.size() == 1 && c[0].unicode() >= 0x20 && c[0].unicode() < 0x7f)
            QTest::keyClicks(target, c);
        else
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, c, Qt::NoModifier);
    }
}

qint16 clampedSum(qint16 a, qint16 b, qint16 c)
{
    return qint16(std::clamp<long>(long(a) + b + c, std::numeric_limits<qint16>::min(),
                                   std::numeric_limits<qint16>::max()));
}

int panelNumber(const QLabel *panel)
{
    const QString text = panel->text();
    return text.mid(text.lastIndexOf(QLatin1Char(' ')) + 1).toInt();
}

class Monkey {
public:
    Monkey(const QString &pictureRoot, quint64 seed)
        : pictures(pictureRoot), random(seed), dice(seed)
    {
        for (const QString &title : kTitles)
            catalogue.add(title);
        game = std::make_unique<GallowsGame>(
            Services{&catalogue, &settings, &cues, &messages, &random, &pictures, &ticker});
        window = std::make_unique<frmGallows>(*game, pictures);
        game->Form_Load();
        window->show();
        window->activateWindow();
        game->new_game();
    }

    // Plays `count` events; returns an empty string, or what went wrong.
    QString play(int count)
    {
        if (!QTest::qWaitForWindowActive(window.get()))
            return QStringLiteral("the window never became active");
        seenWon = game->GamesWon;
        seenLost = game->GamesLost;
        seenGivenUp = game->GamesGiveUp;
        QString problem = check();
        for (int i = 0; i < count && problem.isEmpty(); ++i) {
            step();
            QCoreApplication::processEvents();
            problem = check();
            if (!problem.isEmpty())
                problem = QStringLiteral("after event %1 (%2): %3\nlast events:\n  %4")
                              .arg(i + 1)
                              .arg(recent.back(), problem, QStringList(recent.begin(), recent.end()).join(QStringLiteral("\n  ")));
        }
        return problem;
    }

    // Closes the window through the Game menu, as a player would.
    QString close()
    {
        window->menuItem(QStringLiteral("mnuExit"))->trigger();
        QCoreApplication::processEvents();
        if (window->isVisible())
            return QStringLiteral("Exit left the window open");
        if (!catalogue.closed)
            return QStringLiteral("the catalogue was not closed");
        const bool keep = game->SaveStats == QLatin1String("True");
        const QString won = keep ? QString::number(game->GamesWon) : QStringLiteral("0");
        const QString total = keep ? QString::number(game->GamesTotal) : QStringLiteral("0");
        if (settings.values.value(QStringLiteral("GamesWon")) != won
            || settings.values.value(QStringLiteral("GamesTotal")) != total)
            return QStringLiteral("the counters saved on exit differ from the ones shown");
        return QString();
    }

    int wins = 0;
    int losses = 0;

private:
    int roll(int below) { return std::uniform_int_distribution<int>(0, below - 1)(dice); }

    template <class T = QWidget> T *get(const char *name) const
    {
        return qobject_cast<T *>(window->control(QLatin1String(name)));
    }

    void note(const QString &what)
    {
        recent.push_back(what);
        if (recent.size() > 15)
            recent.pop_front();
    }

    QWidget *keyTarget() const
    {
        QWidget *focus = QApplication::focusWidget();
        return focus ? focus : window.get();
    }

    void step()
    {
        const int kind = roll(100);
        if (kind < 34)
            pressKey();
        else if (kind < 44)
            typeTitle();
        else if (kind < 60)
            clickControl();
        else if (kind < 70)
            chooseMenu();
        else if (kind < 76)
            newGameOrGiveUp();
        else if (kind < 77)
            openAndCloseAbout();
        else
            tick();
    }

    void pressKey()
    {
        static const Qt::Key altKeys[] = {Qt::Key_U, Qt::Key_N, Qt::Key_L, Qt::Key_T};
        QWidget *target = keyTarget();
        const QString where = target->objectName();
        switch (roll(8)) {
        case 0:
        case 1:
        case 2: {
            // Letters, the title's own most of the time so that games get won.
            QString c;
            if (roll(3) > 0 && game->TitleLength > 0)
                c = game->TitleLetters[1 + roll(game->TitleLength)];
            else
                c = QChar(u'A' + roll(26));
            if (roll(2))
                c = c.toLower();
            note(QStringLiteral("key %1 into %2").arg(c, where));
            typeText(target, c);
            break;
        }
        case 3: {
            const QString c = roll(2) ? QString(QChar(u'0' + roll(10)))
                                      : QString(kPunctuation[roll(int(kPunctuation.size()))]);
            note(QStringLiteral("key %1 into %2").arg(c, where));
            QTest::keyClicks(target, c);
            break;
        }
        case 4:
        case 5:
            note(QStringLiteral("key Return into %1").arg(where));
            QTest::keyClick(target, roll(4) ? Qt::Key_Return : Qt::Key_Enter);
            break;
        case 6: {
            const bool back = roll(3) == 0;
            note(QStringLiteral("key %1 in %2").arg(back ? "Shift+Tab" : "Tab", where));
            QTest::keyClick(target, back ? Qt::Key_Backtab : Qt::Key_Tab,
                            back ? Qt::ShiftModifier : Qt::NoModifier);
            break;
        }
        case 7: {
            const Qt::Key key = altKeys[roll(4)];
            note(QStringLiteral("key Alt+%1 in %2").arg(QChar(char16_t(key)), where));
            QTest::keyClick(target, key, Qt::AltModifier);
            break;
        }
        }
    }

    void typeTitle()
    {
        auto *box = get<QLineEdit>("txtGuessWord");
        QString text;
        if (roll(2))
            text = roll(2) ? game->CurrentTitle : game->CurrentTitle.toLower();
        else
            for (int n = 1 + roll(12); n > 0; --n)
                text += QChar(u'a' + roll(26));
        note(QStringLiteral("type \"%1\" into the title box").arg(text));
        QTest::mouseClick(box, Qt::LeftButton);
        typeText(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }

    void clickControl()
    {
        QWidget *w = get(kCommandNames[roll(int(std::size(kCommandNames)))]);
        if (!w->isVisible()) {
            note(QStringLiteral("skip hidden %1").arg(w->objectName()));
            return;
        }
        const QPoint at(roll(std::max(1, w->width())), roll(std::max(1, w->height())));
        note(QStringLiteral("click %1").arg(w->objectName()));
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
    }

    void chooseMenu()
    {
        QAction *a = window->menuItem(QLatin1String(kMenuNames[roll(int(std::size(kMenuNames)))]));
        note(QStringLiteral("menu %1").arg(a->objectName()));
        a->trigger();
    }

    void newGameOrGiveUp()
    {
        auto *button = get<QPushButton>(get("cmdNew")->isVisible() ? "cmdNew" : "cmdGiveUp");
        note(QStringLiteral("click %1").arg(button->objectName()));
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Help > About, then close whatever it opened. A modal window is closed
    // from a timer, as it only returns once closed.
    void openAndCloseAbout()
    {
        note(QStringLiteral("about"));
        QTimer closer;
        closer.setInterval(10);
        QObject::connect(&closer, &QTimer::timeout, [this] { closeOthers(); });
        closer.start();
        window->menuItem(QStringLiteral("mnuAbout"))->trigger();
        closer.stop();
        QCoreApplication::processEvents();
        closeOthers();
    }

    void closeOthers()
    {
        if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != window.get())
            modal->close();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != window.get() && w->isVisible() && w->objectName() != QLatin1String("giveUpTip")
                && !w->inherits("QMenu"))
                w->close();
    }

    void tick()
    {
        if (!ticker.running) {
            note(QStringLiteral("tick (timer off)"));
            return;
        }
        const int n = 1 + roll(6);
        note(QStringLiteral("tick x%1").arg(n));
        for (int i = 0; i < n && ticker.running; ++i)
            game->tmrLoad_Timer();
    }

    QString check()
    {
        const GallowsGame &g = *game;
        const WindowState &s = g.state();
        if (!window->isVisible())
            return QStringLiteral("the window closed (%1)").arg(messages.shown.join(QStringLiteral("; ")));
        if (s.closeRequested)
            return QStringLiteral("the rules asked to close: %1").arg(messages.shown.join(QStringLiteral("; ")));

        const bool newShown = get("cmdNew")->isVisible();
        const bool giveUpShown = get("cmdGiveUp")->isVisible();
        if (newShown == giveUpShown)
            return QStringLiteral("New Game %1 and Give Up %2")
                .arg(newShown ? "shown" : "hidden", giveUpShown ? "shown" : "hidden");

        // A game ends when New Game comes up: the picture tells how.
        if (newShown && !gameOver) {
            wins += s.imgGallows.endsWith(QLatin1String("/10.gif"));
            losses += s.imgGallows.endsWith(QLatin1String("/9.gif"));
        }
        gameOver = newShown;

        if (g.GamesWon != seenWon || g.GamesLost != seenLost || g.GamesGiveUp != seenGivenUp)
            outcomes = true;
        seenWon = g.GamesWon;
        seenLost = g.GamesLost;
        seenGivenUp = g.GamesGiveUp;
        if (outcomes) {
            if (g.GamesTotal != clampedSum(g.GamesWon, g.GamesLost, g.GamesGiveUp))
                return QStringLiteral("GamesTotal %1 for %2 won, %3 lost, %4 given up")
                    .arg(g.GamesTotal).arg(g.GamesWon).arg(g.GamesLost).arg(g.GamesGiveUp);
            int shown[4];
            for (int i = 0; i < 4; ++i)
                shown[i] = panelNumber(get<QLabel>(QByteArray("stsPanel" + QByteArray::number(i + 1)).constData()));
            if (shown[3] != clampedSum(qint16(shown[0]), qint16(shown[1]), qint16(shown[2])))
                return QStringLiteral("the status bar shows %1 played for %2 + %3 + %4")
                    .arg(shown[3]).arg(shown[0]).arg(shown[1]).arg(shown[2]);
        }

        if (get("txtGuessLetter")->isEnabled() && g.WrongGuesses >= 9)
            return QStringLiteral("still guessing after %1 wrong guesses").arg(g.WrongGuesses);

        const QVector<QLabel *> &cells = window->letterCells();
        if (cells.size() != g.TitleLength + 1)
            return QStringLiteral("%1 cells for a title of %2").arg(cells.size() - 1).arg(g.TitleLength);
        const QRect clientArea(0, 0, kClientWidth / kTwipsPerPixel, kClientHeight / kTwipsPerPixel);
        QWidget *central = window->centralWidget();
        for (int i = 1; i <= g.TitleLength; ++i) {
            const QString text = cells[i]->text();
            const QString character = g.TitleLetters[i];
            if (!text.isEmpty() && text != character)
                return QStringLiteral("cell %1 shows \"%2\" for \"%3\"").arg(i).arg(text, character);
            if (newShown && text != character)
                return QStringLiteral("cell %1 still hides \"%2\" after the game").arg(i).arg(character);
            const QRect place(cells[i]->mapTo(central, QPoint()), cells[i]->size());
            if (!clientArea.contains(place))
                return QStringLiteral("cell %1 at (%2,%3) %4x%5 is outside the client area")
                    .arg(i).arg(place.x()).arg(place.y()).arg(place.width()).arg(place.height());
        }
        return QString();
    }

    FakeCatalogue catalogue;
    FakeSettings settings;
    FakeCues cues;
    FakeMessages messages;
    FakeTicker ticker;
    QtPictureSource pictures;
    StdRandom random;
    std::mt19937_64 dice;
    std::unique_ptr<GallowsGame> game;
    std::unique_ptr<frmGallows> window;
    std::deque<QString> recent;
    bool outcomes = false;
    bool gameOver = false;
    qint16 seenWon = 0, seenLost = 0, seenGivenUp = 0;
};

} // namespace

class TestMonkey : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void randomEvents();

private:
    QTemporaryDir pictureRoot;
};

void TestMonkey::initTestCase()
{
    QVERIFY(pictureRoot.isValid());
    writePictures(pictureRoot.path());
}

void TestMonkey::randomEvents()
{
    bool ok = false;
    quint64 seed = qEnvironmentVariable("GALLOWS_MONKEY_SEED").toULongLong(&ok);
    if (!ok)
        seed = 20260806;
    int events = qEnvironmentVariableIntValue("GALLOWS_MONKEY_EVENTS", &ok);
    if (!ok || events <= 0)
        events = 10000;
    qInfo("monkey seed %llu, %d events (GALLOWS_MONKEY_SEED / GALLOWS_MONKEY_EVENTS to change)",
          static_cast<unsigned long long>(seed), events);

    Monkey monkey(pictureRoot.path(), seed);
    const QString problem = monkey.play(events);
    QVERIFY2(problem.isEmpty(),
             qPrintable(QStringLiteral("seed %1, %2").arg(seed).arg(problem)));
    const QString closing = monkey.close();
    QVERIFY2(closing.isEmpty(), qPrintable(closing));

    // The events reached the game: some games were won and some lost.
    qInfo("%d games won, %d lost", monkey.wins, monkey.losses);
    QVERIFY(monkey.wins > 0);
    QVERIFY(monkey.losses > 0);
}

QTEST_MAIN(TestMonkey)
#include "tst_monkey.moc"
