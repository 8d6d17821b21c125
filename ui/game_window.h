#pragma once
// GameWindow, the game window. It holds no rules: it shows GameRules's
// state() in real widgets and hands every click, key and menu choice to the
// game. Each control carries its design name as its objectName.

#include "game/game_rules.h"

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QVector>

#include <array>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QStatusBar;

namespace gallows {

class GiveUpTip;
class GuessBox;
class QtPictureSource;

class GameWindow : public QMainWindow {
    Q_OBJECT
public:
    // `rules` and `pictures` must outlive the window.
    GameWindow(GameRules &rules, QtPictureSource &pictures, QWidget *parent = nullptr);
    ~GameWindow() override;

    // The controls' face (8.25 pt sans, set in pixels). The program makes it
    // the application's font too: message boxes then match the window, and
    // Qt, which lays a line edit's text out once in the application font
    // before the edit's own font applies, loads no second face for that.
    static QFont controlFont();

    // Later closes skip saveAndClose (nothing worth saving, or the
    // start-up failed before the first game).
    void discardWithoutSaving() { m_discarded = true; }

    // The control called `name` (cmdNew, txtGuessLetter, mnuClue3, ...).
    QWidget *control(const QString &name) const { return m_controls.value(name); }
    QAction *menuItem(const QString &name) const { return m_actions.value(name); }
    // The letter cells of the board, in order.
    const QVector<QLabel *> &letterCells() const { return m_cells; }
    GiveUpTip *giveUpTip() const { return m_giveUpTip; }

public slots:
    // Re-reads the whole state and shows it.
    void bindState();
    // Help > About. Shows the about window.
    virtual void showAbout();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createMenus();
    void connectControls();
    void forward(const std::function<void()> &handler);
    void pushTexts();
    void bindMenus();
    void bindCells();
    void bindFocus();
    QLabel *makeCell();

    GameRules &m_rules;
    QtPictureSource &m_pictures;

    QWidget *m_client = nullptr;
    QPushButton *m_giveUpButton = nullptr;
    QPushButton *m_newGameButton = nullptr;
    GuessBox *m_titleBox = nullptr;
    GuessBox *m_letterBox = nullptr;
    QListWidget *m_incorrectList = nullptr;
    QPushButton *m_guessLetterButton = nullptr;
    QPushButton *m_guessTitleButton = nullptr;
    QStatusBar *m_statusBar = nullptr;
    std::array<QLabel *, 4> m_statusPanels{};
    QLabel *m_clueLabel = nullptr;
    QWidget *m_board = nullptr;
    QLabel *m_titleCaption = nullptr;
    QLabel *m_picture = nullptr;
    QVector<QLabel *> m_cells;
    GiveUpTip *m_giveUpTip = nullptr;

    std::array<QAction *, 5> m_clueActions{};
    std::array<QAction *, 4> m_soundActions{};
    QAction *m_saveStatisticsAction = nullptr;
    QAction *m_resetAction = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_aboutAction = nullptr;

    QMap<QString, QWidget *> m_controls;
    QMap<QString, QAction *> m_actions;

    QString m_shownPicture;
    unsigned m_focusSerial = 0;
    bool m_closeQueued = false;
    bool m_closeHandled = false;
    bool m_discarded = false;
};

} // namespace gallows
