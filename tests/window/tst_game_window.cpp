// frmGallows over the fakes: layout, captions, menus, keys, what the window
// shows after a win, a loss or a give-up, closing, and the Give Up tip. The
// game rules themselves are tested through the fakes in tests/rules.

#include "fakes.h"
#include "window_rig.h"
#include "game_window.h"
#include "give_up_tip.h"
#include "qt_services.h"

#include <QApplication>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace gallows;
using namespace gallows::testing;

namespace {

int px(double twips)
{
    return qRound(twips / 15.0);
}

// Help > About counted rather than shown.
class Window : public frmGallows {
public:
    using frmGallows::frmGallows;
    int aboutCalls = 0;
    void mnuAbout_Click() override { ++aboutCalls; }
};

// Counts the Return / Enter presses that reach a widget.
class EnterWatch : public QObject {
public:
    int seen = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            seen += key == Qt::Key_Return || key == Qt::Key_Enter;
        }
        return false;
    }
};

// Stand-in gallows pictures, each a different shade so the one shown can be told apart.
void writePictures(const QString &root)
{
    const QString folder = root + QStringLiteral("/Data/Gallows/Graphics");
    QDir().mkpath(folder);
    for (int n = 0; n <= 10; ++n) {
        QImage image(232, 156, QImage::Format_RGB32);
        image.fill(QColor(20 * n, 240 - 20 * n, 128));
        image.save(QStringLiteral("%1/%2.gif").arg(folder).arg(n), "PNG");
    }
}

struct Rig : WindowRig<Window> {
    using WindowRig::WindowRig;
    bool active() { return QTest::qWaitForWindowActive(window.get()); }
    QLineEdit *letterBox() const { return get<QLineEdit>("txtGuessLetter"); }
    QLineEdit *titleBox() const { return get<QLineEdit>("txtGuessWord"); }
    QString panel(int n) const
    {
        return get<QLabel>(QByteArray("stsPanel" + QByteArray::number(n)).constData())->text();
    }
    // Where a widget sits in the client area (below the menu bar).
    QRect clientRect(const QWidget *w) const
    {
        const QPoint origin = window->centralWidget()->mapTo(window.get(), QPoint());
        return QRect(w->mapTo(window.get(), QPoint()) - origin, w->size());
    }
    void guessLetters(const QString &letters)
    {
        for (const QChar c : letters) {
            QTest::keyClicks(letterBox(), QString(c));
            QTest::keyClick(letterBox(), Qt::Key_Return);
        }
    }
};

const QStringList kShortTitle = {QStringLiteral("Half-Life")};

} // namespace

class TestGameWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void windowFrame();
    void controls_data();
    void controls();
    void captions_data();
    void captions();
    void statusPanels();
    void menus_data();
    void menus();
    void menuShortcutsFromTheBoxes_data();
    void menuShortcutsFromTheBoxes();
    void tabOrder();
    void letterBoxTakesOneCharacter();
    void enterIsSwallowedAndRouted_data();
    void enterIsSwallowedAndRouted();
    void winLeavesOnlyNewGame();
    void lossUncoversAndFocusesNewGame();
    void giveUpCountsAndLaysOutANewBoard();
    void ampersandCellShowsItsCharacter();
    void menuChecksFollowTheState_data();
    void menuChecksFollowTheState();
    void closing_data();
    void closing();
    void failureInALaterGameClosesTheWindow();
    void giveUpTip();
    void pictureFillsItsBox();
    void keysOnAFocusedButton_data();
    void keysOnAFocusedButton();
    void focusedButtonShowsIt_data();
    void focusedButtonShowsIt();
    void enterAfterAWinStartsTheNextGame_data();
    void enterAfterAWinStartsTheNextGame();
    void revealGoesOnUnderAMessageBox();

private:
    QTemporaryDir pictureRoot;
};

void TestGameWindow::initTestCase()
{
    QVERIFY(pictureRoot.isValid());
    writePictures(pictureRoot.path());
}

void TestGameWindow::windowFrame()
{
    Rig rig(pictureRoot.path(), kShortTitle);
    Window &w = *rig.window;
    QCOMPARE(w.objectName(), QStringLiteral("frmGallows"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Tarvolin Gallows"));
    const Qt::WindowFlags flags = w.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));

    const int menuHeight = w.menuBar()->height();
    QVERIFY(menuHeight > 10);
    QVERIFY(!w.menuBar()->isNativeMenuBar());
    QCOMPARE(w.size(), QSize(513, menuHeight + 306));
    QCOMPARE(w.minimumSize(), w.size());
    QCOMPARE(w.maximumSize(), w.size());
    QCOMPARE(w.centralWidget()->geometry(), QRect(0, menuHeight, 513, 283));
}

void TestGameWindow::controls_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("cmdGiveUp") << "QPushButton" << QRect(2520, 3840, 1095, 315);
    QTest::newRow("cmdNew") << "QPushButton" << QRect(2520, 3840, 1095, 315);
    QTest::newRow("txtGuessWord") << "QLineEdit" << QRect(3720, 3840, 2655, 315);
    QTest::newRow("txtGuessLetter") << "QLineEdit" << QRect(120, 3840, 375, 315);
    QTest::newRow("lstIncorrect") << "QListWidget" << QRect(3720, 1365, 3855, 2400);
    QTest::newRow("cmdGuessLetter") << "QPushButton" << QRect(600, 3840, 1095, 315);
    QTest::newRow("cmdGuessWord") << "QPushButton" << QRect(6480, 3840, 1095, 315);
    QTest::newRow("stsBar") << "QStatusBar" << QRect(0, 4245, 7695, 345);
    QTest::newRow("lblClue") << "QLabel" << QRect(1485, 120, 6090, 255);
    QTest::newRow("lblCurrentTitle") << "QLabel" << QRect(120, 120, 2655, 255);
    QTest::newRow("imgGallows") << "QLabel" << QRect(120, 1365, 3480, 2340);
}

void TestGameWindow::controls()
{
    QFETCH(QString, kind);
    QFETCH(QRect, twips);
    Rig rig(pictureRoot.path(), kShortTitle);
    QWidget *w = rig.window->findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(w);
    QCOMPARE(w, rig.window->control(w->objectName()));
    QVERIFY(w->inherits(kind.toLatin1()));
    QCOMPARE(rig.clientRect(w),
             QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
    if (w->objectName() != QLatin1String("imgGallows")) {
        const QFontInfo font(w->font());
        QCOMPARE(font.family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(font.pixelSize(), 11);
        QVERIFY(!font.bold());
    }
}

void TestGameWindow::captions_data()
{
    QTest::addColumn<QString>("caption");
    QTest::newRow("cmdGiveUp") << "Give &Up";
    QTest::newRow("cmdNew") << "&New Game";
    QTest::newRow("cmdGuessLetter") << "Guess &Letter";
    QTest::newRow("cmdGuessWord") << "Guess &Title";
    QTest::newRow("lblCurrentTitle") << "Current Game Title:";
}

// Each caption fits its control, and a button's access key clicks it from the letter box.
void TestGameWindow::captions()
{
    QFETCH(QString, caption);
    Rig rig(pictureRoot.path(), kShortTitle);
    QVERIFY(rig.active());
    QWidget *w = rig.window->control(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(w);
    const QFontMetrics metrics(w->font());
    QRect room;
    QString shown = caption;
    if (auto *button = qobject_cast<QPushButton *>(w)) {
        QCOMPARE(button->text(), caption);
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        shown.remove(QLatin1Char('&'));
    } else {
        auto *label = qobject_cast<QLabel *>(w);
        QCOMPARE(label->text(), caption);
        room = label->contentsRect();
    }
    QVERIFY2(metrics.horizontalAdvance(shown) <= room.width(),
             qPrintable(QStringLiteral("%1 px of text in %2 px").arg(metrics.horizontalAdvance(shown)).arg(room.width())));
    QVERIFY(metrics.height() <= room.height());

    auto *button = qobject_cast<QPushButton *>(w);
    if (!button)
        return;
    if (!button->isVisible())
        rig.guessLetters(QStringLiteral("HALFIE")); // New Game comes up after a win
    QVERIFY(button->isVisible() && button->isEnabled());
    QSignalSpy clicked(button, &QPushButton::clicked);
    rig.letterBox()->setFocus();
    const QChar key = caption.at(caption.indexOf(QLatin1Char('&')) + 1).toUpper();
    QTest::keyClick(rig.window.get(), Qt::Key(key.unicode()), Qt::AltModifier);
    QTRY_COMPARE(clicked.count(), 1);
}

void TestGameWindow::statusPanels()
{
    Rig rig(pictureRoot.path(), kShortTitle);
    auto *bar = rig.get<QStatusBar>("stsBar");
    const QStringList texts = {QStringLiteral("Games Won: 0"), QStringLiteral("Games Lost: 0"),
                               QStringLiteral("Given Up: 0"), QStringLiteral("Games Played: 0")};
    for (int i = 0; i < 4; ++i) {
        auto *panel = rig.get<QLabel>(QByteArray("stsPanel" + QByteArray::number(i + 1)).constData());
        QVERIFY(panel);
        QCOMPARE(panel->parentWidget(), bar);
        QCOMPARE(panel->geometry().left(), px(i * 1900));
        QCOMPARE(panel->width(), px(1900));
        QVERIFY(bar->rect().contains(panel->geometry()));
        QCOMPARE(panel->text(), texts[i]);
        // The widest count still fits its panel.
        const int needed = panel->fontMetrics().horizontalAdvance(QStringLiteral("Games Played: 32767"));
        QVERIFY(needed + panel->indent() <= panel->contentsRect().width());
    }
}

void TestGameWindow::menus_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("under");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<bool>("checkable");
    const QKeySequence none;
    QTest::newRow("mnuGame") << "Game" << "" << none << false;
    QTest::newRow("mnuExit") << "Exit" << "mnuGame" << QKeySequence(QStringLiteral("Ctrl+Q")) << false;
    QTest::newRow("mnuOptions") << "Options" << "" << none << false;
    QTest::newRow("mnuClues") << "Clues" << "mnuOptions" << none << false;
    QTest::newRow("mnuClue1") << "None" << "mnuClues" << none << true;
    QTest::newRow("mnuClue2") << "Year" << "mnuClues" << none << true;
    QTest::newRow("mnuClue3") << "Year, Publisher" << "mnuClues" << none << true;
    QTest::newRow("mnuClue4") << "Year, Publisher, Genre" << "mnuClues" << none << true;
    QTest::newRow("mnuClue5") << "Year, Publisher, Genre, Developer" << "mnuClues" << none << true;
    QTest::newRow("mnuSoundsParent") << "Sounds" << "mnuOptions" << none << false;
    QTest::newRow("mnuSounds1") << "All Enabled" << "mnuSoundsParent" << none << true;
    QTest::newRow("mnuSounds2") << "Only when a guess is correct" << "mnuSoundsParent" << none << true;
    QTest::newRow("mnuSounds3") << "Only at win and lose screens" << "mnuSoundsParent" << none << true;
    QTest::newRow("mnuSounds4") << "Total silence" << "mnuSoundsParent" << none << true;
    QTest::newRow("mnuStats") << "Save Statistics on Exit" << "mnuOptions" << none << true;
    QTest::newRow("mnuSep2") << "" << "mnuOptions" << none << false;
    QTest::newRow("mnuReset") << "Reset Statistics" << "mnuOptions" << QKeySequence(QStringLiteral("Ctrl+R")) << false;
    QTest::newRow("mnuHelp") << "Help" << "" << none << false;
    QTest::newRow("mnuAbout") << "About" << "mnuHelp" << QKeySequence(QStringLiteral("Ctrl+A")) << false;
}

void TestGameWindow::menus()
{
    QFETCH(QString, caption);
    QFETCH(QString, under);
    QFETCH(QKeySequence, shortcut);
    QFETCH(bool, checkable);
    Rig rig(pictureRoot.path(), kShortTitle);
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QAction *action = rig.window->menuItem(name);
    if (auto *menu = qobject_cast<QMenu *>(rig.window->control(name))) {
        QCOMPARE(menu->title(), caption);
        action = menu->menuAction();
    }
    QVERIFY(action);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->shortcut(), shortcut);
    QCOMPARE(action->isCheckable(), checkable);
    QCOMPARE(action->isSeparator(), name == QLatin1String("mnuSep2"));

    // The item sits in its parent menu, in the design's order.
    QWidget *parent = under.isEmpty() ? rig.window->menuBar() : rig.window->control(under);
    QVERIFY(parent);
    QVERIFY(parent->actions().contains(action));
    QStringList order;
    for (QAction *a : parent->actions())
        order << a->objectName();
    static const QMap<QString, QStringList> orders = {
        {QString(), {"mnuGame", "mnuOptions", "mnuHelp"}},
        {"mnuGame", {"mnuExit"}},
        {"mnuOptions", {"mnuClues", "mnuSoundsParent", "mnuStats", "mnuSep2", "mnuReset"}},
        {"mnuClues", {"mnuClue1", "mnuClue2", "mnuClue3", "mnuClue4", "mnuClue5"}},
        {"mnuSoundsParent", {"mnuSounds1", "mnuSounds2", "mnuSounds3", "mnuSounds4"}},
        {"mnuHelp", {"mnuAbout"}}};
    QCOMPARE(order, orders.value(under));
}

void TestGameWindow::menuShortcutsFromTheBoxes_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("key");
    for (const char *box : {"txtGuessLetter", "txtGuessWord"}) {
        QTest::addRow("Ctrl+A in %s", box) << box << int(Qt::Key_A);
        QTest::addRow("Ctrl+R in %s", box) << box << int(Qt::Key_R);
        QTest::addRow("Ctrl+Q in %s", box) << box << int(Qt::Key_Q);
    }
}

void TestGameWindow::menuShortcutsFromTheBoxes()
{
    QFETCH(QString, box);
    QFETCH(int, key);
    Rig rig(pictureRoot.path(), kShortTitle);
    QVERIFY(rig.active());
    QTest::mouseClick(rig.get<QPushButton>("cmdGiveUp"), Qt::LeftButton);
    rig.finishReveal();
    QCOMPARE(rig.panel(3), QStringLiteral("Given Up: 1"));
    rig.settings.writes.clear();

    auto *edit = qobject_cast<QLineEdit *>(rig.window->control(box));
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("x"));
    QTest::keyClick(edit, Qt::Key(key), Qt::ControlModifier);

    switch (key) {
    case Qt::Key_A:
        QCOMPARE(rig.window->aboutCalls, 1);
        QVERIFY(!edit->hasSelectedText()); // not taken as Select All
        QCOMPARE(edit->text(), QStringLiteral("x"));
        break;
    case Qt::Key_R:
        QCOMPARE(rig.panel(3), QStringLiteral("Given Up: 0"));
        QVERIFY(rig.settings.writes.contains(QStringLiteral("GamesGiveUp=0")));
        break;
    case Qt::Key_Q:
        QTRY_VERIFY(!rig.window->isVisible());
        QVERIFY(rig.settings.writes.contains(QStringLiteral("GamesGiveUp=1")));
        QVERIFY(rig.catalogue.closed);
        break;
    }
}

void TestGameWindow::tabOrder()
{
    Rig rig(pictureRoot.path(), kShortTitle);
    QVERIFY(rig.active());
    // The focus chain, counting only what Tab stops at.
    QStringList stops;
    QWidget *w = rig.letterBox();
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            stops << w->objectName();
        w = w->nextInFocusChain();
    } while (w != rig.letterBox());
    QCOMPARE(stops, QStringList({"txtGuessLetter", "txtGuessWord", "cmdNew"}));
    for (const char *name : {"cmdGuessLetter", "cmdGuessWord", "cmdGiveUp", "lstIncorrect"})
        QCOMPARE(rig.get(name)->focusPolicy(), Qt::ClickFocus);
    for (const char *name : {"lblClue", "lblCurrentTitle", "imgGallows", "stsBar"})
        QCOMPARE(rig.get(name)->focusPolicy(), Qt::NoFocus);

    // While a game runs New Game is hidden: Tab cycles between the boxes.
    QTRY_COMPARE(QApplication::focusWidget(), rig.letterBox());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), rig.titleBox());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), rig.letterBox());
}

void TestGameWindow::letterBoxTakesOneCharacter()
{
    Rig rig(pictureRoot.path(), kShortTitle);
    QCOMPARE(rig.letterBox()->maxLength(), 1);
    QTest::keyClicks(rig.letterBox(), QStringLiteral("ab"));
    QCOMPARE(rig.letterBox()->text(), QStringLiteral("a"));
    QCOMPARE(rig.game->state().txtGuessLetter.text, QStringLiteral("a"));
    QTest::keyClicks(rig.titleBox(), QStringLiteral("half"));
    QCOMPARE(rig.game->state().txtGuessWord.text, QStringLiteral("half"));
}

void TestGameWindow::enterIsSwallowedAndRouted_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("listed");
    const QString letter = QStringLiteral("Please enter a letter, stupid!");
    const QString title = QStringLiteral("Please enter the full title of this game!");
    QTest::newRow("empty letter box, keypad") << "txtGuessLetter" << true << "" << letter << QStringList();
    QTest::newRow("wrong letter") << "txtGuessLetter" << false << "q" << "" << QStringList{"Q"};
    QTest::newRow("right letter") << "txtGuessLetter" << true << "l" << "" << QStringList();
    QTest::newRow("one-character title") << "txtGuessWord" << false << "h" << title << QStringList();
    QTest::newRow("wrong title, keypad") << "txtGuessWord" << true << "Half Life" << "" << QStringList{"Half Life"};
}

void TestGameWindow::enterIsSwallowedAndRouted()
{
    QFETCH(QString, box);
    QFETCH(bool, keypad);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QStringList, listed);
    Rig rig(pictureRoot.path(), kShortTitle);
    auto *edit = qobject_cast<QLineEdit *>(rig.window->control(box));
    EnterWatch watch;
    rig.window->centralWidget()->installEventFilter(&watch);
    rig.window->installEventFilter(&watch);

    QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, keypad ? Qt::Key_Enter : Qt::Key_Return,
                    keypad ? Qt::KeypadModifier : Qt::NoModifier);

    QCOMPARE(rig.messages.shown, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(edit->text(), QString());
    QCOMPARE(watch.seen, 0);
    QStringList shown;
    for (int i = 0; i < rig.get<QListWidget>("lstIncorrect")->count(); ++i)
        shown << rig.get<QListWidget>("lstIncorrect")->item(i)->text();
    QCOMPARE(shown, listed);
    if (typed == QLatin1String("l")) // both L cells uncovered
        QCOMPARE(rig.window->letterCells()[3]->text(), QStringLiteral("L"));
}

void TestGameWindow::winLeavesOnlyNewGame()
{
    Rig rig(pictureRoot.path(), kShortTitle);
    rig.guessLetters(QStringLiteral("HALFIE"));

    QVERIFY(rig.get("cmdNew")->isVisible());
    QVERIFY(!rig.get("cmdGiveUp")->isVisible());
    for (const char *name : {"txtGuessLetter", "txtGuessWord", "cmdGuessLetter", "cmdGuessWord"})
        QVERIFY2(!rig.get(name)->isEnabled(), name);
    QStringList board;
    for (QLabel *cell : rig.window->letterCells().mid(1))
        board << cell->text();
    QCOMPARE(board.join(QString()), QStringLiteral("HALF-LIFE"));
    QCOMPARE(rig.panel(1), QStringLiteral("Games Won: 1"));

    // New Game swaps the buttons back and opens the guess controls again.
    QTest::mouseClick(rig.get<QPushButton>("cmdNew"), Qt::LeftButton);
    rig.finishReveal();
    QVERIFY(!rig.get("cmdNew")->isVisible());
    QVERIFY(rig.get("cmdGiveUp")->isVisible());
    QVERIFY(rig.letterBox()->isEnabled());
    QVERIFY(rig.window->letterCells()[1]->text().isEmpty());
}

void TestGameWindow::lossUncoversAndFocusesNewGame()
{
    Rig rig(pictureRoot.path(), kShortTitle);
    QVERIFY(rig.active());
    rig.guessLetters(QStringLiteral("BCDGJKMNO"));

    QCOMPARE(rig.get<QListWidget>("lstIncorrect")->count(), 9);
    QVERIFY(rig.get("cmdNew")->isVisible());
    QCOMPARE(QApplication::focusWidget(), rig.get("cmdNew"));
    QCOMPARE(rig.window->letterCells()[1]->text(), QStringLiteral("H"));
    QCOMPARE(rig.panel(2), QStringLiteral("Games Lost: 1"));
    QCOMPARE(rig.get<QLabel>("imgGallows")->pixmap().toImage(),
             rig.pictures.pixmap(QStringLiteral("Data/Gallows/Graphics/9.gif")).toImage());
}

// A picture of another size than its box fills the box all the same; the
// next one, of the shipped size, shows pixel for pixel.
void TestGameWindow::pictureFillsItsBox()
{
    QTemporaryDir root;
    writePictures(root.path());
    QImage small(58, 39, QImage::Format_RGB32);
    small.fill(Qt::red);
    QVERIFY(small.save(root.filePath(QStringLiteral("Data/Gallows/Graphics/0.gif")), "PNG"));
    Rig rig(root.path(), kShortTitle);
    QVERIFY(rig.active());
    auto *picture = rig.get<QLabel>("imgGallows");
    QCOMPARE(picture->size(), QSize(232, 156));
    const QImage shown = picture->grab().toImage();
    for (const QPoint corner : {QPoint(1, 1), QPoint(230, 1), QPoint(1, 154), QPoint(230, 154)})
        QCOMPARE(QColor(shown.pixel(corner)), QColor(Qt::red));

    rig.guessLetters(QStringLiteral("B"));
    const QImage next = picture->grab().toImage();
    QCOMPARE(next.convertToFormat(QImage::Format_RGB32),
             QImage(root.filePath(QStringLiteral("Data/Gallows/Graphics/1.gif"))).convertToFormat(QImage::Format_RGB32));
}

void TestGameWindow::giveUpCountsAndLaysOutANewBoard()
{
    Rig rig(pictureRoot.path(), {QStringLiteral("Half-Life"), QStringLiteral("Cats & Dogs")});
    rig.guessLetters(QStringLiteral("Q"));
    QCOMPARE(rig.get<QListWidget>("lstIncorrect")->count(), 1);

    rig.random.queue = {0.99}; // the next draw is the second title
    QTest::mouseClick(rig.get<QPushButton>("cmdGiveUp"), Qt::LeftButton);
    QCOMPARE(rig.panel(3), QStringLiteral("Given Up: 1"));
    QCOMPARE(rig.panel(4), QStringLiteral("Games Played: 1"));
    QCOMPARE(rig.get<QListWidget>("lstIncorrect")->count(), 0);
    const QVector<QLabel *> &cells = rig.window->letterCells();
    QCOMPARE(cells.size(), 1 + 11);
    for (QLabel *cell : cells)
        QVERIFY(cell->isHidden()); // laid out, not yet revealed
    rig.finishReveal();
    QStringList board;
    for (QLabel *cell : cells.mid(1)) {
        QVERIFY(!cell->isHidden());
        if (cell->frameShape() == QFrame::NoFrame)
            board << QStringLiteral(" ");
        else
            board << (cell->text().isEmpty() ? QStringLiteral("_") : cell->text());
    }
    QCOMPARE(board.join(QString()), QStringLiteral("____ & ____")); // never uncovered
}

void TestGameWindow::ampersandCellShowsItsCharacter()
{
    Rig rig(pictureRoot.path(), {QStringLiteral("Cats & Dogs")});
    QLabel *amp = rig.window->letterCells()[6];
    QCOMPARE(amp->text(), QStringLiteral("&"));
    QCOMPARE(amp->textFormat(), Qt::PlainText);
    // A white box with a dark glyph in it; the space before it is a gap.
    const QImage image = amp->grab().toImage();
    const QColor base = amp->palette().color(QPalette::Base);
    QCOMPARE(image.pixelColor(2, 2), base);
    int dark = 0;
    for (int y = 2; y < image.height() - 2; ++y)
        for (int x = 2; x < image.width() - 2; ++x)
            dark += image.pixelColor(x, y).lightness() < 100;
    QVERIFY2(dark >= 8, qPrintable(QString::number(dark)));
    QLabel *gap = rig.window->letterCells()[5];
    QCOMPARE(gap->frameShape(), QFrame::NoFrame);
    QVERIFY(!gap->autoFillBackground());
}

void TestGameWindow::menuChecksFollowTheState_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<bool>("clueShown");
    QTest::newRow("first run") << QStringList() << QStringList{"mnuClue5", "mnuSounds1", "mnuStats"} << true;
    QTest::newRow("no clues") << QStringList{"mnuClue1"} << QStringList{"mnuClue1", "mnuSounds1", "mnuStats"} << false;
    QTest::newRow("silence") << QStringList{"mnuSounds4"} << QStringList{"mnuClue5", "mnuSounds4", "mnuStats"} << true;
    QTest::newRow("stats off") << QStringList{"mnuStats"} << QStringList{"mnuClue5", "mnuSounds1"} << true;
}

void TestGameWindow::menuChecksFollowTheState()
{
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, checked);
    QFETCH(bool, clueShown);
    Rig rig(pictureRoot.path(), kShortTitle);
    for (const QString &name : clicks)
        rig.window->menuItem(name)->trigger();
    QStringList marks;
    for (const char *name : {"mnuClue1", "mnuClue2", "mnuClue3", "mnuClue4", "mnuClue5", "mnuSounds1",
                             "mnuSounds2", "mnuSounds3", "mnuSounds4", "mnuStats"}) {
        if (rig.window->menuItem(QLatin1String(name))->isChecked())
            marks << QLatin1String(name);
    }
    QCOMPARE(marks, checked);
    QCOMPARE(rig.get("lblClue")->isVisible(), clueShown);
    QCOMPARE(rig.settings.values.value(QStringLiteral("SaveStats")),
             checked.contains(QStringLiteral("mnuStats")) ? QStringLiteral("True") : QStringLiteral("False"));
}

void TestGameWindow::closing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("saves");
    QTest::newRow("close box") << "close" << true;
    QTest::newRow("Game > Exit") << "exit" << true;
    QTest::newRow("Ctrl+Q") << "ctrl+q" << true;
    QTest::newRow("discarded") << "discard" << false;
}

void TestGameWindow::closing()
{
    QFETCH(QString, how);
    QFETCH(bool, saves);
    Rig rig(pictureRoot.path(), kShortTitle);
    QVERIFY(rig.active());
    rig.settings.writes.clear();
    if (how == QLatin1String("close") || how == QLatin1String("discard")) {
        if (how == QLatin1String("discard"))
            rig.window->discardWithoutSaving();
        rig.window->close();
    } else if (how == QLatin1String("exit")) {
        rig.window->menuItem(QStringLiteral("mnuExit"))->trigger();
    } else {
        QTest::keyClick(rig.window.get(), Qt::Key_Q, Qt::ControlModifier);
    }
    QVERIFY(!rig.window->isVisible());
    QCOMPARE(rig.settings.writes.contains(QStringLiteral("Sounds=1")), saves);
    QCOMPARE(rig.catalogue.closed, saves);

    // A second close does not ask the rules again.
    QSignalSpy asked(rig.game.get(), &GallowsGame::stateChanged);
    rig.window->show();
    rig.window->close();
    QCOMPARE(asked.count(), 0);
}

void TestGameWindow::failureInALaterGameClosesTheWindow()
{
    Rig rig(pictureRoot.path(), kShortTitle);
    rig.catalogue.vanished.insert(0);
    QTest::mouseClick(rig.get<QPushButton>("cmdGiveUp"), Qt::LeftButton);
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY(rig.window->isVisible()); // the close is queued
    QTRY_VERIFY(!rig.window->isVisible());
    QVERIFY(rig.settings.writes.contains(QStringLiteral("GamesGiveUp=1")));
}

void TestGameWindow::giveUpTip()
{
    Rig rig(pictureRoot.path(), kShortTitle);
    QVERIFY(rig.active());
    auto *button = rig.get<QPushButton>("cmdGiveUp");
    GiveUpTip *tip = rig.window->giveUpTip();
    QVERIFY(tip && !tip->isVisible());

    const QPoint local = button->rect().center();
    QHelpEvent hover(QEvent::ToolTip, local, button->mapToGlobal(local));
    QApplication::sendEvent(button, &hover);
    QVERIFY(tip->isVisible());
    QVERIFY(tip->windowFlags().testFlag(Qt::ToolTip));
    QCOMPARE(tip->title(), QStringLiteral("Oh you coward!"));
    QCOMPARE(tip->text(), QStringLiteral("Giving up is bad for your statistics."));
    // Made on the first showing: the icon, the bold title over the text.
    const auto *icon = tip->findChild<QLabel *>(QStringLiteral("giveUpTipIcon"));
    const auto *heading = tip->findChild<QLabel *>(QStringLiteral("giveUpTipTitle"));
    const auto *body = tip->findChild<QLabel *>(QStringLiteral("giveUpTipText"));
    QVERIFY(icon && heading && body);
    QVERIFY(!icon->pixmap().isNull());
    QCOMPARE(heading->text(), tip->title());
    QVERIFY(heading->font().bold() && !body->font().bold());
    QCOMPARE(body->text(), tip->text());
    QVERIFY(heading->geometry().bottom() < body->geometry().top());
    QVERIFY(tip->geometry().top() > button->mapToGlobal(local).y()); // just below the pointer
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    QVERIFY(!tip->isVisible());
}

void TestGameWindow::keysOnAFocusedButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    for (const char *button : {"cmdNew", "cmdGiveUp", "cmdGuessLetter", "cmdGuessWord"}) {
        QTest::addRow("Return on %s", button) << button << int(Qt::Key_Return);
        QTest::addRow("keypad Enter on %s", button) << button << int(Qt::Key_Enter);
        QTest::addRow("Space on %s", button) << button << int(Qt::Key_Space);
    }
}

// Enter, keypad Enter and Space press the focused button, once. New Game is
// reached as a player reaches it: a lost game puts the focus there.
void TestGameWindow::keysOnAFocusedButton()
{
    QFETCH(QString, button);
    QFETCH(int, key);
    Rig rig(pictureRoot.path(), kShortTitle);
    QVERIFY(rig.active());
    auto *target = qobject_cast<QPushButton *>(rig.window->control(button));
    if (button == QLatin1String("cmdNew"))
        rig.guessLetters(QStringLiteral("BCDGJKMNO"));
    else
        target->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), target);
    QSignalSpy clicked(target, &QPushButton::clicked);
    QTest::keyClick(target, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(clicked.count(), 1);
    if (button == QLatin1String("cmdNew")) { // the next game is on
        QVERIFY(rig.letterBox()->isEnabled());
        QVERIFY(!target->isVisible());
    }
}

void TestGameWindow::focusedButtonShowsIt_data()
{
    QTest::addColumn<QString>("button");
    for (const char *button : {"cmdNew", "cmdGiveUp", "cmdGuessLetter", "cmdGuessWord"})
        QTest::newRow(button) << button;
}

// The button with the focus looks different from the same button without it,
// also when the focus was put there by the game rather than by Tab.
void TestGameWindow::focusedButtonShowsIt()
{
    QFETCH(QString, button);
    Rig rig(pictureRoot.path(), kShortTitle);
    QVERIFY(rig.active());
    auto *target = qobject_cast<QPushButton *>(rig.window->control(button));
    if (button == QLatin1String("cmdNew"))
        rig.guessLetters(QStringLiteral("BCDGJKMNO")); // lost: New Game is up, and focused
    QVERIFY(target->isVisible() && target->isEnabled());
    rig.get<QListWidget>("lstIncorrect")->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(!target->hasFocus());
    const QImage without = target->grab().toImage();
    target->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(target->hasFocus());
    QVERIFY2(target->grab().toImage() != without, "the focused button looks the same as an unfocused one");
}

void TestGameWindow::enterAfterAWinStartsTheNextGame_data()
{
    QTest::addColumn<bool>("byTitle");
    QTest::addColumn<bool>("byClick");
    QTest::newRow("letters, Enter in the box") << false << false;
    QTest::newRow("title, Enter in the box") << true << false;
    QTest::newRow("title, Guess Title clicked") << true << true;
}

// After a win New Game has the focus, whatever had it before, and Enter
// starts the next game.
void TestGameWindow::enterAfterAWinStartsTheNextGame()
{
    QFETCH(bool, byTitle);
    QFETCH(bool, byClick);
    Rig rig(pictureRoot.path(), kShortTitle);
    QVERIFY(rig.active());
    if (!byTitle) {
        rig.guessLetters(QStringLiteral("HALFIE"));
    } else {
        QTest::keyClicks(rig.titleBox(), QStringLiteral("half-life"));
        if (byClick)
            QTest::mouseClick(rig.get<QPushButton>("cmdGuessWord"), Qt::LeftButton);
        else
            QTest::keyClick(rig.titleBox(), Qt::Key_Return);
    }
    QCOMPARE(rig.panel(1), QStringLiteral("Games Won: 1"));
    QTRY_COMPARE(QApplication::focusWidget(), rig.get("cmdNew"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(!rig.get("cmdNew")->isVisible());
    QVERIFY(rig.letterBox()->isEnabled());
}

// A message box opened while the board is being revealed does not stop the
// window from showing each new cell as its tick comes.
void TestGameWindow::revealGoesOnUnderAMessageBox()
{
    Rig rig(pictureRoot.path(), kShortTitle, false);
    auto shownCells = [&] {
        int n = 0;
        for (QLabel *cell : rig.window->letterCells().mid(1))
            n += !cell->isHidden();
        return n;
    };
    rig.game->tmrLoad_Timer();
    QCOMPARE(shownCells(), 1);
    QList<int> seen;
    rig.messages.whileOpen = [&] {
        for (int tick = 0; tick < 3; ++tick) {
            rig.game->tmrLoad_Timer();
            seen << shownCells();
        }
    };
    QTest::keyClick(rig.letterBox(), Qt::Key_Return); // an empty guess: its message
    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(seen, QList<int>({2, 3, 4}));
    QVERIFY(rig.ticker.running); // the reveal goes on after the box
}

QTEST_MAIN(TestGameWindow)
#include "tst_game_window.moc"
