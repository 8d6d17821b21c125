// The real game window and About window over the fakes, on the offscreen
// platform: which key or click reaches which rule, the focus, closing, the
// Give Up tip and the About window.
// The rules themselves are tested headless in tests/rules.

#include "ui/about_dialog.h"
#include "ui/give_up_tip.h"
#include "tests/fakes/fakes.h"
#include "ui/game_window.h"
#include "ui/qt_services.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace gallows;
using namespace gallows::testing;

namespace {

// Help > About counted rather than shown, unless asked for.
class Window : public GameWindow {
public:
    using GameWindow::GameWindow;
    int aboutCalls = 0;
    bool realAbout = false;
    void showAbout() override { realAbout ? GameWindow::showAbout() : void(++aboutCalls); }
};

// The real window over the fakes, built the way start-up builds it, shown,
// and (unless told not to) with its first board revealed.
struct Rig {
    FakeCatalogue catalogue;
    FakeSettings settings;
    FakeCues cues;
    FakeMessages messages;
    FakeRandom random;
    FakeTicker ticker;
    QtPictureSource pictures;
    std::unique_ptr<GameRules> game;
    std::unique_ptr<Window> window;

    explicit Rig(const QStringList &titles = {QStringLiteral("Half-Life")}, bool reveal = true)
        : pictures(GALLOWS_DATA_ROOT) // the game's own pictures, from the build's Data/
    {
        for (const QString &title : titles)
            catalogue.add(title);
        game = std::make_unique<GameRules>(Services{catalogue, settings, cues, messages, random, pictures, ticker});
        game->loadSettings();
        window = std::make_unique<Window>(*game, pictures);
        window->show();
        window->activateWindow();
        game->startGame();
        if (reveal)
            finishReveal();
    }
    void finishReveal() { for (int guard = 0; ticker.running && guard < 500; ++guard) game->revealNextCell(); }
    template <class T = QWidget> T *get(const char *name) const { return qobject_cast<T *>(window->control(QLatin1String(name))); }
    bool active() { return QTest::qWaitForWindowActive(window.get()); }
    QLineEdit *box(const QString &name) const { return qobject_cast<QLineEdit *>(window->control(name)); }
    QString panel(int n) const { return get<QLabel>(QByteArray("stsPanel" + QByteArray::number(n)).constData())->text(); }
    QStringList listed() const
    {
        QStringList out;
        for (const QListWidgetItem *item : get<QListWidget>("lstIncorrect")->findItems("*", Qt::MatchWildcard))
            out << item->text();
        return out;
    }
    QString board() const
    {
        QString out;
        for (QLabel *cell : window->letterCells())
            out += cell->frameShape() == QFrame::NoFrame ? QStringLiteral(" ")
                : cell->text().isEmpty()                  ? QStringLiteral("_")
                                                          : cell->text();
        return out;
    }
    void guessLetters(const QString &letters)
    {
        for (const QChar c : letters)
            QTest::keyClicks(box("txtGuessLetter"), QString(c) + QLatin1Char('\r'));
    }
};

} // namespace

class TestGameWindow : public QObject {
    Q_OBJECT

private slots:
    // Return and keypad Enter in either box make that box's guess, and go
    // no further than the box.
    void enterIsRouted_data()
    {
        columns<QString, bool, QString, QString, QStringList>({"box", "keypad", "typed", "message", "listed"});
        const QString letter = QStringLiteral("Please enter a letter, stupid!");
        QTest::newRow("empty letter box, keypad") << "txtGuessLetter" << true << "" << letter << QStringList();
        QTest::newRow("wrong letter") << "txtGuessLetter" << false << "q" << "" << QStringList{"Q"};
        QTest::newRow("wrong title, keypad") << "txtGuessWord" << true << "Half Life" << "" << QStringList{"Half Life"};
    }

    void enterIsRouted()
    {
        QFETCH(QString, box);
        QFETCH(bool, keypad);
        QFETCH(QString, message);
        Rig rig;
        QLineEdit *edit = rig.box(box);
        QSignalSpy defaults(rig.get<QPushButton>("cmdGiveUp"), &QPushButton::clicked);
        QTest::keyClicks(edit, fetched<QString>("typed"));
        QTest::keyClick(edit, keypad ? Qt::Key_Enter : Qt::Key_Return, keypad ? Qt::KeypadModifier : Qt::NoModifier);
        QCOMPARE(rig.messages.shown, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(edit->text(), QString());
        QCOMPARE(rig.listed(), fetched<QStringList>("listed"));
        QCOMPARE(defaults.count(), 0);
    }

    // The menu shortcuts work from inside the boxes, where a line edit would
    // otherwise take Ctrl+A as Select All.
    void shortcutsFromTheBoxes_data()
    {
        columns<QString, int>({"box", "key"});
        for (const char *box : {"txtGuessLetter", "txtGuessWord"})
            for (const int key : {Qt::Key_A, Qt::Key_R, Qt::Key_Q})
                QTest::addRow("Ctrl+%c in %s", char(key), box) << box << key;
    }

    void shortcutsFromTheBoxes()
    {
        QFETCH(QString, box);
        QFETCH(int, key);
        Rig rig;
        QVERIFY(rig.active());
        QTest::mouseClick(rig.get<QPushButton>("cmdGiveUp"), Qt::LeftButton);
        rig.finishReveal();
        rig.settings.writes.clear();
        QLineEdit *edit = rig.box(box);
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("x"));
        QTest::keyClick(edit, Qt::Key(key), Qt::ControlModifier);
        if (key == Qt::Key_A) {
            QCOMPARE(rig.window->aboutCalls, 1);
            QVERIFY(!edit->hasSelectedText());
        } else if (key == Qt::Key_R) {
            QCOMPARE(rig.panel(3), QStringLiteral("Given Up: 0"));
            QVERIFY(rig.settings.writes.contains(QStringLiteral("GamesGiveUp=0")));
        } else {
            QTRY_VERIFY(!rig.window->isVisible());
            QVERIFY(rig.settings.writes.contains(QStringLiteral("GamesGiveUp=1")));
        }
    }

    // Alt with a button's underlined letter presses it.
    void accessKeys_data()
    {
        columns<int, QStringList, QString>({"key", "listed", "givenUp"});
        QTest::newRow("Alt+L, Guess Letter") << int(Qt::Key_L) << QStringList{"Q"} << "Given Up: 0";
        QTest::newRow("Alt+U, Give Up") << int(Qt::Key_U) << QStringList() << "Given Up: 1";
    }

    void accessKeys()
    {
        QFETCH(int, key);
        Rig rig;
        QVERIFY(rig.active());
        QTest::keyClicks(rig.box("txtGuessLetter"), QStringLiteral("q"));
        QTest::keyClicks(rig.box("txtGuessWord"), QStringLiteral("Quake"));
        QTest::keyClick(rig.window->windowHandle(), Qt::Key(key), Qt::AltModifier);
        // A mnemonic presses its button with an animated click.
        QTRY_COMPARE(rig.panel(3), fetched<QString>("givenUp"));
        QTRY_COMPARE(rig.listed(), fetched<QStringList>("listed"));
    }

    void tabOrder()
    {
        Rig rig;
        QVERIFY(rig.active());
        QStringList stops;
        QWidget *w = rig.box("txtGuessLetter");
        do {
            if (w->focusPolicy() & Qt::TabFocus)
                stops << w->objectName();
            w = w->nextInFocusChain();
        } while (w != rig.box("txtGuessLetter"));
        QCOMPARE(stops, QStringList({"txtGuessLetter", "txtGuessWord", "cmdNew"}));
    }

    // A win or a loss uncovers the board and leaves only New Game, focused.
    void gameEnds_data()
    {
        columns<QString, int, QString>({"letters", "picture", "panel"});
        QTest::newRow("won") << "HALFIE" << 10 << "Games Won: 1";
        QTest::newRow("lost") << "BCDGJKMNO" << 9 << "Games Lost: 1";
    }

    void gameEnds()
    {
        QFETCH(int, picture);
        QFETCH(QString, panel);
        Rig rig;
        QVERIFY(rig.active());
        rig.guessLetters(fetched<QString>("letters"));
        QCOMPARE(rig.board(), QStringLiteral("HALF-LIFE"));
        QCOMPARE(rig.panel(picture == 10 ? 1 : 2), panel);
        QVERIFY(rig.get("cmdNew")->isVisible() && !rig.get("cmdGiveUp")->isVisible());
        for (const char *name : {"txtGuessLetter", "txtGuessWord", "cmdGuessLetter", "cmdGuessWord"})
            QVERIFY2(!rig.get(name)->isEnabled(), name);
        QCOMPARE(rig.get<QLabel>("imgGallows")->pixmap().toImage(),
                 rig.pictures.pixmap(QStringLiteral("Data/Gallows/Graphics/%1.gif").arg(picture)).toImage());
        // Either way New Game has the focus, and Enter on it starts the next game.
        QTRY_COMPARE(QApplication::focusWidget(), rig.get("cmdNew"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        rig.finishReveal();
        QVERIFY(!rig.get("cmdNew")->isVisible() && rig.get("cmdGiveUp")->isVisible());
        QVERIFY(rig.box("txtGuessLetter")->isEnabled());
        QCOMPARE(rig.board(), QStringLiteral("____-____"));
    }

    // A picture read ahead at start-up stands in for its own file once; for
    // any other path, as a null image, and on every later load the file is read.
    void pictureReadAhead_data()
    {
        columns<int, bool, bool>({"adoptedStage", "nullImage", "shown"});
        QTest::newRow("its own path") << 0 << false << true;
        QTest::newRow("another path") << 1 << false << false;
        QTest::newRow("null image") << 0 << true << false;
    }

    void pictureReadAhead()
    {
        QtPictureSource pictures(GALLOWS_DATA_ROOT);
        const QString path = GameRules::picturePath(0);
        const QSize fileSize = QImage(pictures.fullPath(path)).size();
        QVERIFY(!fileSize.isEmpty());
        QImage ahead(7, 3, QImage::Format_RGB32);
        ahead.fill(Qt::red);
        pictures.adopt(GameRules::picturePath(fetched<int>("adoptedStage")),
                       fetched<bool>("nullImage") ? QImage() : ahead);
        pictures.load(path);
        QCOMPARE(pictures.pixmap(path).size(), fetched<bool>("shown") ? ahead.size() : fileSize);
        pictures.load(GameRules::picturePath(1));
        pictures.load(path);
        QCOMPARE(pictures.pixmap(path).size(), fileSize);
    }

    // Return, keypad Enter and Space press the focused button once, and the
    // focus shows on it even when the game, not Tab, put it there.
    void keysOnAFocusedButton_data()
    {
        columns<QString, int>({"button", "key"});
        for (const char *button : {"cmdGiveUp", "cmdGuessLetter", "cmdGuessWord"})
            for (const int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
                QTest::addRow("%s, key %x", button, key) << button << key;
    }

    void keysOnAFocusedButton()
    {
        QFETCH(QString, button);
        QFETCH(int, key);
        Rig rig;
        QVERIFY(rig.active());
        auto *target = rig.get<QPushButton>(qPrintable(button));
        const QImage without = target->grab().toImage();
        target->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(target->hasFocus());
        QVERIFY2(target->grab().toImage() != without, "the focus does not show");
        QSignalSpy clicked(target, &QPushButton::clicked);
        QTest::keyClick(target, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QTRY_COMPARE(clicked.count(), 1);
    }

    // A message box opened during the reveal does not stop the window from
    // showing each new cell as its tick comes.
    void revealGoesOnUnderAMessageBox()
    {
        Rig rig({QStringLiteral("Half-Life")}, false);
        auto shownCells = [&] {
            int n = 0;
            for (QLabel *cell : rig.window->letterCells())
                n += !cell->isHidden();
            return n;
        };
        rig.game->revealNextCell();
        QList<int> seen;
        rig.messages.whileOpen = [&] {
            for (int tick = 0; tick < 3; ++tick) {
                rig.game->revealNextCell();
                seen << shownCells();
            }
        };
        QTest::keyClick(rig.box("txtGuessLetter"), Qt::Key_Return); // an empty guess: its message
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(seen, QList<int>({2, 3, 4}));
    }

    void menuChecksFollowTheState_data()
    {
        columns<QStringList, QStringList>({"clicks", "checked"});
        QTest::newRow("first run") << QStringList() << QStringList{"mnuClue5", "mnuSounds1", "mnuStats"};
        QTest::newRow("no clues") << QStringList{"mnuClue1"} << QStringList{"mnuClue1", "mnuSounds1", "mnuStats"};
        QTest::newRow("silence, stats off") << QStringList{"mnuSounds4", "mnuStats"} << QStringList{"mnuClue5", "mnuSounds4"};
    }

    void menuChecksFollowTheState()
    {
        QFETCH(QStringList, checked);
        Rig rig;
        for (const QString &name : fetched<QStringList>("clicks"))
            rig.window->menuItem(name)->trigger();
        QStringList marks;
        for (const char *name : {"mnuClue1", "mnuClue2", "mnuClue3", "mnuClue4", "mnuClue5", "mnuSounds1",
                                    "mnuSounds2", "mnuSounds3", "mnuSounds4", "mnuStats"})
            if (rig.window->menuItem(QLatin1String(name))->isChecked())
                marks << QLatin1String(name);
        QCOMPARE(marks, checked);
        QCOMPARE(rig.get("lblClue")->isVisible(), !checked.contains("mnuClue1"));
        QCOMPARE(rig.settings.values.value(QStringLiteral("SaveStats")),
                 checked.contains("mnuStats") ? QStringLiteral("True") : QStringLiteral("False"));
    }

    void closing_data()
    {
        columns<QString, bool>({"how", "saves"});
        QTest::newRow("close box") << "close" << true;
        QTest::newRow("Game > Exit") << "exit" << true;
        QTest::newRow("Ctrl+Q") << "ctrl+q" << true;
        QTest::newRow("discarded") << "discard" << false;
    }

    void closing()
    {
        QFETCH(QString, how);
        QFETCH(bool, saves);
        Rig rig;
        QVERIFY(rig.active());
        rig.settings.writes.clear();
        if (how == "discard")
            rig.window->discardWithoutSaving();
        if (how == "exit")
            rig.window->menuItem(QStringLiteral("mnuExit"))->trigger();
        else if (how == "ctrl+q")
            QTest::keyClick(rig.window.get(), Qt::Key_Q, Qt::ControlModifier);
        else
            rig.window->close();
        QVERIFY(!rig.window->isVisible());
        QCOMPARE(rig.settings.writes.contains(QStringLiteral("Sounds=1")), saves);
        QCOMPARE(rig.catalogue.closed, saves);
    }

    void giveUpTip()
    {
        Rig rig;
        QVERIFY(rig.active());
        auto *button = rig.get<QPushButton>("cmdGiveUp");
        GiveUpTip *tip = rig.window->giveUpTip();
        QVERIFY(tip && !tip->isVisible());
        const QPoint local = button->rect().center();
        QHelpEvent hover(QEvent::ToolTip, local, button->mapToGlobal(local));
        QApplication::sendEvent(button, &hover);
        QVERIFY(tip->isVisible());
        QCOMPARE(tip->title(), QStringLiteral("Oh you coward!"));
        QCOMPARE(tip->text(), QStringLiteral("Giving up is bad for your statistics."));
        QVERIFY(tip->geometry().top() > button->mapToGlobal(local).y()); // below the pointer
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        QVERIFY(!tip->isVisible());
    }

    // Ctrl+A opens the About window modal over the game; its keys close it,
    // and nothing typed while it is up reaches the game.
    void aboutWindow_data()
    {
        columns<int, int>({"key", "modifiers"});
        QTest::newRow("Space on Hang On") << int(Qt::Key_Space) << int(Qt::NoModifier);
        QTest::newRow("Esc") << int(Qt::Key_Escape) << int(Qt::NoModifier);
        QTest::newRow("Alt+H") << int(Qt::Key_H) << int(Qt::AltModifier);
    }

    void aboutWindow()
    {
        QFETCH(int, key);
        Rig rig;
        rig.window->realAbout = true;
        QVERIFY(rig.active());
        bool seen = false;
        QTimer poll; // acts once the window is up, which must be modal
        connect(&poll, &QTimer::timeout, [&] {
            auto *about = qobject_cast<AboutDialog *>(QApplication::activeModalWidget());
            if (!seen && about && about->isVisible()) {
                seen = true;
                QTest::keyClick(rig.window->windowHandle(), Qt::Key_E); // blocked
                QTest::keyClick(about->windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(fetched<int>("modifiers")));
            }
        });
        poll.start(10);
        QTimer::singleShot(5000, &poll, [&] { if (auto *a = rig.window->findChild<AboutDialog *>()) a->close(); });
        QTest::keyClick(rig.box("txtGuessLetter"), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(seen);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(rig.box("txtGuessLetter")->text(), QString());
    }

};

QTEST_MAIN(TestGameWindow)
#include "tst_game_window.moc"
