#pragma once
// A game window without a window: the rules over the shared fakes, a catalogue
// of given titles, and short ways to type letters and titles.

#include "board_layout.h"
#include "fakes.h"
#include "gallows_game.h"

#include <QTest>

namespace gallows::testing {

using Store = QMap<QString, QString>;

// A store as a previous run leaves it, with some keys replaced.
inline Store saved(const Store &changes = {})
{
    Store s{{"PreviousRun", "True"}, {"GamesWon", "0"}, {"GamesLost", "0"}, {"GamesGiveUp", "0"},
        {"GamesTotal", "0"}, {"Clue", "5"}, {"SaveStats", "True"}, {"Sounds", "1"}};
    for (auto it = changes.begin(); it != changes.end(); ++it)
        s[it.key()] = it.value();
    return s;
}

struct Rig {
    EventLog log;
    FakeCatalogue catalogue;
    FakeSettings settings;
    FakeCues cues;
    FakeMessages messages;
    FakeRandom random;
    FakePictures pictures;
    FakeTicker ticker;
    GallowsGame game{Services{&catalogue, &settings, &cues, &messages, &random, &pictures, &ticker}};

    explicit Rig(const QStringList &titles = {QStringLiteral("ABC")}, const Store &stored = {})
    {
        for (const QString &t : titles)
            catalogue.add(t);
        settings.values = stored;
        cues.log = &log;
        messages.log = &log;
        pictures.log = &log;
    }
    Rig(const Rig &) = delete;

    // Loads the window and sets up the first game to the end of its reveal.
    Rig &begin()
    {
        game.Form_Load();
        game.new_game();
        reveal();
        return *this;
    }
    void reveal()
    {
        for (int i = 0; ticker.running && i < 1000; ++i)
            game.tmrLoad_Timer();
    }
    const WindowState &ui() const { return game.state(); }

    void letter(const QString &text)
    {
        game.setGuessLetterText(text);
        game.txtGuessLetter_Enter();
    }
    void letters(const QString &typed)
    {
        for (const QString &c : splitCharacters(typed))
            letter(c);
    }
    void title(const QString &text)
    {
        game.setGuessWordText(text);
        game.txtGuessWord_Enter();
    }

    // The board as the player reads it: "_" hidden, " " a gap, else the caption.
    QString board() const
    {
        QString out;
        for (size_t i = 1; i < ui().txtLetter.size(); ++i) {
            const Cell &c = ui().txtLetter[i];
            out += !c.bordered ? QStringLiteral(" ") : c.caption.isEmpty() ? QStringLiteral("_") : c.caption;
        }
        return out;
    }
    // The cues played so far, by file name only.
    QStringList cueNames(qsizetype from = 0) const
    {
        QStringList out;
        for (qsizetype i = from; i < cues.played.size(); ++i)
            out += cues.played[i].section(QLatin1Char('/'), -1);
        return out;
    }
    bool running() const
    {
        return ui().txtGuessLetter.enabled && ui().cmdGiveUp.visible && !ui().cmdNew.visible;
    }
};

inline QString picture(int n)
{
    return QStringLiteral("Data/Gallows/Graphics/%1.gif").arg(n);
}

} // namespace gallows::testing
