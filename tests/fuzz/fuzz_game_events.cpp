// Random play against the rules over the fakes: the input picks a small
// catalogue, a settings store (fresh, saved or damaged), a few failing
// services, and then a run of events: letter and title guesses with any
// characters, reveal ticks, New Game, Give Up, the menus, Reset, and the close
// at the end. After every event the window the rules describe must still make
// sense to a player.

#include "board_layout.h"
#include "fakes.h"
#include "fuzz_check.h"
#include "gallows_game.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

using namespace gallows;
using namespace gallows::testing;

namespace {

// Titles as the catalogue holds them: subtitles after a colon, punctuation the
// board shows from the start, letters outside ASCII, a long one that needs
// three rows, and one with an emoji.
const char *const kTitles[] = {
    "Half-Life 2: Episode One", "Lemmings", "Déjà Vu: A Nightmare Comes True!!",
    "Tom's Rainbow & Six, Rogue Spear: Urban Ops", "Star Raiders II: The Long Way Home: Gold Edition",
    "A Very Long Title That Needs Every One Of The Three Rows On The Board", "Bomb 💣 Jack", "::",
};

const char *const kCounterTexts[] = {"0", "7", "32766", "32767", "-32768", "40000", "x9"};
const char *const kClueTexts[] = {"1", "3", "5", "0", "5.0", "five"};
const char *const kSoundTexts[] = {"1", "2", "3", "4", "0", ""};
const char *const kSaveTexts[] = {"True", "False", "true", ""};

template <size_t N> QString pick(FuzzedDataProvider &in, const char *const (&list)[N])
{
    return QString::fromUtf8(list[in.ConsumeIntegralInRange<size_t>(0, N - 1)]);
}

QString anyText(FuzzedDataProvider &in, size_t maxBytes)
{
    const std::string bytes = in.ConsumeRandomLengthString(maxBytes);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// Draws in [0, 1) taken from the input, so the input also steers which game
// comes next.
class InputRandom : public RandomSource {
public:
    explicit InputRandom(FuzzedDataProvider &source) : in(source) {}
    double next() override
    {
        const double v = in.ConsumeProbability<double>();
        return std::min(v, std::nextafter(1.0, 0.0));
    }

private:
    FuzzedDataProvider &in;
};

qint16 clampedSum(qint16 a, qint16 b, qint16 c)
{
    const long sum = long(a) + b + c;
    return qint16(std::clamp<long>(sum, std::numeric_limits<qint16>::min(),
                                   std::numeric_limits<qint16>::max()));
}

bool cellInside(const Cell &c)
{
    return c.left >= 0 && c.top >= 0 && c.left + kCellSize <= kClientWidth
        && c.top + kCellSize <= kClientHeight;
}

struct Run {
    FakeCatalogue catalogue;
    FakeSettings settings;
    FakeCues cues;
    FakeMessages messages;
    FakePictures pictures;
    FakeTicker ticker;
    bool outcomeSeen = false;
    qint16 won = 0, lost = 0, givenUp = 0;

    void check(const GallowsGame &g)
    {
        const WindowState &s = g.state();
        FUZZ_CHECK(s.cmdNew.visible != s.cmdGiveUp.visible);

        if (g.GamesWon != won || g.GamesLost != lost || g.GamesGiveUp != givenUp)
            outcomeSeen = true;
        won = g.GamesWon;
        lost = g.GamesLost;
        givenUp = g.GamesGiveUp;
        if (outcomeSeen) {
            FUZZ_CHECK(g.GamesTotal == clampedSum(g.GamesWon, g.GamesLost, g.GamesGiveUp));
            FUZZ_CHECK(s.stsBar[3].endsWith(QLatin1Char(' ') + QString::number(g.GamesTotal)));
        }

        const bool playing = s.txtGuessLetter.enabled || s.cmdGuessLetter.enabled
            || s.txtGuessWord.enabled || s.cmdGuessWord.enabled;
        if (playing)
            FUZZ_CHECK(g.WrongGuesses < 9);
        FUZZ_CHECK(g.WrongGuesses >= 0 && g.Moves >= 0);
        // A failed new game closes the window: nothing is left to play.
        if (s.closeRequested) {
            FUZZ_CHECK(!playing && !ticker.running);
            return;
        }

        const int n = g.TitleLength;
        FUZZ_CHECK(s.txtLetter.size() == size_t(n) + 1 && g.Revealed.size() == n + 1);
        const bool fits = n > 0 && layoutBoard(splitCharacters(g.CurrentTitle)).fits;
        for (int i = 1; i <= n; ++i) {
            const Cell &c = s.txtLetter[size_t(i)];
            FUZZ_CHECK(c.caption.isEmpty() || c.caption == c.character);
            // Only revealed cells show; a finished game shows the whole title.
            FUZZ_CHECK(c.caption.isEmpty() != (g.Revealed[i] == 1 || s.cmdNew.visible) || c.character == " ");
            FUZZ_CHECK(!fits || cellInside(c));
        }
        FUZZ_CHECK(!ticker.running || g.revealing());
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Run run;
    InputRandom random(in);

    const int titles = in.ConsumeIntegralInRange(1, 4);
    for (int i = 0; i < titles; ++i) {
        if (in.ConsumeBool())
            run.catalogue.add(pick(in, kTitles));
        else
            run.catalogue.add(anyText(in, 90), anyText(in, 6), anyText(in, 12), anyText(in, 12),
                              anyText(in, 12));
    }
    if (in.ConsumeIntegralInRange(0, 15) == 0)
        run.catalogue.vanished.insert(in.ConsumeIntegralInRange(0, titles - 1));
    if (in.ConsumeIntegralInRange(0, 15) == 0)
        run.pictures.missing.insert(
            QStringLiteral("Data/Gallows/Graphics/%1.gif").arg(in.ConsumeIntegralInRange(0, 10)));

    // A first run, a saved store, or a hand-edited one.
    if (in.ConsumeBool()) {
        auto &v = run.settings.values;
        v[QStringLiteral("PreviousRun")] = QStringLiteral("True");
        for (const char *key : {"GamesWon", "GamesLost", "GamesGiveUp", "GamesTotal"})
            v[QLatin1String(key)] = pick(in, kCounterTexts);
        v[QStringLiteral("Clue")] = pick(in, kClueTexts);
        v[QStringLiteral("Sounds")] = pick(in, kSoundTexts);
        v[QStringLiteral("SaveStats")] = pick(in, kSaveTexts);
    }
    run.settings.failWrites = in.ConsumeIntegralInRange(0, 7) == 0;

    GallowsGame game(Services{&run.catalogue, &run.settings, &run.cues, &run.messages, &random,
                              &run.pictures, &run.ticker});
    // As at start-up: a failure before the first game ends the run there.
    try {
        game.Form_Load();
        game.new_game();
    } catch (const GameError &) {
        return 0;
    }
    run.won = game.GamesWon;
    run.lost = game.GamesLost;
    run.givenUp = game.GamesGiveUp;
    run.check(game);

    auto titleCharacter = [&] {
        if (game.TitleLength == 0)
            return QString();
        const QString c = game.TitleLetters[in.ConsumeIntegralInRange(1, game.TitleLength)];
        return in.ConsumeBool() ? c.toLower() : c;
    };

    for (int events = 0; in.remaining_bytes() > 0 && events < 400; ++events) {
        switch (in.ConsumeIntegralInRange(0, 13)) {
        case 0:
        case 1:
            game.setGuessLetterText(titleCharacter());
            if (in.ConsumeBool())
                game.cmdGuessLetter_Click();
            else
                game.txtGuessLetter_Enter();
            break;
        case 2:
            game.setGuessLetterText(anyText(in, 8));
            game.cmdGuessLetter_Click();
            break;
        case 3:
            game.setGuessWordText(in.ConsumeBool() ? game.CurrentTitle : game.CurrentTitle.toLower());
            game.txtGuessWord_Enter();
            break;
        case 4:
            game.setGuessWordText(anyText(in, 40));
            game.cmdGuessWord_Click();
            break;
        case 5:
            // The timer only ticks while it runs.
            if (run.ticker.running)
                game.tmrLoad_Timer();
            break;
        case 6:
            for (int guard = 0; run.ticker.running && guard < 1000; ++guard)
                game.tmrLoad_Timer();
            FUZZ_CHECK(!run.ticker.running);
            break;
        case 7:
            game.cmdNew_Click();
            break;
        case 8:
            game.cmdGiveUp_Click();
            break;
        case 9:
            game.mnuClue_Click(in.ConsumeIntegralInRange(0, 6));
            break;
        case 10:
            game.mnuSounds_Click(in.ConsumeIntegralInRange(0, 5));
            break;
        case 11:
            game.mnuStats_Click();
            break;
        case 12:
            game.mnuReset_Click();
            FUZZ_CHECK(game.GamesWon == 0 && game.GamesLost == 0 && game.GamesGiveUp == 0
                       && game.GamesTotal == 0);
            break;
        case 13:
            run.settings.failWrites = !run.settings.failWrites;
            break;
        }
        run.check(game);
        // A failure in a later game closes the window.
        if (game.state().closeRequested)
            break;
    }

    game.Form_QueryUnload();
    FUZZ_CHECK(run.catalogue.closed);
    FUZZ_CHECK(!run.ticker.running);
    if (!run.settings.failWrites) {
        const bool keep = game.SaveStats == QLatin1String("True");
        auto saved = [&](const char *key) { return run.settings.values.value(QLatin1String(key)); };
        FUZZ_CHECK(saved("GamesWon") == (keep ? QString::number(game.GamesWon) : QStringLiteral("0")));
        FUZZ_CHECK(saved("GamesTotal") == (keep ? QString::number(game.GamesTotal) : QStringLiteral("0")));
        FUZZ_CHECK(saved("Sounds") == QString::number(game.SoundLevel));
        FUZZ_CHECK(saved("Clue") == game.ClueLevel);
    }
    return 0;
}
