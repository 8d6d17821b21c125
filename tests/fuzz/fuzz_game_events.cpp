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

void check(const GallowsGame &g, const FakeTicker &ticker, bool countersKnown)
{
    const WindowState &s = g.state();
    const bool playing = s.txtGuessLetter.enabled || s.txtGuessWord.enabled;
    FUZZ_CHECK(s.cmdNew.visible != s.cmdGiveUp.visible);
    FUZZ_CHECK(g.WrongGuesses >= 0 && (!playing || g.WrongGuesses < 9));
    if (countersKnown) // the total is the clamped sum once an outcome has been counted
        FUZZ_CHECK(g.GamesTotal == std::clamp(g.GamesWon + g.GamesLost + g.GamesGiveUp, -32768, 32767));
    if (s.closeRequested) { // a failed new game leaves nothing to play
        FUZZ_CHECK(!playing && !ticker.running);
        return;
    }
    const int n = g.TitleLength;
    FUZZ_CHECK(s.txtLetter.size() == size_t(n) + 1 && g.Revealed.size() == n + 1);
    const bool fits = n > 0 && layoutBoard(splitCharacters(g.CurrentTitle)).fits;
    for (int i = 1; i <= n; ++i) {
        const Cell &c = s.txtLetter[size_t(i)];
        FUZZ_CHECK(c.caption.isEmpty() || c.caption == c.character);
        // Only uncovered cells show; a finished game shows the whole title.
        if (c.character != QLatin1String(" "))
            FUZZ_CHECK(c.caption.isEmpty() != (g.Revealed[i] == 1 || s.cmdNew.visible));
        FUZZ_CHECK(!fits || (c.left >= 0 && c.top >= 0 && c.left + kCellSize <= kClientWidth
                             && c.top + kCellSize <= kClientHeight));
    }
    FUZZ_CHECK(!ticker.running || g.revealing());
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

    GallowsGame game(Services{&catalogue, &settings, &cues, &messages, &random, &pictures, &ticker});
    try { // as at start-up: a failure before the first game ends the run
        game.Form_Load();
        game.new_game();
    } catch (const GameError &) {
        return 0;
    }
    const qint16 won = game.GamesWon, lost = game.GamesLost, givenUp = game.GamesGiveUp;
    auto countersKnown = [&] {
        return game.GamesWon != won || game.GamesLost != lost || game.GamesGiveUp != givenUp;
    };
    for (int events = 0; in.remaining_bytes() > 0 && events < 400 && !game.state().closeRequested; ++events) {
        const QString ofTitle = game.TitleLength
            ? game.TitleLetters[in.ConsumeIntegralInRange(1, game.TitleLength)] : QString();
        switch (in.ConsumeIntegralInRange(0, 11)) {
        case 0: game.setGuessLetterText(in.ConsumeBool() ? ofTitle.toLower() : ofTitle); game.txtGuessLetter_Enter(); break;
        case 1: game.setGuessLetterText(anyText(in, 8)); game.cmdGuessLetter_Click(); break;
        case 2: game.setGuessWordText(in.ConsumeBool() ? game.CurrentTitle : game.CurrentTitle.toLower()); game.txtGuessWord_Enter(); break;
        case 3: game.setGuessWordText(anyText(in, 40)); game.cmdGuessWord_Click(); break;
        case 4: if (ticker.running) game.tmrLoad_Timer(); break;
        case 5:
            for (int guard = 0; ticker.running && guard < 1000; ++guard)
                game.tmrLoad_Timer();
            FUZZ_CHECK(!ticker.running);
            break;
        case 6: game.cmdNew_Click(); break;
        case 7: game.cmdGiveUp_Click(); break;
        case 8: game.mnuClue_Click(in.ConsumeIntegralInRange(0, 6)); break;
        case 9: game.mnuSounds_Click(in.ConsumeIntegralInRange(0, 5)); break;
        case 10: game.mnuStats_Click(); break;
        case 11:
            game.mnuReset_Click();
            FUZZ_CHECK(game.GamesWon == 0 && game.GamesLost == 0 && game.GamesGiveUp == 0 && game.GamesTotal == 0);
            break;
        }
        check(game, ticker, countersKnown());
    }

    game.Form_QueryUnload();
    FUZZ_CHECK(catalogue.closed && !ticker.running);
    if (!settings.failWrites) {
        const bool keep = game.SaveStats == QLatin1String("True");
        FUZZ_CHECK(settings.values.value("GamesWon") == (keep ? QString::number(game.GamesWon) : QStringLiteral("0")));
        FUZZ_CHECK(settings.values.value("Sounds") == QString::number(game.SoundLevel));
        FUZZ_CHECK(settings.values.value("Clue") == game.ClueLevel);
    }
    return 0;
}
