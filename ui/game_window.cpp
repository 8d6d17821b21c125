#include "ui/game_window.h"

#include "ui/about_dialog.h"
#include "game/clues.h"
#include "ui/game_button.h"
#include "ui/give_up_tip.h"
#include "ui/guess_box.h"
#include "ui/qt_services.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>

namespace gallows {

namespace {

// The window is laid out in twips, 15 to a pixel.
int px(double twips)
{
    return qRound(twips / kTwipsPerPixel);
}

QRect twipRect(double left, double top, double width, double height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

constexpr int kPanelWidthTwips = 1900;
constexpr int kStatusTopTwips = 4245;
constexpr int kStatusHeightTwips = kClientHeight - kStatusTopTwips;
// The board band above the picture and the list, where the cells go.
constexpr int kBoardBottomTwips = 1365;

const QString kTipTitle = QStringLiteral("Oh you coward!");
const QString kTipText = QStringLiteral("Giving up is bad for your statistics.");

// The controls' own font (8.25 pt, set in pixels so the layout does not
// follow the screen's density), bold for the window itself.
QFont sansFont(bool bold = false)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setBold(bold);
    return font;
}

// Menus use the desktop's menu size (9 pt).
QFont menuFont()
{
    QFont font = sansFont();
    font.setPixelSize(12);
    return font;
}

QFont cellFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setBold(true);
    return font;
}

void bindControl(QWidget *widget, const Control &control)
{
    widget->setEnabled(control.enabled);
    widget->setVisible(control.visible);
}

// What the gallows picture shows, in words, for screen readers.
QString pictureDescription(const QString &relativePath)
{
    bool ok = false;
    const int n = QFileInfo(relativePath).completeBaseName().toInt(&ok);
    if (!ok)
        return QString();
    if (n == 0)
        return QStringLiteral("The gallows: no wrong guesses yet");
    if (n == 10)
        return QStringLiteral("Saved: the game is won");
    if (n >= 9)
        return QStringLiteral("Hanged: the game is lost");
    return QStringLiteral("The gallows: %1 of 9 strokes").arg(n);
}

QString cellAccessibleName(const Cell &cell)
{
    if (!cell.bordered)
        return QStringLiteral("space");
    if (cell.caption.isEmpty())
        return QStringLiteral("hidden letter");
    return cell.caption;
}

} // namespace

frmGallows::frmGallows(GallowsGame &gameRules, QtPictureSource &pictureSource, QWidget *parent)
    : QMainWindow(parent), game(gameRules), pictures(pictureSource)
{
    setObjectName(QStringLiteral("frmGallows"));
    setWindowTitle(QString::fromLatin1(kGameTitle));
    // Fixed frame: minimise and close, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setAccessibleName(QString::fromLatin1(kGameTitle));
    setWindowIcon(applicationIcon());

    createControls();
    createMenus();
    connectControls();
    // The window's own face (bold), set once every control has its own:
    // set first, each control would lay its text out in it while it is
    // made, loading a face that nothing shows.
    setFont(sansFont(true));

    // The client area below the menu bar is fixed; so is the window.
    setFixedSize(px(kClientWidth), menuBar()->sizeHint().height() + px(kClientHeight));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    connect(&game, &GallowsGame::stateChanged, this, &frmGallows::bindState);
    bindState();
}

frmGallows::~frmGallows() = default;

QFont frmGallows::controlFont()
{
    return sansFont();
}

// ---------------------------------------------------------------- building

void frmGallows::createControls()
{
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(px(kClientWidth), px(kStatusTopTwips));
    client->setAccessibleName(QStringLiteral("Game"));
    setCentralWidget(client);

    auto button = [this](const char *name, const QString &caption, const QRect &where,
                         Qt::FocusPolicy focus, const QString &accessible) {
        auto *b = new GameButton(caption, client);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(where);
        b->setFont(sansFont());
        b->setFocusPolicy(focus);
        b->setAccessibleName(accessible);
        controls.insert(b->objectName(), b);
        return b;
    };
    auto label = [this](QWidget *parent, const char *name, const QRect &where,
                        Qt::Alignment alignment, const QString &accessible) {
        auto *l = new QLabel(parent);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(where);
        l->setFont(sansFont());
        l->setTextFormat(Qt::PlainText);
        l->setAlignment(alignment);
        l->setFocusPolicy(Qt::NoFocus);
        l->setAutoFillBackground(false); // transparent
        l->setAccessibleName(accessible);
        controls.insert(l->objectName(), l);
        return l;
    };
    auto box = [this](const char *name, const QRect &where, const QString &accessible) {
        auto *t = new GuessBox(client);
        t->setObjectName(QLatin1String(name));
        t->setGeometry(where);
        t->setFont(sansFont());
        t->setFocusPolicy(Qt::StrongFocus);
        t->setAccessibleName(accessible);
        controls.insert(t->objectName(), t);
        return t;
    };

    // Created in the design's order, which is also the stacking order.
    const QRect buttonPlace = twipRect(2520, 3840, 1095, 315);
    cmdGiveUp = button("cmdGiveUp", QStringLiteral("Give &Up"), buttonPlace, Qt::ClickFocus,
                       QStringLiteral("Give Up"));
    cmdNew = button("cmdNew", QStringLiteral("&New Game"), buttonPlace, Qt::StrongFocus,
                    QStringLiteral("New Game"));
    txtGuessWord = box("txtGuessWord", twipRect(3720, 3840, 2655, 315), QStringLiteral("Title guess"));
    txtGuessLetter = box("txtGuessLetter", twipRect(120, 3840, 375, 315), QStringLiteral("Letter guess"));
    txtGuessLetter->setMaxLength(1);

    lstIncorrect = new QListWidget(client);
    lstIncorrect->setObjectName(QStringLiteral("lstIncorrect"));
    lstIncorrect->setGeometry(twipRect(3720, 1365, 3855, 2400));
    lstIncorrect->setFont(sansFont());
    lstIncorrect->setFocusPolicy(Qt::ClickFocus);
    lstIncorrect->setSortingEnabled(false);
    lstIncorrect->setAccessibleName(QStringLiteral("Incorrect guesses"));
    controls.insert(lstIncorrect->objectName(), lstIncorrect);

    cmdGuessLetter = button("cmdGuessLetter", QStringLiteral("Guess &Letter"),
                            twipRect(600, 3840, 1095, 315), Qt::ClickFocus,
                            QStringLiteral("Guess Letter"));
    cmdGuessWord = button("cmdGuessWord", QStringLiteral("Guess &Title"),
                          twipRect(6480, 3840, 1095, 315), Qt::ClickFocus,
                          QStringLiteral("Guess Title"));

    // The status bar: four inset panels of fixed width along the bottom.
    stsBar = new QStatusBar(this);
    stsBar->setObjectName(QStringLiteral("stsBar"));
    stsBar->setSizeGripEnabled(false);
    stsBar->setFont(sansFont());
    stsBar->setFixedHeight(px(kStatusHeightTwips));
    stsBar->setFocusPolicy(Qt::NoFocus);
    stsBar->setAccessibleName(QStringLiteral("Statistics"));
    setStatusBar(stsBar);
    controls.insert(stsBar->objectName(), stsBar);
    for (int i = 0; i < 4; ++i) {
        auto *panel = new QLabel(stsBar);
        panel->setObjectName(QStringLiteral("stsPanel%1").arg(i + 1));
        panel->setFont(sansFont());
        panel->setTextFormat(Qt::PlainText);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setLineWidth(1);
        panel->setIndent(3);
        panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        panel->setGeometry(px(i * kPanelWidthTwips), 2, px(kPanelWidthTwips),
                           px(kStatusHeightTwips) - 3);
        stsPanels[size_t(i)] = panel;
        controls.insert(panel->objectName(), panel);
    }

    lblClue = label(client, "lblClue", twipRect(1485, 120, 6090, 255),
                    Qt::AlignRight | Qt::AlignTop, QStringLiteral("Clue"));

    // The letter cells live on a see-through band over the top of the window,
    // placed in the client area's own coordinates.
    board = new QWidget(client);
    board->setObjectName(QStringLiteral("board"));
    board->setGeometry(0, 0, px(kClientWidth), px(kBoardBottomTwips));
    board->setAttribute(Qt::WA_TransparentForMouseEvents);
    board->setFocusPolicy(Qt::NoFocus);
    cells.append(makeCell(0));

    lblCurrentTitle = label(client, "lblCurrentTitle", twipRect(120, 120, 2655, 255),
                            Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Current Game Title"));
    lblCurrentTitle->setText(QStringLiteral("Current Game Title:"));

    imgGallows = label(client, "imgGallows", twipRect(120, 1365, 3480, 2340),
                       Qt::AlignCenter, QStringLiteral("Gallows"));
    imgGallows->setScaledContents(true);

    tip = new GiveUpTip(cmdGiveUp, kTipTitle, kTipText);

    // Tab goes letter box, title box, New Game; the rest take the focus by
    // click, access key or the rules only.
    setTabOrder(txtGuessLetter, txtGuessWord);
    setTabOrder(txtGuessWord, cmdNew);
}

QLabel *frmGallows::makeCell(int index)
{
    auto *cell = new QLabel(board);
    cell->setObjectName(QStringLiteral("txtLetter"));
    cell->setProperty("index", index);
    cell->setFont(cellFont());
    // Literal text: an "&" in a title is a character, not an access key.
    cell->setTextFormat(Qt::PlainText);
    cell->setAlignment(Qt::AlignCenter);
    cell->setFocusPolicy(Qt::NoFocus);
    cell->setAttribute(Qt::WA_TransparentForMouseEvents);
    // A white box with dark text: the desktop's window (text-entry)
    // background and text colours.
    cell->setBackgroundRole(QPalette::Base);
    cell->setForegroundRole(QPalette::Text);
    cell->setLineWidth(1);
    const Cell design;
    cell->setGeometry(px(design.left), px(design.top), px(kCellSize), px(kCellSize));
    cell->setFrameStyle(QFrame::Box | QFrame::Plain);
    cell->setAutoFillBackground(true);
    cell->hide();
    return cell;
}

void frmGallows::createMenus()
{
    QMenuBar *bar = menuBar();
    bar->setNativeMenuBar(false); // part of the fixed layout
    bar->setFont(menuFont());
    bar->setAccessibleName(QStringLiteral("Menu bar"));

    auto menu = [this](QWidget *parent, const char *name, const QString &title) {
        auto *m = new QMenu(title, parent);
        m->setObjectName(QLatin1String(name));
        m->setFont(menuFont());
        m->menuAction()->setObjectName(QLatin1String(name));
        m->setAccessibleName(title);
        controls.insert(m->objectName(), m);
        return m;
    };
    auto item = [this](QMenu *parent, const char *name, const QString &caption,
                       const QKeySequence &shortcut = QKeySequence()) {
        QAction *a = parent->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setMenuRole(QAction::NoRole);
        if (!shortcut.isEmpty()) {
            a->setShortcut(shortcut);
            a->setShortcutContext(Qt::WindowShortcut);
            a->setShortcutVisibleInContextMenu(true);
        }
        actions.insert(a->objectName(), a);
        return a;
    };

    QMenu *mnuGame = menu(bar, "mnuGame", QStringLiteral("Game"));
    bar->addMenu(mnuGame);
    mnuExit = item(mnuGame, "mnuExit", QStringLiteral("Exit"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu *mnuOptions = menu(bar, "mnuOptions", QStringLiteral("Options"));
    bar->addMenu(mnuOptions);
    QMenu *mnuClues = menu(mnuOptions, "mnuClues", QStringLiteral("Clues"));
    mnuOptions->addMenu(mnuClues);
    for (int level = 1; level <= 5; ++level) {
        const QByteArray name = "mnuClue" + QByteArray::number(level);
        QAction *a = item(mnuClues, name.constData(), clueLevelCaption(level));
        a->setCheckable(true);
        mnuClue[size_t(level - 1)] = a;
    }
    QMenu *mnuSoundsParent = menu(mnuOptions, "mnuSoundsParent", QStringLiteral("Sounds"));
    mnuOptions->addMenu(mnuSoundsParent);
    const QStringList soundCaptions = {
        QStringLiteral("All Enabled"), QStringLiteral("Only when a guess is correct"),
        QStringLiteral("Only at win and lose screens"), QStringLiteral("Total silence")};
    for (int level = 1; level <= 4; ++level) {
        const QByteArray name = "mnuSounds" + QByteArray::number(level);
        QAction *a = item(mnuSoundsParent, name.constData(), soundCaptions[level - 1]);
        a->setCheckable(true);
        mnuSounds[size_t(level - 1)] = a;
    }
    mnuStats = item(mnuOptions, "mnuStats", QStringLiteral("Save Statistics on Exit"));
    mnuStats->setCheckable(true);
    mnuStats->setChecked(true);
    QAction *separator = mnuOptions->addSeparator();
    separator->setObjectName(QStringLiteral("mnuSep2"));
    actions.insert(separator->objectName(), separator);
    mnuReset = item(mnuOptions, "mnuReset", QStringLiteral("Reset Statistics"),
                    QKeySequence(Qt::CTRL | Qt::Key_R));

    QMenu *mnuHelp = menu(bar, "mnuHelp", QStringLiteral("Help"));
    bar->addMenu(mnuHelp);
    mnuAbout = item(mnuHelp, "mnuAbout", QStringLiteral("About"), QKeySequence(Qt::CTRL | Qt::Key_A));

    // The guess boxes leave the menu shortcuts to the menus.
    const QList<QKeySequence> shortcuts = {mnuExit->shortcut(), mnuReset->shortcut(),
                                           mnuAbout->shortcut()};
    txtGuessLetter->setMenuShortcuts(shortcuts);
    txtGuessWord->setMenuShortcuts(shortcuts);
}

void frmGallows::connectControls()
{
    connect(cmdNew, &QPushButton::clicked, this, [this] { forward([this] { game.cmdNew_Click(); }); });
    connect(cmdGiveUp, &QPushButton::clicked, this, [this] {
        tip->hide();
        forward([this] { game.cmdGiveUp_Click(); });
    });
    connect(cmdGuessLetter, &QPushButton::clicked, this,
            [this] { forward([this] { game.cmdGuessLetter_Click(); }); });
    connect(cmdGuessWord, &QPushButton::clicked, this,
            [this] { forward([this] { game.cmdGuessWord_Click(); }); });

    connect(txtGuessLetter, &QLineEdit::textEdited, this,
            [this](const QString &text) { game.setGuessLetterText(text); });
    connect(txtGuessWord, &QLineEdit::textEdited, this,
            [this](const QString &text) { game.setGuessWordText(text); });
    txtGuessLetter->setEnterHandler([this] { forward([this] { game.txtGuessLetter_Enter(); }); });
    txtGuessWord->setEnterHandler([this] { forward([this] { game.txtGuessWord_Enter(); }); });

    // A menu click toggles the item's check by itself; the rules decide the
    // marks, so they are read back afterwards.
    for (int level = 1; level <= 5; ++level) {
        connect(mnuClue[size_t(level - 1)], &QAction::triggered, this, [this, level] {
            forward([this, level] { game.mnuClue_Click(level); });
            bindMenus();
        });
    }
    for (int level = 1; level <= 4; ++level) {
        connect(mnuSounds[size_t(level - 1)], &QAction::triggered, this, [this, level] {
            forward([this, level] { game.mnuSounds_Click(level); });
            bindMenus();
        });
    }
    connect(mnuStats, &QAction::triggered, this, [this] {
        forward([this] { game.mnuStats_Click(); });
        bindMenus();
    });
    connect(mnuReset, &QAction::triggered, this, [this] { forward([this] { game.mnuReset_Click(); }); });
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);
    connect(mnuAbout, &QAction::triggered, this, &frmGallows::mnuAbout_Click);
}

// A fresh About window every time, 1500 and 1200 twips right of and below
// this window's frame corner, wherever that lands (it is not pulled back onto
// the screen), modal over this window until it is closed.
void frmGallows::mnuAbout_Click()
{
    QPointer<frmAbout2> about = new frmAbout2(this);
    about->move(frameGeometry().topLeft() + QPoint(px(1500), px(1200)));
    about->exec();
    delete about;
    // Without a window manager (or offscreen) nobody hands the keyboard
    // back to the owner once the About window is gone.
    activateWindow();
}

// ---------------------------------------------------------------- events

void frmGallows::pushTexts()
{
    game.setGuessLetterText(txtGuessLetter->text());
    game.setGuessWordText(txtGuessWord->text());
}

void frmGallows::forward(const std::function<void()> &handler)
{
    pushTexts();
    handler();
}

void frmGallows::closeEvent(QCloseEvent *event)
{
    tip->hide();
    if (!discarded && !queried) {
        queried = true;
        game.Form_QueryUnload();
    }
    event->accept();
}

// ---------------------------------------------------------------- binding

void frmGallows::bindState()
{
    const WindowState &s = game.state();

    bindControl(cmdGiveUp, s.cmdGiveUp);
    bindControl(cmdNew, s.cmdNew);
    bindControl(cmdGuessLetter, s.cmdGuessLetter);
    bindControl(cmdGuessWord, s.cmdGuessWord);
    bindControl(txtGuessLetter, s.txtGuessLetter);
    bindControl(txtGuessWord, s.txtGuessWord);
    bindControl(lstIncorrect, s.lstIncorrect);
    bindControl(lblClue, s.lblClue);

    if (txtGuessLetter->text() != s.txtGuessLetter.text)
        txtGuessLetter->setText(s.txtGuessLetter.text);
    if (txtGuessWord->text() != s.txtGuessWord.text)
        txtGuessWord->setText(s.txtGuessWord.text);

    QStringList listed;
    listed.reserve(lstIncorrect->count());
    for (int i = 0; i < lstIncorrect->count(); ++i)
        listed.append(lstIncorrect->item(i)->text());
    if (listed != s.lstIncorrect.items) {
        lstIncorrect->clear();
        lstIncorrect->addItems(s.lstIncorrect.items);
        if (lstIncorrect->count() > 0)
            lstIncorrect->scrollToBottom();
    }

    if (lblClue->text() != s.lblClue.caption) {
        lblClue->setText(s.lblClue.caption);
        lblClue->setAccessibleName(s.lblClue.caption.isEmpty() ? QStringLiteral("Clue")
                                                              : s.lblClue.caption);
        lblClue->setAccessibleDescription(s.lblClue.caption);
    }

    if (s.imgGallows != shownPicture) {
        shownPicture = s.imgGallows;
        const QPixmap picture = pictures.pixmap(shownPicture);
        if (picture.isNull())
            imgGallows->clear();
        else
            imgGallows->setPixmap(picture);
        imgGallows->setAccessibleDescription(pictureDescription(shownPicture));
    }

    bindCells();

    for (size_t i = 0; i < stsPanels.size(); ++i) {
        if (stsPanels[i]->text() != s.stsBar[i]) {
            stsPanels[i]->setText(s.stsBar[i]);
            stsPanels[i]->setAccessibleName(s.stsBar[i]);
        }
    }

    bindMenus();
    bindFocus();

    if (s.closeRequested && !closeQueued) {
        closeQueued = true;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void frmGallows::bindCells()
{
    const std::vector<Cell> &wanted = game.state().txtLetter;
    while (size_t(cells.size()) > wanted.size())
        delete cells.takeLast();
    while (size_t(cells.size()) < wanted.size())
        cells.append(makeCell(int(cells.size())));

    for (size_t i = 0; i < wanted.size(); ++i) {
        const Cell &c = wanted[i];
        QLabel *cell = cells[qsizetype(i)];
        const QRect place(px(c.left), px(c.top), px(kCellSize), px(kCellSize));
        if (cell->geometry() != place)
            cell->setGeometry(place);
        if (cell->text() != c.caption)
            cell->setText(c.caption);
        // A space is a gap: no border and nothing painted behind it.
        cell->setFrameShape(c.bordered ? QFrame::Box : QFrame::NoFrame);
        cell->setAutoFillBackground(c.bordered);
        cell->setAccessibleName(cellAccessibleName(c));
        cell->setVisible(c.visible);
    }

    const QString text = game.state().boardText();
    board->setAccessibleName(QStringLiteral("Current game title: ") + text);
    board->setAccessibleDescription(text);
}

void frmGallows::bindMenus()
{
    const WindowState &s = game.state();
    auto check = [](QAction *action, bool on) {
        const QSignalBlocker quiet(action);
        action->setChecked(on);
    };
    for (size_t i = 0; i < mnuClue.size(); ++i)
        check(mnuClue[i], s.mnuClue[i]);
    for (size_t i = 0; i < mnuSounds.size(); ++i)
        check(mnuSounds[i], s.mnuSounds[i]);
    check(mnuStats, s.mnuStats);
}

void frmGallows::bindFocus()
{
    const WindowState &s = game.state();
    if (s.focusSerial == focusSerial)
        return;
    focusSerial = s.focusSerial;
    QWidget *target = controls.value(s.focus);
    if (target && target->isEnabled() && target->isVisibleTo(this))
        target->setFocus(Qt::OtherFocusReason);
}

} // namespace gallows
