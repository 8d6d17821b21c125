// frmGallows over the fakes: layout, captions, menus, keys, binding to the
// rules' state, closing, the Give Up tip, and screenshots to look at.

#include "fakes.h"
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
#include <QPainter>
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

// Stand-in gallows pictures, one more stroke per wrong guess; 10 is the win.
void writePictures(const QString &root)
{
    const QString folder = root + QStringLiteral("/Data/Gallows/Graphics");
    QDir().mkpath(folder);
    for (int n = 0; n <= 10; ++n) {
        QImage image(232, 156, QImage::Format_RGB32);
        image.fill(n == 10 ? QColor(220, 240, 220) : QColor(235, 235, 225));
        QPainter p(&image);
        p.setPen(QPen(QColor(90, 60, 30), 4));
        const QLine strokes[] = {{20, 145, 120, 145}, {40, 145, 40, 15}, {40, 15, 130, 15},
                                 {40, 40, 65, 15},    {130, 15, 130, 35}};
        for (int s = 0; s < 5 && s < (n == 10 ? 5 : n + 1); ++s)
            p.drawLine(strokes[s]);
        p.setPen(QPen(Qt::black, 3));
        const int x = n == 10 ? 185 : 130;
        if (n >= 5 || n == 10) p.drawEllipse(QPoint(x, 47), 11, 11);
        if (n >= 6 || n == 10) p.drawLine(x, 58, x, 100);
        if (n >= 7 || n == 10) p.drawLine(x, 70, x - 18, 85), p.drawLine(x, 70, x + 18, 85);
        if (n >= 8 || n == 10) p.drawLine(x, 100, x - 15, 130), p.drawLine(x, 100, x + 15, 130);
        p.end();
        image.save(QStringLiteral("%1/%2.gif").arg(folder).arg(n), "PNG");
    }
}

// The window with its open popups drawn where the screen shows them.
QImage composite(QWidget *window, const QList<QWidget *> &popups)
{
    QRect all = window->geometry();
    for (QWidget *popup : popups)
        all |= popup->geometry();
    QImage canvas(all.size(), QImage::Format_RGB32);
    canvas.fill(Qt::darkGray);
    QPainter p(&canvas);
    p.drawPixmap(window->geometry().topLeft() - all.topLeft(), window->grab());
    for (QWidget *popup : popups)
        p.drawPixmap(popup->geometry().topLeft() - all.topLeft(), popup->grab());
    return canvas;
}

struct Rig {
    FakeCatalogue catalogue;
    FakeSettings settings;
    FakeCues cues;
    FakeMessages messages;
    FakeRandom random;
    FakeTicker ticker;
    QtPictureSource pictures;
    std::unique_ptr<GallowsGame> game;
    std::unique_ptr<Window> window;

    Rig(const QString &pictureRoot, const QStringList &titles, bool reveal = true)
        : pictures(pictureRoot)
    {
        for (const QString &title : titles)
            catalogue.add(title);
        game = std::make_unique<GallowsGame>(
            Services{&catalogue, &settings, &cues, &messages, &random, &pictures, &ticker});
        game->Form_Load();
        window = std::make_unique<Window>(*game, pictures);
        window->show();
        window->activateWindow();
        game->new_game();
        if (reveal)
            finishReveal();
    }
    bool active() { return QTest::qWaitForWindowActive(window.get()); }
    void finishReveal()
    {
        for (int guard = 0; ticker.running && guard < 500; ++guard)
            game->tmrLoad_Timer();
    }
    template <class T = QWidget> T *get(const char *name) const
    {
        return qobject_cast<T *>(window->control(QLatin1String(name)));
    }
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
    void captionsFit_data();
    void captionsFit();
    void statusPanels();
    void menus_data();
    void menus();
    void accessKeys_data();
    void accessKeys();
    void menuShortcutsFromTheBoxes_data();
    void menuShortcutsFromTheBoxes();
    void tabOrder();
    void letterBoxTakesOneCharacter();
    void enterIsSwallowedAndRouted_data();
    void enterIsSwallowedAndRouted();
    void focusFollowsTheRules();
    void winLeavesOnlyNewGame();
    void lossUncoversAndFocusesNewGame();
    void giveUpCountsAndLaysOutANewBoard();
    void cellsFollowTheState_data();
    void cellsFollowTheState();
    void revealShowsCellsOneByOne();
    void ampersandCellShowsItsCharacter();
    void menuChecksFollowTheState_data();
    void menuChecksFollowTheState();
    void closing_data();
    void closing();
    void failureInALaterGameClosesTheWindow();
    void giveUpTip();
    void accessibility();
    void screenshots();

private:
    QTemporaryDir pictureRoot;
    QString shots;
    void save(const QImage &image, const QString &name);
};

void TestGameWindow::initTestCase()
{
    QVERIFY(pictureRoot.isValid());
    writePictures(pictureRoot.path());
    shots = qEnvironmentVariable("GALLOWS_SCREENSHOTS",
                                 QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots"));
    QVERIFY(QDir().mkpath(shots));
}

void TestGameWindow::save(const QImage &image, const QString &name)
{
    QVERIFY(!image.isNull());
    QVERIFY(image.save(shots + QLatin1Char('/') + name + QStringLiteral(".png")));
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

void TestGameWindow::captionsFit_data()
{
    QTest::addColumn<QString>("caption");
    QTest::newRow("cmdGiveUp") << "Give &Up";
    QTest::newRow("cmdNew") << "&New Game";
    QTest::newRow("cmdGuessLetter") << "Guess &Letter";
    QTest::newRow("cmdGuessWord") << "Guess &Title";
    QTest::newRow("lblCurrentTitle") << "Current Game Title:";
}

void TestGameWindow::captionsFit()
{
    QFETCH(QString, caption);
    Rig rig(pictureRoot.path(), kShortTitle);
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

void TestGameWindow::accessKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("afterWin");
    QTest::newRow("cmdGiveUp") << int(Qt::Key_U) << false;
    QTest::newRow("cmdGuessLetter") << int(Qt::Key_L) << false;
    QTest::newRow("cmdGuessWord") << int(Qt::Key_T) << false;
    QTest::newRow("cmdNew") << int(Qt::Key_N) << true;
}

void TestGameWindow::accessKeys()
{
    QFETCH(int, key);
    QFETCH(bool, afterWin);
    Rig rig(pictureRoot.path(), kShortTitle);
    QVERIFY(rig.active());
    if (afterWin)
        rig.guessLetters(QStringLiteral("HALFIE"));
    auto *button = rig.get<QPushButton>(QTest::currentDataTag());
    QVERIFY(button->isVisible() && button->isEnabled());
    QSignalSpy clicked(button, &QPushButton::clicked);
    rig.letterBox()->setFocus();
    QTest::keyClick(rig.window.get(), Qt::Key(key), Qt::AltModifier);
    QTRY_COMPARE(clicked.count(), 1);
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
    QTest::newRow("empty letter box") << "txtGuessLetter" << false << "" << letter << QStringList();
    QTest::newRow("empty letter box, keypad") << "txtGuessLetter" << true << "" << letter << QStringList();
    QTest::newRow("a space") << "txtGuessLetter" << false << " " << letter << QStringList();
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

void TestGameWindow::focusFollowsTheRules()
{
    Rig rig(pictureRoot.path(), kShortTitle);
    QVERIFY(rig.active());
    rig.titleBox()->setFocus();
    QTest::mouseClick(rig.get<QPushButton>("cmdGuessLetter"), Qt::LeftButton);
    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(QApplication::focusWidget(), rig.letterBox());
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
    QCOMPARE(rig.panel(4), QStringLiteral("Games Played: 1"));
    QCOMPARE(rig.get<QLabel>("imgGallows")->pixmap().toImage(),
             rig.pictures.pixmap(QStringLiteral("Data/Gallows/Graphics/10.gif")).toImage());

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

void TestGameWindow::cellsFollowTheState_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("rows");
    QTest::newRow("one word") << "Harbour" << 1;
    QTest::newRow("spaces and punctuation") << "Cats & Dogs!" << 1;
    QTest::newRow("two rows") << "The Legend of the Glass Wizard" << 2;
    QTest::newRow("three rows") << "The Long Voyage of the Brass Submarine under the Frozen Sea" << 3;
}

void TestGameWindow::cellsFollowTheState()
{
    QFETCH(QString, title);
    QFETCH(int, rows);
    Rig rig(pictureRoot.path(), {title});
    rig.guessLetters(QStringLiteral("E"));
    const std::vector<Cell> &state = rig.game->state().txtLetter;
    const QVector<QLabel *> &cells = rig.window->letterCells();
    QCOMPARE(size_t(cells.size()), state.size());
    QCOMPARE(cells[0]->geometry(), QRect(-13, 24, 17, 17)); // the template
    QVERIFY(cells[0]->isHidden());
    QCOMPARE(cells[1]->geometry(), QRect(7, 24, 17, 17));
    QSet<int> tops;
    for (size_t i = 0; i < state.size(); ++i) {
        const Cell &c = state[i];
        QLabel *cell = cells[qsizetype(i)];
        QCOMPARE(cell->objectName(), QStringLiteral("txtLetter"));
        QCOMPARE(cell->property("index").toInt(), int(i));
        QCOMPARE(cell->geometry(), QRect(px(c.left), px(c.top), 17, 17));
        QCOMPARE(cell->text(), c.caption);
        QCOMPARE(cell->isHidden(), !c.visible);
        QCOMPARE(cell->frameShape(), c.bordered ? QFrame::Box : QFrame::NoFrame);
        QCOMPARE(cell->autoFillBackground(), c.bordered);
        QCOMPARE(QFontInfo(cell->font()).family(), QStringLiteral("DejaVu Sans"));
        QVERIFY(QFontInfo(cell->font()).bold());
        if (i > 0)
            tops.insert(cell->y());
    }
    QCOMPARE(tops.size(), rows);
    QCOMPARE(rig.window->findChild<QWidget *>(QStringLiteral("board"))->accessibleDescription(),
             rig.game->state().boardText());
}

void TestGameWindow::revealShowsCellsOneByOne()
{
    Rig rig(pictureRoot.path(), kShortTitle, false);
    const QVector<QLabel *> &cells = rig.window->letterCells();
    QCOMPARE(cells.size(), 10);
    for (int shown = 1; shown <= 9; ++shown) {
        rig.game->tmrLoad_Timer();
        for (int i = 1; i <= 9; ++i)
            QCOMPARE(cells[i]->isHidden(), i > shown);
    }
    QVERIFY(!rig.ticker.running);
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
    QTest::newRow("clue 3") << QStringList{"mnuClue3"} << QStringList{"mnuClue3", "mnuSounds1", "mnuStats"} << true;
    QTest::newRow("clue 3 twice") << QStringList{"mnuClue3", "mnuClue3"}
                                  << QStringList{"mnuClue3", "mnuSounds1", "mnuStats"} << true;
    QTest::newRow("no clues") << QStringList{"mnuClue1"} << QStringList{"mnuClue1", "mnuSounds1", "mnuStats"} << false;
    QTest::newRow("silence") << QStringList{"mnuSounds4"} << QStringList{"mnuClue5", "mnuSounds4", "mnuStats"} << true;
    QTest::newRow("sounds 1 again") << QStringList{"mnuSounds1"} << QStringList{"mnuClue5", "mnuSounds1", "mnuStats"} << true;
    QTest::newRow("stats off") << QStringList{"mnuStats"} << QStringList{"mnuClue5", "mnuSounds1"} << true;
    QTest::newRow("stats off, on") << QStringList{"mnuStats", "mnuStats"}
                                   << QStringList{"mnuClue5", "mnuSounds1", "mnuStats"} << true;
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
    auto *title = tip->findChild<QLabel *>(QStringLiteral("giveUpTipTitle"));
    auto *icon = tip->findChild<QLabel *>(QStringLiteral("giveUpTipIcon"));
    QVERIFY(title->font().bold());
    QVERIFY(!icon->pixmap().isNull());
    QVERIFY(icon->geometry().bottom() < tip->findChild<QLabel *>(QStringLiteral("giveUpTipText"))->y());
    // Tooltip colours, just below the pointer.
    const QImage shot = tip->grab().toImage();
    QCOMPARE(shot.pixelColor(tip->width() - 4, tip->height() / 2),
             tip->palette().color(QPalette::ToolTipBase));
    QVERIFY(tip->geometry().top() > button->mapToGlobal(local).y());

    save(composite(rig.window.get(), {tip}), QStringLiteral("give-up-tip"));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    QVERIFY(!tip->isVisible());
}

void TestGameWindow::accessibility()
{
    Rig rig(pictureRoot.path(), kShortTitle);
    for (const char *name : {"cmdGiveUp", "cmdNew", "txtGuessWord", "txtGuessLetter", "lstIncorrect",
                             "cmdGuessLetter", "cmdGuessWord", "stsBar", "lblClue",
                             "lblCurrentTitle", "imgGallows", "stsPanel1", "stsPanel4"})
        QVERIFY2(!rig.get(name)->accessibleName().isEmpty(), name);
    rig.guessLetters(QStringLiteral("L"));
    auto *board = rig.window->findChild<QWidget *>(QStringLiteral("board"));
    QCOMPARE(board->accessibleDescription(), QStringLiteral("_ _ L _ - L _ _ _"));
    QVERIFY(board->accessibleName().contains(QStringLiteral("_ _ L _ - L _ _ _")));
}

void TestGameWindow::screenshots()
{
    Rig rig(pictureRoot.path(), {QStringLiteral("The Legend of the Glass Wizard: Part Two")});
    QVERIFY(rig.active());
    save(rig.window->grab().toImage(), QStringLiteral("fresh-board"));

    rig.guessLetters(QStringLiteral("EQTZSL"));
    QTest::keyClicks(rig.titleBox(), QStringLiteral("The Glass"));
    save(rig.window->grab().toImage(), QStringLiteral("half-guessed"));

    QTest::keyClick(rig.titleBox(), Qt::Key_Return);
    rig.guessLetters(QStringLiteral("HGANDOFRWIZ"));
    QVERIFY(rig.get("cmdNew")->isVisible());
    save(rig.window->grab().toImage(), QStringLiteral("won"));

    QTest::mouseClick(rig.get<QPushButton>("cmdNew"), Qt::LeftButton);
    rig.finishReveal();
    rig.guessLetters(QStringLiteral("BCJKMPQUV"));
    save(rig.window->grab().toImage(), QStringLiteral("lost"));

    // The Options menu with its Clues submenu open, drawn over the window.
    QMenuBar *bar = rig.window->menuBar();
    auto *options = qobject_cast<QMenu *>(rig.window->control(QStringLiteral("mnuOptions")));
    auto *clues = qobject_cast<QMenu *>(rig.window->control(QStringLiteral("mnuClues")));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(options->menuAction()).center());
    QTRY_VERIFY(options->isVisible());
    options->setActiveAction(clues->menuAction());
    QTest::keyClick(options, Qt::Key_Right);
    QTRY_VERIFY(clues->isVisible());
    save(composite(rig.window.get(), {options, clues}), QStringLiteral("options-menu"));
    clues->close();
    options->close();
}

QTEST_MAIN(TestGameWindow)
#include "tst_game_window.moc"
