#pragma once
// The rules of the game window: new games, guesses, outcomes, clues, sound
// cues, statistics and the settings kept between runs. Everything it changes
// is in state(); everything it needs from outside comes through interfaces.h.

#include "game/interfaces.h"
#include "game/window_state.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace gallows {

struct Services {
    Catalogue *catalogue = nullptr;
    SettingsStore *settings = nullptr;
    CuePlayer *cues = nullptr;
    MessageBox *messages = nullptr;
    RandomSource *random = nullptr;
    PictureSource *pictures = nullptr;
    Ticker *ticker = nullptr;
};

class GallowsGame : public QObject {
    Q_OBJECT
public:
    explicit GallowsGame(const Services &services, QObject *parent = nullptr);

    const WindowState &state() const { return ui; }

    // What the window forwards. Text typed into the two boxes comes first.
    void setGuessLetterText(const QString &text);
    void setGuessWordText(const QString &text);

    // Window life.
    void Form_Load();
    void Form_QueryUnload();

    // The game.
    void new_game();
    void cmdNew_Click();
    void cmdGiveUp_Click();
    void cmdGuessLetter_Click();
    void cmdGuessWord_Click();
    // Enter in the letter box / the title box (the key itself is swallowed).
    void txtGuessLetter_Enter() { cmdGuessLetter_Click(); }
    void txtGuessWord_Enter() { cmdGuessWord_Click(); }
    void tmrLoad_Timer();
    bool revealing() const { return revealActive; }

    // Menus.
    void mnuClue_Click(int level);   // 1..5
    void mnuSounds_Click(int level); // 1..4
    void mnuStats_Click();
    void mnuReset_Click();

    // Board state.
    QString CurrentTitle;
    int TitleLength = 0;
    QStringList TitleLetters;   // index 0 unused
    QVector<int> Revealed;      // index 0 unused
    int WrongGuesses = 0;
    int Moves = 0;
    int GameIndex = 0;
    int CellIndex = 0;
    bool HasLine2 = false;
    bool HasLine3 = false;
    int Line2Start = 0;
    int Line3Start = 0;

    // The current record.
    QString GameID;
    QString GameYear;
    QString GameGenre;
    QString GamePublisher;
    QString GameDeveloper;

    // Counters (16-bit, held without wrapping).
    qint16 GamesWon = 0;
    qint16 GamesLost = 0;
    qint16 GamesGiveUp = 0;
    qint16 GamesTotal = 0;

    // Settings of the run.
    QString ClueLevel;
    qint16 SoundLevel = 1;
    QString SaveStats;
    QString PreviousRun;

signals:
    // Emitted after every change of state() made outside a direct call from
    // the window (the reveal ticks), and after each handler returns.
    void stateChanged();

private:
    void GuessLetter();
    void GuessTitle();
    void WrongGuess();
    void WinGame();
    void loseGame();

    void removeBoard();
    void uncoverBoard();
    void disableGuessControls();
    void finishSetup();
    void stopReveal();
    void setPicture(const QString &relativePath);
    void requestFocus(const QString &objectName);
    int drawVariant();
    void showCounters();
    void saveSettings(const QList<QPair<QString, QString>> &values);
    void guarded(const std::function<void()> &step);

    Services svc;
    WindowState ui;
    bool revealActive = false;
    bool unloaded = false;
    int notifyDepth = 0;
};

} // namespace gallows
