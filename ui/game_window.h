#pragma once
// frmGallows, the game window. It holds no rules: it shows GallowsGame's
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

class frmGallows : public QMainWindow {
    Q_OBJECT
public:
    // `game` and `pictures` must outlive the window.
    frmGallows(GallowsGame &game, QtPictureSource &pictures, QWidget *parent = nullptr);
    ~frmGallows() override;

    // The controls' face (8.25 pt sans, set in pixels). The program makes it
    // the application's font too: message boxes then match the window, and
    // Qt, which lays a line edit's text out once in the application font
    // before the edit's own font applies, loads no second face for that.
    static QFont controlFont();

    // Later closes skip Form_QueryUnload (nothing worth saving, or the
    // start-up failed before the first game).
    void discardWithoutSaving() { discarded = true; }

    // The control called `name` (cmdNew, txtGuessLetter, mnuClue3, ...).
    QWidget *control(const QString &name) const { return controls.value(name); }
    QAction *menuItem(const QString &name) const { return actions.value(name); }
    // The letter cells shown at the moment, element 0 (the template) first.
    const QVector<QLabel *> &letterCells() const { return cells; }
    GiveUpTip *giveUpTip() const { return tip; }

public slots:
    // Re-reads the whole state and shows it.
    void bindState();
    // Help > About. Shows the about window.
    virtual void mnuAbout_Click();

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
    QLabel *makeCell(int index);

    GallowsGame &game;
    QtPictureSource &pictures;

    QWidget *client = nullptr;
    QPushButton *cmdGiveUp = nullptr;
    QPushButton *cmdNew = nullptr;
    GuessBox *txtGuessWord = nullptr;
    GuessBox *txtGuessLetter = nullptr;
    QListWidget *lstIncorrect = nullptr;
    QPushButton *cmdGuessLetter = nullptr;
    QPushButton *cmdGuessWord = nullptr;
    QStatusBar *stsBar = nullptr;
    std::array<QLabel *, 4> stsPanels{};
    QLabel *lblClue = nullptr;
    QWidget *board = nullptr;
    QLabel *lblCurrentTitle = nullptr;
    QLabel *imgGallows = nullptr;
    QVector<QLabel *> cells;
    GiveUpTip *tip = nullptr;

    std::array<QAction *, 5> mnuClue{};
    std::array<QAction *, 4> mnuSounds{};
    QAction *mnuStats = nullptr;
    QAction *mnuReset = nullptr;
    QAction *mnuExit = nullptr;
    QAction *mnuAbout = nullptr;

    QMap<QString, QWidget *> controls;
    QMap<QString, QAction *> actions;

    QString shownPicture;
    unsigned focusSerial = 0;
    bool closeQueued = false;
    bool queried = false;
    bool discarded = false;
};

} // namespace gallows
