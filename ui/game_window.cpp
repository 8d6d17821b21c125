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

GameWindow::GameWindow(GameRules &rules, QtPictureSource &pictures, QWidget *parent)
    : QMainWindow(parent), m_rules(rules), m_pictures(pictures)
{
    setObjectName(QStringLiteral("frmGallows"));
    setWindowTitle(QString::fromLatin1(kGameTitle));
    // Fixed frame: minimise and close, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setAccessibleName(QString::fromLatin1(kGameTitle));

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

    connect(&m_rules, &GameRules::stateChanged, this, &GameWindow::bindState);
    bindState();
}

GameWindow::~GameWindow() = default;

QFont GameWindow::controlFont()
{
    return sansFont();
}

// ---------------------------------------------------------------- building

void GameWindow::createControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    m_client->setFixedSize(px(kClientWidth), px(kStatusTopTwips));
    m_client->setAccessibleName(QStringLiteral("Game"));
    setCentralWidget(m_client);

    auto button = [this](const char *name, const QString &caption, const QRect &where,
                         Qt::FocusPolicy focus, const QString &accessible) {
        auto *b = new GameButton(caption, m_client);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(where);
        b->setFont(sansFont());
        b->setFocusPolicy(focus);
        b->setAccessibleName(accessible);
        m_controls.insert(b->objectName(), b);
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
        m_controls.insert(l->objectName(), l);
        return l;
    };
    auto box = [this](const char *name, const QRect &where, const QString &accessible) {
        auto *t = new GuessBox(m_client);
        t->setObjectName(QLatin1String(name));
        t->setGeometry(where);
        t->setFont(sansFont());
        t->setFocusPolicy(Qt::StrongFocus);
        t->setAccessibleName(accessible);
        m_controls.insert(t->objectName(), t);
        return t;
    };

    // Created in the design's order, which is also the stacking order.
    const QRect buttonPlace = twipRect(2520, 3840, 1095, 315);
    m_giveUpButton = button("cmdGiveUp", QStringLiteral("Give &Up"), buttonPlace, Qt::ClickFocus,
                       QStringLiteral("Give Up"));
    m_newGameButton = button("cmdNew", QStringLiteral("&New Game"), buttonPlace, Qt::StrongFocus,
                    QStringLiteral("New Game"));
    m_titleBox = box("txtGuessWord", twipRect(3720, 3840, 2655, 315), QStringLiteral("Title guess"));
    m_letterBox = box("txtGuessLetter", twipRect(120, 3840, 375, 315), QStringLiteral("Letter guess"));
    m_letterBox->setMaxLength(1);

    m_incorrectList = new QListWidget(m_client);
    m_incorrectList->setObjectName(QStringLiteral("lstIncorrect"));
    m_incorrectList->setGeometry(twipRect(3720, 1365, 3855, 2400));
    m_incorrectList->setFont(sansFont());
    m_incorrectList->setFocusPolicy(Qt::ClickFocus);
    m_incorrectList->setSortingEnabled(false);
    m_incorrectList->setAccessibleName(QStringLiteral("Incorrect guesses"));
    m_controls.insert(m_incorrectList->objectName(), m_incorrectList);

    m_guessLetterButton = button("cmdGuessLetter", QStringLiteral("Guess &Letter"),
                            twipRect(600, 3840, 1095, 315), Qt::ClickFocus,
                            QStringLiteral("Guess Letter"));
    m_guessTitleButton = button("cmdGuessWord", QStringLiteral("Guess &Title"),
                          twipRect(6480, 3840, 1095, 315), Qt::ClickFocus,
                          QStringLiteral("Guess Title"));

    // The status bar: four inset panels of fixed width along the bottom.
    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("stsBar"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusBar->setFont(sansFont());
    m_statusBar->setFixedHeight(px(kStatusHeightTwips));
    m_statusBar->setFocusPolicy(Qt::NoFocus);
    m_statusBar->setAccessibleName(QStringLiteral("Statistics"));
    setStatusBar(m_statusBar);
    m_controls.insert(m_statusBar->objectName(), m_statusBar);
    for (int i = 0; i < 4; ++i) {
        auto *panel = new QLabel(m_statusBar);
        panel->setObjectName(QStringLiteral("stsPanel%1").arg(i + 1));
        panel->setFont(sansFont());
        panel->setTextFormat(Qt::PlainText);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setLineWidth(1);
        panel->setIndent(3);
        panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        panel->setGeometry(px(i * kPanelWidthTwips), 2, px(kPanelWidthTwips),
                           px(kStatusHeightTwips) - 3);
        m_statusPanels[size_t(i)] = panel;
        m_controls.insert(panel->objectName(), panel);
    }

    m_clueLabel = label(m_client, "lblClue", twipRect(1485, 120, 6090, 255),
                    Qt::AlignRight | Qt::AlignTop, QStringLiteral("Clue"));

    // The letter cells live on a see-through band over the top of the window,
    // placed in the client area's own coordinates.
    m_board = new QWidget(m_client);
    m_board->setObjectName(QStringLiteral("board"));
    m_board->setGeometry(0, 0, px(kClientWidth), px(kBoardBottomTwips));
    m_board->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_board->setFocusPolicy(Qt::NoFocus);

    m_titleCaption = label(m_client, "lblCurrentTitle", twipRect(120, 120, 2655, 255),
                            Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Current Game Title"));
    m_titleCaption->setText(QStringLiteral("Current Game Title:"));

    m_picture = label(m_client, "imgGallows", twipRect(120, 1365, 3480, 2340),
                       Qt::AlignCenter, QStringLiteral("Gallows"));
    m_picture->setScaledContents(true);

    m_giveUpTip = new GiveUpTip(m_giveUpButton, kTipTitle, kTipText);

    // Tab goes letter box, title box, New Game; the rest take the focus by
    // click, access key or the rules only.
    setTabOrder(m_letterBox, m_titleBox);
    setTabOrder(m_titleBox, m_newGameButton);
}

QLabel *GameWindow::makeCell()
{
    auto *cell = new QLabel(m_board);
    cell->setObjectName(QStringLiteral("txtLetter"));
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

void GameWindow::createMenus()
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
        m_controls.insert(m->objectName(), m);
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
        m_actions.insert(a->objectName(), a);
        return a;
    };

    QMenu *gameMenu = menu(bar, "mnuGame", QStringLiteral("Game"));
    bar->addMenu(gameMenu);
    m_exitAction = item(gameMenu, "mnuExit", QStringLiteral("Exit"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu *optionsMenu = menu(bar, "mnuOptions", QStringLiteral("Options"));
    bar->addMenu(optionsMenu);
    QMenu *cluesMenu = menu(optionsMenu, "mnuClues", QStringLiteral("Clues"));
    optionsMenu->addMenu(cluesMenu);
    for (int level = 1; level <= 5; ++level) {
        const QByteArray name = "mnuClue" + QByteArray::number(level);
        QAction *a = item(cluesMenu, name.constData(), clueLevelCaption(level));
        a->setCheckable(true);
        m_clueActions[size_t(level - 1)] = a;
    }
    QMenu *soundsMenu = menu(optionsMenu, "mnuSoundsParent", QStringLiteral("Sounds"));
    optionsMenu->addMenu(soundsMenu);
    const QStringList soundCaptions = {
        QStringLiteral("All Enabled"), QStringLiteral("Only when a guess is correct"),
        QStringLiteral("Only at win and lose screens"), QStringLiteral("Total silence")};
    for (int level = 1; level <= 4; ++level) {
        const QByteArray name = "mnuSounds" + QByteArray::number(level);
        QAction *a = item(soundsMenu, name.constData(), soundCaptions[level - 1]);
        a->setCheckable(true);
        m_soundActions[size_t(level - 1)] = a;
    }
    m_saveStatisticsAction = item(optionsMenu, "mnuStats", QStringLiteral("Save Statistics on Exit"));
    m_saveStatisticsAction->setCheckable(true);
    m_saveStatisticsAction->setChecked(true);
    QAction *separator = optionsMenu->addSeparator();
    separator->setObjectName(QStringLiteral("mnuSep2"));
    m_actions.insert(separator->objectName(), separator);
    m_resetAction = item(optionsMenu, "mnuReset", QStringLiteral("Reset Statistics"),
                    QKeySequence(Qt::CTRL | Qt::Key_R));

    QMenu *helpMenu = menu(bar, "mnuHelp", QStringLiteral("Help"));
    bar->addMenu(helpMenu);
    m_aboutAction = item(helpMenu, "mnuAbout", QStringLiteral("About"), QKeySequence(Qt::CTRL | Qt::Key_A));

    // The guess boxes leave the menu shortcuts to the menus.
    const QList<QKeySequence> shortcuts = {m_exitAction->shortcut(), m_resetAction->shortcut(),
                                           m_aboutAction->shortcut()};
    m_letterBox->setMenuShortcuts(shortcuts);
    m_titleBox->setMenuShortcuts(shortcuts);
}

void GameWindow::connectControls()
{
    connect(m_newGameButton, &QPushButton::clicked, this, [this] { forward([this] { m_rules.newGame(); }); });
    connect(m_giveUpButton, &QPushButton::clicked, this, [this] {
        m_giveUpTip->hide();
        forward([this] { m_rules.giveUp(); });
    });
    connect(m_guessLetterButton, &QPushButton::clicked, this,
            [this] { forward([this] { m_rules.guessLetter(); }); });
    connect(m_guessTitleButton, &QPushButton::clicked, this,
            [this] { forward([this] { m_rules.guessTitle(); }); });

    connect(m_letterBox, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_rules.setLetterText(text); });
    connect(m_titleBox, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_rules.setTitleText(text); });
    m_letterBox->setEnterHandler([this] { forward([this] { m_rules.guessLetter(); }); });
    m_titleBox->setEnterHandler([this] { forward([this] { m_rules.guessTitle(); }); });

    // A menu click toggles the item's check by itself; the rules decide the
    // marks, so they are read back afterwards.
    for (int level = 1; level <= 5; ++level) {
        connect(m_clueActions[size_t(level - 1)], &QAction::triggered, this, [this, level] {
            forward([this, level] { m_rules.chooseClueLevel(level); });
            bindMenus();
        });
    }
    for (int level = 1; level <= 4; ++level) {
        connect(m_soundActions[size_t(level - 1)], &QAction::triggered, this, [this, level] {
            forward([this, level] { m_rules.chooseSoundLevel(level); });
            bindMenus();
        });
    }
    connect(m_saveStatisticsAction, &QAction::triggered, this, [this] {
        forward([this] { m_rules.toggleSaveStatistics(); });
        bindMenus();
    });
    connect(m_resetAction, &QAction::triggered, this, [this] { forward([this] { m_rules.resetStatistics(); }); });
    connect(m_exitAction, &QAction::triggered, this, &QWidget::close);
    connect(m_aboutAction, &QAction::triggered, this, &GameWindow::showAbout);
}

// A fresh About window every time, 1500 and 1200 twips right of and below
// this window's frame corner, wherever that lands (it is not pulled back onto
// the screen), modal over this window until it is closed.
void GameWindow::showAbout()
{
    QPointer<AboutDialog> about = new AboutDialog(this);
    about->move(frameGeometry().topLeft() + QPoint(px(1500), px(1200)));
    about->exec();
    delete about;
    // Without a window manager (or offscreen) nobody hands the keyboard
    // back to the owner once the About window is gone.
    activateWindow();
}

// ---------------------------------------------------------------- events

void GameWindow::pushTexts()
{
    m_rules.setLetterText(m_letterBox->text());
    m_rules.setTitleText(m_titleBox->text());
}

void GameWindow::forward(const std::function<void()> &handler)
{
    pushTexts();
    handler();
}

void GameWindow::closeEvent(QCloseEvent *event)
{
    m_giveUpTip->hide();
    if (!m_discarded && !m_closeHandled) {
        m_closeHandled = true;
        m_rules.saveAndClose();
    }
    event->accept();
}

// ---------------------------------------------------------------- binding

void GameWindow::bindState()
{
    const WindowState &s = m_rules.state();

    bindControl(m_giveUpButton, s.giveUpButton);
    bindControl(m_newGameButton, s.newGameButton);
    bindControl(m_guessLetterButton, s.guessLetterButton);
    bindControl(m_guessTitleButton, s.guessTitleButton);
    bindControl(m_letterBox, s.letterBox);
    bindControl(m_titleBox, s.titleBox);
    bindControl(m_incorrectList, s.incorrectList);
    bindControl(m_clueLabel, s.clueLabel);

    if (m_letterBox->text() != s.letterBox.text)
        m_letterBox->setText(s.letterBox.text);
    if (m_titleBox->text() != s.titleBox.text)
        m_titleBox->setText(s.titleBox.text);

    QStringList listed;
    listed.reserve(m_incorrectList->count());
    for (int i = 0; i < m_incorrectList->count(); ++i)
        listed.append(m_incorrectList->item(i)->text());
    if (listed != s.incorrectList.items) {
        m_incorrectList->clear();
        m_incorrectList->addItems(s.incorrectList.items);
        if (m_incorrectList->count() > 0)
            m_incorrectList->scrollToBottom();
    }

    if (m_clueLabel->text() != s.clueLabel.caption) {
        m_clueLabel->setText(s.clueLabel.caption);
        m_clueLabel->setAccessibleName(s.clueLabel.caption.isEmpty() ? QStringLiteral("Clue")
                                                              : s.clueLabel.caption);
        m_clueLabel->setAccessibleDescription(s.clueLabel.caption);
    }

    if (s.picture != m_shownPicture) {
        m_shownPicture = s.picture;
        const QPixmap picture = m_pictures.pixmap(m_shownPicture);
        if (picture.isNull())
            m_picture->clear();
        else
            m_picture->setPixmap(picture);
        m_picture->setAccessibleDescription(pictureDescription(m_shownPicture));
    }

    bindCells();

    for (size_t i = 0; i < m_statusPanels.size(); ++i) {
        if (m_statusPanels[i]->text() != s.statusPanels[i]) {
            m_statusPanels[i]->setText(s.statusPanels[i]);
            m_statusPanels[i]->setAccessibleName(s.statusPanels[i]);
        }
    }

    bindMenus();
    bindFocus();

    if (s.closeRequested && !m_closeQueued) {
        m_closeQueued = true;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void GameWindow::bindCells()
{
    const std::vector<Cell> &wanted = m_rules.state().cells;
    while (size_t(m_cells.size()) > wanted.size())
        delete m_cells.takeLast();
    while (size_t(m_cells.size()) < wanted.size())
        m_cells.append(makeCell());

    for (size_t i = 0; i < wanted.size(); ++i) {
        const Cell &c = wanted[i];
        QLabel *cell = m_cells[qsizetype(i)];
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

    const QString text = m_rules.state().boardText();
    m_board->setAccessibleName(QStringLiteral("Current game title: ") + text);
    m_board->setAccessibleDescription(text);
}

void GameWindow::bindMenus()
{
    const WindowState &s = m_rules.state();
    auto check = [](QAction *action, bool on) {
        const QSignalBlocker quiet(action);
        action->setChecked(on);
    };
    for (size_t i = 0; i < m_clueActions.size(); ++i)
        check(m_clueActions[i], s.clueChecks[i]);
    for (size_t i = 0; i < m_soundActions.size(); ++i)
        check(m_soundActions[i], s.soundChecks[i]);
    check(m_saveStatisticsAction, s.saveStatisticsChecked);
}

void GameWindow::bindFocus()
{
    const WindowState &s = m_rules.state();
    if (s.focusSerial == m_focusSerial)
        return;
    m_focusSerial = s.focusSerial;
    QWidget *target = nullptr;
    switch (s.focus) {
    case FocusTarget::LetterBox:
        target = m_letterBox;
        break;
    case FocusTarget::TitleBox:
        target = m_titleBox;
        break;
    case FocusTarget::NewGameButton:
        target = m_newGameButton;
        break;
    case FocusTarget::None:
        break;
    }
    if (target && target->isEnabled() && target->isVisibleTo(this))
        target->setFocus(Qt::OtherFocusReason);
}

} // namespace gallows
