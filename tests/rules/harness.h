#pragma once
// The rules without a window: a game over the shared fakes, a catalogue of
// given titles, and short ways to play it.

#include "game/board_layout.h"
#include "tests/fakes/fakes.h"
#include "game/game_rules.h"

#include <QTest>
#include <array>

namespace gallows::testing {

using Store = QMap<QString, QString>;

// A store as a previous run leaves it, with the counters "won lost givenUp total"
// and some keys replaced.
inline Store saved(const Store &changes = {}, const QString &counters = QStringLiteral("0 0 0 0"))
{
    const QStringList n = counters.split(QLatin1Char(' '));
    Store s{{"PreviousRun", "True"}, {"GamesWon", n[0]}, {"GamesLost", n[1]}, {"GamesGiveUp", n[2]},
        {"GamesTotal", n[3]}, {"Clue", "5"}, {"SaveStats", "True"}, {"Sounds", "1"}};
    s.insert(changes);
    return s;
}

inline QString picture(int n) { return QStringLiteral("Data/Gallows/Graphics/%1.gif").arg(n); }

struct Rig {
    EventLog log;
    FakeCatalogue catalogue;
    FakeSettings settings;
    FakeCues cues;
    FakeMessages messages;
    FakeRandom random;
    FakePictures pictures;
    FakeTicker ticker;
    GameRules game{Services{catalogue, settings, cues, messages, random, pictures, ticker}};

    explicit Rig(const QStringList &titles = {QStringLiteral("ABC")}, const Store &stored = {})
    {
        for (const QString &t : titles)
            catalogue.add(t);
        settings.values = stored;
        cues.log = messages.log = pictures.log = &log;
    }

    // The window loaded and the first game set up; begin() also ends the reveal and plays `steps`.
    void start() { game.loadSettings(); game.startGame(); }
    void begin(const QString &steps = {}) { start(); reveal(); play(steps); }
    void reveal()
    {
        for (int i = 0; ticker.running && i < 1000; ++i)
            game.revealNextCell();
    }
    const WindowState &ui() const { return game.state(); }

    void letter(const QString &text) { game.setLetterText(text); game.guessLetter(); }
    void title(const QString &text) { game.setTitleText(text); game.guessTitle(); }
    // "ab|some title|other": each character before the first "|" is a letter
    // guess, each part after it a title guess.
    void play(const QString &steps)
    {
        const QStringList parts = steps.split(QLatin1Char('|'));
        for (const QString &c : splitCharacters(parts[0]))
            letter(c);
        for (qsizetype i = 1; i < parts.size(); ++i)
            title(parts[i]);
    }

    // The board as the player reads it: "_" hidden, " " a gap, else the caption.
    QString board() const
    {
        QString out;
        for (const Cell &c : ui().cells) {
            out += !c.bordered ? QStringLiteral(" ") : c.caption.isEmpty() ? QStringLiteral("_") : c.caption;
        }
        return out;
    }
    bool running() const { return ui().letterBox.enabled && ui().giveUpButton.visible && !ui().newGameButton.visible; }
};

// The menu check marks, Clue 1 to 5, Sounds 1 to 4 and Save Statistics, as "00001 1000 1".
inline QString menus(const Rig &r)
{
    auto marks = [](const auto &items) {
        QString out;
        for (bool m : items)
            out += QLatin1Char(m ? '1' : '0');
        return out;
    };
    return marks(r.ui().clueChecks) + ' ' + marks(r.ui().soundChecks) + (r.ui().saveStatisticsChecked ? " 1" : " 0");
}

} // namespace gallows::testing
