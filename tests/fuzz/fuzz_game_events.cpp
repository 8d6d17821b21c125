// Random play against the rules over the fakes: the input picks a small
// catalogue, a stored settings file, failing services, and then a run of
// guesses with any characters, reveal ticks, New Game, Give Up, the menus and
// Reset, with the close at the end. After every event the window the rules
// describe must still make sense to a player.

#include "game/board_layout.h"
#include "tests/fakes/fakes.h"
#include "game/game_rules.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace gallows;
using namespace gallows::testing;

// Holds in every build type: libFuzzer records the abort with its input.
#define FUZZ_CHECK(condition) \
    ((condition) ? void() : (std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition), std::abort()))

namespace {

const char *const kTitles[] = {"Half-Life 2: Episode One", "Déjà Vu: A Nightmare Comes True!!",
                               "Tom's Rainbow & Six, Rogue Spear: Urban Ops", "Bomb 💣 Jack", "::",
                               "A Very Long Title That Needs Every One Of The Three Rows On The Board"};
const char *const kStored[] = {"0", "1", "4", "5", "32767", "-32768", "40000", "5.0", "x9", "True", "true", ""};

template <size_t N> QString pick(FuzzedDataProvider &in, const char *const (&list)[N])
{
    return QString::fromUtf8(list[in.ConsumeIntegralInRange<size_t>(0, N - 1)]);
}

QString anyText(FuzzedDataProvider &in, size_t maxBytes)
{
    const std::string bytes = in.ConsumeRandomLengthString(maxBytes);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// Draws taken from the input, so the input also steers which game comes next.
struct InputRandom : RandomSource {
    FuzzedDataProvider &in;
    explicit InputRandom(FuzzedDataProvider &source) : in(source) {}
    double next() override { return std::min(in.ConsumeProbability<double>(), std::nextafter(1.0, 0.0)); }
};

void check(const GameRules &g, const FakeTicker &ticker, bool countersKnown)
{
    const WindowState &s = g.state();
    const bool playing = s.letterBox.enabled || s.titleBox.enabled;
    FUZZ_CHECK(s.newGameButton.visible != s.giveUpButton.visible);
    FUZZ_CHECK(g.wrongGuesses() >= 0 && (!playing || g.wrongGuesses() < 9));
    if (countersKnown) // the total is the clamped sum once an outcome has been counted
        FUZZ_CHECK(g.statistics().total == std::clamp(g.statistics().won + g.statistics().lost + g.statistics().givenUp, -32768, 32767));
    if (s.closeRequested) { // a failed new game leaves nothing to play
        FUZZ_CHECK(!playing && !ticker.running);
        return;
    }
    const int n = g.titleLength();
    FUZZ_CHECK(s.cells.size() == size_t(n) && g.letters().size() == n);
    const bool fits = n > 0 && layoutBoard(splitCharacters(g.title())).fits;
    for (int i = 0; i < n; ++i) {
        const Cell &c = s.cells[size_t(i)];
        FUZZ_CHECK(c.caption.isEmpty() || c.caption == c.character);
        // Only uncovered cells show; a finished game shows the whole title.
        if (c.character != QLatin1String(" "))
            FUZZ_CHECK(c.caption.isEmpty() != (g.isRevealed(i) || s.newGameButton.visible));
        FUZZ_CHECK(!fits || (c.left >= 0 && c.top >= 0 && c.left + kCellSize <= kClientWidth
                             && c.top + kCellSize <= kClientHeight));
    }
    FUZZ_CHECK(!ticker.running || g.isRevealing());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    FakeCatalogue catalogue;
    FakeSettings settings;
    FakeCues cues;
    FakeMessages messages;
    FakePictures pictures;
    FakeTicker ticker;
    InputRandom random(in);

    const int titles = in.ConsumeIntegralInRange(1, 4);
    for (int i = 0; i < titles; ++i)
        catalogue.add(in.ConsumeBool() ? pick(in, kTitles) : anyText(in, 90), anyText(in, 6), anyText(in, 12));
    if (in.ConsumeIntegralInRange(0, 15) == 0)
        catalogue.vanished.insert(in.ConsumeIntegralInRange(0, titles - 1));
    if (in.ConsumeIntegralInRange(0, 15) == 0)
        pictures.missing.insert(QStringLiteral("Data/Gallows/Graphics/%1.gif").arg(in.ConsumeIntegralInRange(0, 10)));
    if (in.ConsumeBool()) { // a store from an earlier run, perhaps edited by hand
        settings.values[QStringLiteral("PreviousRun")] = QStringLiteral("True");
        for (const char *key : {"GamesWon", "GamesLost", "GamesGiveUp", "GamesTotal", "Clue", "Sounds", "SaveStats"})
            settings.values[QLatin1String(key)] = pick(in, kStored);
    }
    settings.failWrites = in.ConsumeIntegralInRange(0, 7) == 0;

    GameRules game(Services{catalogue, settings, cues, messages, random, pictures, ticker});
    try { // as at start-up: a failure before the first game ends the run
        game.loadSettings();
        game.startGame();
    } catch (const GameError &) {
        return 0;
    }
    QString clue = settings.values.value(QStringLiteral("Clue")); // written back unless chosen anew
    const qint16 won = game.statistics().won, lost = game.statistics().lost, givenUp = game.statistics().givenUp;
    auto countersKnown = [&] {
        return game.statistics().won != won || game.statistics().lost != lost || game.statistics().givenUp != givenUp;
    };
    for (int events = 0; in.remaining_bytes() > 0 && events < 400 && !game.state().closeRequested; ++events) {
        const QString ofTitle = game.titleLength()
            ? game.letters()[in.ConsumeIntegralInRange(0, game.titleLength() - 1)] : QString();
        switch (in.ConsumeIntegralInRange(0, 11)) {
        case 0: game.setLetterText(in.ConsumeBool() ? ofTitle.toLower() : ofTitle); game.guessLetter(); break;
        case 1: game.setLetterText(anyText(in, 8)); game.guessLetter(); break;
        case 2: game.setTitleText(in.ConsumeBool() ? game.title() : game.title().toLower()); game.guessTitle(); break;
        case 3: game.setTitleText(anyText(in, 40)); game.guessTitle(); break;
        case 4: if (ticker.running) game.revealNextCell(); break;
        case 5:
            for (int guard = 0; ticker.running && guard < 1000; ++guard)
                game.revealNextCell();
            FUZZ_CHECK(!ticker.running);
            break;
        case 6: game.newGame(); break;
        case 7: game.giveUp(); break;
        case 8: { const int level = in.ConsumeIntegralInRange(0, 6); game.chooseClueLevel(level); clue = level >= 1 && level <= 5 ? QString::number(level) : clue; break; }
        case 9: game.chooseSoundLevel(in.ConsumeIntegralInRange(0, 5)); break;
        case 10: game.toggleSaveStatistics(); break;
        case 11:
            game.resetStatistics();
            FUZZ_CHECK(game.statistics().won == 0 && game.statistics().lost == 0 && game.statistics().givenUp == 0 && game.statistics().total == 0);
            break;
        }
        check(game, ticker, countersKnown());
    }

    game.saveAndClose();
    FUZZ_CHECK(catalogue.closed && !ticker.running);
    if (!settings.failWrites) {
        const bool keep = game.savesStatistics();
        FUZZ_CHECK(settings.values.value("GamesWon") == (keep ? QString::number(game.statistics().won) : QStringLiteral("0")));
        FUZZ_CHECK(settings.values.value("Sounds") == QString::number(game.soundLevel()));
        FUZZ_CHECK(settings.values.value("Clue") == clue);
    }
    return 0;
}
