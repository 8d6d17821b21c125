#pragma once
// The rules of the game window: new games, guesses, outcomes, clues, sound
// cues, statistics and the settings kept between runs. Everything it changes
// is in state(); everything it needs from outside comes through interfaces.h.

#include "game/interfaces.h"
#include "game/window_state.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace gallows {

// The doors to the outside world. Each must outlive the rules.
struct Services {
    Catalogue &catalogue;
    SettingsStore &settings;
    CuePlayer &cues;
    MessageBox &messages;
    RandomSource &random;
    PictureSource &pictures;
    Ticker &ticker;
};

// The four outcome counters, 16-bit and held without wrapping.
struct Statistics {
    qint16 won = 0;
    qint16 lost = 0;
    qint16 givenUp = 0;
    qint16 total = 0;
};

class GameRules : public QObject {
    Q_OBJECT
public:
    explicit GameRules(const Services &services, QObject *parent = nullptr);

    const WindowState &state() const { return m_state; }

    // What the window forwards. Text typed into the two boxes comes first.
    void setLetterText(const QString &text);
    void setTitleText(const QString &text);

    // The window's life: the settings are read as it opens and written as it closes.
    void loadSettings();
    void saveAndClose();

    // Draws a game from the catalogue and starts revealing its board.
    // Throws GameError when that fails.
    void startGame();
    // The gallows picture for `stage`, relative to the folder that holds
    // Data/: 0 on a new board, then one stage per wrong guess up to 9, the
    // lost game; 10 is the won game.
    static QString picturePath(int stage);
    // The buttons, and Enter in the two boxes.
    void newGame();
    void giveUp();
    void guessLetter();
    void guessTitle();
    // One tick of the reveal timer: the next cell shows.
    void revealNextCell();
    bool isRevealing() const { return m_revealing; }

    // The Options menu.
    void chooseClueLevel(int level); // 1..5
    void chooseSoundLevel(int level); // 1..4
    void toggleSaveStatistics();
    void resetStatistics();

    // The game in play: its record, the played part of its title (upper
    // case), one entry per board cell, and how it goes.
    const GameRecord &record() const { return m_record; }
    const QString &title() const { return m_title; }
    int titleLength() const { return int(m_letters.size()); }
    const QStringList &letters() const { return m_letters; }
    bool isRevealed(int cell) const { return m_revealed[size_t(cell)]; }
    int wrongGuesses() const { return m_wrongGuesses; }
    int moves() const { return m_moves; }

    const Statistics &statistics() const { return m_statistics; }
    int clueLevel() const { return m_clueLevel; }
    int soundLevel() const { return m_soundLevel; }
    bool savesStatistics() const { return m_saveStatistics; }

signals:
    // Emitted after every change of state() made outside a direct call from
    // the window (the reveal ticks), and after each handler returns.
    void stateChanged();

private:
    void checkLetter();
    void checkTitle();
    void listWrongGuess(const QString &guess, int strokes, int variant);
    void countWrongGuess();
    void winGame();
    void loseGame();

    void removeBoard();
    void uncoverBoard();
    void disableGuessControls();
    void finishSetup();
    void stopReveal();
    void setPicture(const QString &relativePath);
    void requestFocus(FocusTarget target);
    int drawVariant();
    void showStatistics();
    void saveSettings(const QList<QPair<QString, QString>> &values);
    void guarded(const std::function<void()> &step);

    Services m_services;
    WindowState m_state;

    GameRecord m_record;
    QString m_title;
    QStringList m_letters;
    std::vector<bool> m_revealed;
    int m_wrongGuesses = 0;
    int m_moves = 0;
    int m_nextCell = 0;

    Statistics m_statistics;
    int m_clueLevel = 0;
    // The clue level's stored text, written back as it was read ("5.0" stays
    // "5.0") unless the menu chooses a level.
    QString m_clueSetting;
    int m_soundLevel = 1;
    bool m_saveStatistics = false;

    bool m_revealing = false;
    bool m_closed = false;
    int m_notifyDepth = 0;
};

} // namespace gallows
