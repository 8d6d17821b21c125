#include "game/game_rules.h"

#include "game/board_layout.h"
#include "game/clues.h"
#include "game/counters.h"
#include "game/cues.h"

#include <QMap>

#include <cmath>

namespace gallows {

namespace {

const QString kGraphics = QStringLiteral("Data/Gallows/Graphics/%1.gif");
constexpr int kRevealIntervalMs = 17;
constexpr int kLossCount = 9;

const QString kTrue = QStringLiteral("True");
const QString kFalse = QStringLiteral("False");

// Emits stateChanged() once the outermost handler returns.
class Notify {
public:
    explicit Notify(GallowsGame *g, int &depth) : game(g), level(depth) { ++level; }
    ~Notify()
    {
        if (--level == 0)
            emit game->stateChanged();
    }
    Notify(const Notify &) = delete;
    Notify &operator=(const Notify &) = delete;

private:
    GallowsGame *game;
    int &level;
};

} // namespace

GallowsGame::GallowsGame(const Services &services, QObject *parent)
    : QObject(parent), svc(services)
{
}

void GallowsGame::setGuessLetterText(const QString &text) { ui.txtGuessLetter.text = text; }

void GallowsGame::setGuessWordText(const QString &text) { ui.txtGuessWord.text = text; }

// ---------------------------------------------------------------- window life

void GallowsGame::Form_Load()
{
    Notify notify(this, notifyDepth);
    PreviousRun = svc.settings->get(QStringLiteral("PreviousRun"));
    // On a first run the values just written are used as written, so a store
    // that cannot be written still gives a first run at the defaults.
    QMap<QString, QString> firstRun;
    if (PreviousRun != kTrue) {
        GamesWon = GamesLost = GamesGiveUp = GamesTotal = 0;
        const QList<QPair<QString, QString>> defaults = {
            {QStringLiteral("GamesWon"), QStringLiteral("0")},
            {QStringLiteral("GamesLost"), QStringLiteral("0")},
            {QStringLiteral("GamesGiveUp"), QStringLiteral("0")},
            {QStringLiteral("GamesTotal"), QStringLiteral("0")},
            {QStringLiteral("PreviousRun"), kTrue},
            {QStringLiteral("Clue"), QStringLiteral("5")},
            {QStringLiteral("SaveStats"), kTrue},
            {QStringLiteral("Sounds"), QStringLiteral("1")}};
        saveSettings(defaults);
        for (const auto &[key, value] : defaults)
            firstRun.insert(key, value);
    }
    auto read = [&](const QString &key) {
        return firstRun.isEmpty() ? svc.settings->get(key) : firstRun.value(key);
    };
    // A value that is not 16-bit decimal text (hand-edited, damaged) reads as
    // its first-run default, so a bad store can never stop the game starting.
    auto readCounter = [&](const QString &key) {
        qint16 value = 0;
        return parseInt16(read(key), &value) ? value : qint16(0);
    };
    GamesWon = readCounter(QStringLiteral("GamesWon"));
    GamesLost = readCounter(QStringLiteral("GamesLost"));
    GamesGiveUp = readCounter(QStringLiteral("GamesGiveUp"));
    GamesTotal = readCounter(QStringLiteral("GamesTotal"));
    showCounters();
    ui.cmdNew.visible = false;
    qint16 sounds = 1;
    SoundLevel = parseInt16(read(QStringLiteral("Sounds")), &sounds) ? sounds : qint16(1);
    ClueLevel = read(QStringLiteral("Clue"));
    SaveStats = read(QStringLiteral("SaveStats"));
}

void GallowsGame::Form_QueryUnload()
{
    Notify notify(this, notifyDepth);
    if (unloaded)
        return;
    unloaded = true;
    stopReveal();
    // Every write is tried and the close always completes; a failure is
    // told once, naming the file and the reason, once all have been tried.
    const bool keep = SaveStats == kTrue;
    auto counter = [keep](qint16 v) { return keep ? QString::number(v) : QStringLiteral("0"); };
    saveSettings({{QStringLiteral("GamesWon"), counter(GamesWon)},
                  {QStringLiteral("GamesLost"), counter(GamesLost)},
                  {QStringLiteral("GamesGiveUp"), counter(GamesGiveUp)},
                  {QStringLiteral("GamesTotal"), counter(GamesTotal)},
                  {QStringLiteral("Clue"), ClueLevel},
                  {QStringLiteral("Sounds"), QString::number(SoundLevel)}});
    svc.catalogue->close();
}

// ---------------------------------------------------------------- new game

void GallowsGame::new_game()
{
    Notify notify(this, notifyDepth);
    stopReveal();
    ui.cmdNew.enabled = false;
    ui.cmdGiveUp.enabled = false;
    ui.lstIncorrect.enabled = false;

    // The draw is uniform over every row of the identifier list.
    const int rows = svc.catalogue->count();
    if (rows <= 0)
        throw GameError(QStringLiteral("The games catalogue holds no games."));
    const double r = svc.random->next();
    GameIndex = std::clamp(int(std::floor(r * rows)), 0, rows - 1);

    const GameRecord record = svc.catalogue->fetch(GameIndex);
    GameID = record.gameId;
    CurrentTitle = record.title;
    GameYear = record.year;
    GameGenre = record.genre;
    GamePublisher = record.publisher;
    GameDeveloper = record.developer;

    // Menus from the settings: the clue level, the sound level, saving.
    const int clue = clueLevelNumber(ClueLevel);
    if (clue >= 1) {
        ui.mnuClue[size_t(clue - 1)] = true;
        if (clue >= 2)
            ui.lblClue.caption = openingClue(clue, GameYear, GamePublisher);
    }
    if (SoundLevel >= 1 && SoundLevel <= 4)
        ui.mnuSounds[size_t(SoundLevel - 1)] = true;
    if (SaveStats == kTrue) {
        ui.mnuStats = true;
    } else {
        ui.mnuStats = false;
        SaveStats = kFalse;
    }

    CurrentTitle = playableTitle(CurrentTitle);
    const BoardLayout layout = layoutBoard(splitCharacters(CurrentTitle));
    TitleLength = int(layout.letters.size());
    TitleLetters = QStringList(QString()) + layout.letters;
    Revealed = QVector<int>(TitleLength + 1, 0);
    HasLine2 = layout.hasLine2;
    HasLine3 = layout.hasLine3;
    Line2Start = layout.line2Start;
    Line3Start = layout.line3Start;

    setPicture(kGraphics.arg(0));

    ui.cmdGuessWord.enabled = true;
    ui.cmdGuessLetter.enabled = true;
    ui.txtGuessLetter.enabled = true;
    ui.txtGuessWord.enabled = true;
    WrongGuesses = 0;
    Moves = 0;

    ui.txtLetter.resize(1);
    ui.txtLetter.reserve(size_t(TitleLength) + 1);
    for (int i = 1; i <= TitleLength; ++i) {
        Cell cell = ui.txtLetter[0];
        cell.character = TitleLetters[i];
        cell.caption.clear();
        cell.left = layout.places[size_t(i - 1)].left;
        cell.top = layout.places[size_t(i - 1)].top;
        cell.visible = false;
        if (cell.character == QLatin1String(" ")) {
            cell.bordered = false;
            Revealed[i] = 1;
        } else if (shownFromStart(cell.character)) {
            cell.caption = cell.character;
            Revealed[i] = 1;
        }
        ui.txtLetter.push_back(cell);
    }

    // The cells appear one per tick; guesses may arrive meanwhile.
    CellIndex = 1;
    if (TitleLength == 0) {
        finishSetup();
        return;
    }
    revealActive = true;
    ui.tmrLoad = true;
    svc.ticker->start(kRevealIntervalMs);
}

void GallowsGame::tmrLoad_Timer()
{
    {
        Notify notify(this, notifyDepth);
        if (!revealActive || CellIndex < 1 || CellIndex > TitleLength) {
            stopReveal();
            return;
        }
        Cell &cell = ui.txtLetter[size_t(CellIndex)];
        cell.visible = cell.caption != QLatin1String(" ");
        if (++CellIndex > TitleLength) {
            stopReveal();
            finishSetup();
        }
    }
    // A tick that comes while a handler waits on the stack (a message box is
    // open) is shown at once all the same: the window follows every tick.
    if (notifyDepth > 0)
        emit stateChanged();
}

void GallowsGame::stopReveal()
{
    if (revealActive || ui.tmrLoad) {
        revealActive = false;
        ui.tmrLoad = false;
        if (svc.ticker)
            svc.ticker->stop();
    }
}

void GallowsGame::finishSetup()
{
    ui.cmdNew.enabled = true;
    ui.cmdGiveUp.enabled = true;
    ui.lstIncorrect.enabled = true;
    // A guess during the reveal may already have ended the game: then the
    // letter box is disabled and New Game, enabled only now, takes the focus.
    if (ui.txtGuessLetter.enabled)
        requestFocus(QStringLiteral("txtGuessLetter"));
    else if (ui.cmdNew.visible)
        requestFocus(QStringLiteral("cmdNew"));
}

void GallowsGame::cmdNew_Click()
{
    Notify notify(this, notifyDepth);
    if (!ui.cmdNew.visible || !ui.cmdNew.enabled)
        return;
    ui.cmdGiveUp.visible = true;
    ui.cmdNew.visible = false;
    removeBoard();
    ui.lstIncorrect.items.clear();
    guarded([this] { new_game(); });
}

void GallowsGame::removeBoard()
{
    stopReveal();
    ui.txtLetter.resize(1);
}

// ---------------------------------------------------------------- guesses

void GallowsGame::cmdGuessLetter_Click()
{
    Notify notify(this, notifyDepth);
    if (ui.txtGuessLetter.enabled && ui.cmdGuessLetter.enabled)
        guarded([this] { GuessLetter(); });
}

void GallowsGame::cmdGuessWord_Click()
{
    Notify notify(this, notifyDepth);
    if (ui.txtGuessWord.enabled && ui.cmdGuessWord.enabled)
        guarded([this] { GuessTitle(); });
}

void GallowsGame::GuessLetter()
{
    const QString guess = ui.txtGuessLetter.text.toUpper();
    if (guess.isEmpty() || guess == QLatin1String(" ")) {
        svc.messages->show(QStringLiteral("Please enter a letter, stupid!"));
        ui.txtGuessLetter.text.clear();
        requestFocus(QStringLiteral("txtGuessLetter"));
        return;
    }

    bool found = false;
    bool repeated = false;
    for (int i = 1; i <= TitleLength; ++i) {
        Cell &cell = ui.txtLetter[size_t(i)];
        if (cell.caption == guess) {
            repeated = true;
            break;
        }
        if (TitleLetters[i] == guess) {
            cell.caption = TitleLetters[i];
            Revealed[i] = 1;
            found = true;
            ++Moves;
        }
    }

    if (repeated) {
        svc.messages->show(QStringLiteral("This letter has already been guessed!"));
        ++WrongGuesses;
        ++Moves;
        WrongGuess();
    } else {
        int shown = 0;
        for (int i = 1; i <= TitleLength; ++i)
            shown += Revealed[i];
        if (shown == TitleLength) {
            WinGame();
            return;
        }
        const int variant = drawVariant();
        if (found) {
            if (cueSounds(Cue::Correct, SoundLevel))
                svc.cues->play(cueFile(Cue::Correct, variant));
        } else {
            ui.lstIncorrect.items.append(guess);
            ++WrongGuesses;
            if (cueSounds(Cue::Wrong, SoundLevel) && WrongGuesses < kLossCount)
                svc.cues->play(cueFile(Cue::Wrong, variant));
            WrongGuess();
        }
    }
    ui.txtGuessLetter.text.clear();
    if (ui.txtGuessLetter.enabled)
        requestFocus(QStringLiteral("txtGuessLetter"));
}

void GallowsGame::GuessTitle()
{
    const QString typed = ui.txtGuessWord.text;
    const QString guess = typed.toUpper();
    if (splitCharacters(guess).size() <= 1) {
        svc.messages->show(QStringLiteral("Please enter the full title of this game!"));
        ui.txtGuessWord.text.clear();
        requestFocus(QStringLiteral("txtGuessWord"));
        return;
    }
    if (guess == CurrentTitle) {
        ++Moves;
        WinGame();
    } else {
        const int variant = drawVariant();
        ui.lstIncorrect.items.append(typed);
        WrongGuesses += 2;
        ++Moves;
        if (cueSounds(Cue::Wrong, SoundLevel) && WrongGuesses < kLossCount)
            svc.cues->play(cueFile(Cue::Wrong, variant));
        WrongGuess();
    }
    ui.txtGuessWord.text.clear();
    if (ui.txtGuessWord.enabled)
        requestFocus(QStringLiteral("txtGuessWord"));
}

int GallowsGame::drawVariant()
{
    const double r = svc.random->next();
    GameIndex = std::clamp(int(std::floor(r * 4 + 1)), 1, 4);
    return GameIndex;
}

// ---------------------------------------------------------------- outcomes

void GallowsGame::WrongGuess()
{
    if (WrongGuesses <= 0)
        return;
    if (WrongGuesses >= kLossCount) {
        loseGame();
        return;
    }
    const QString clue =
        followUpClue(clueLevelNumber(ClueLevel), WrongGuesses, GameGenre, GameDeveloper);
    // At 3 and 6 the clue comes before the picture, at 5 after it.
    if (WrongGuesses != 5 && !clue.isNull())
        ui.lblClue.caption = clue;
    setPicture(kGraphics.arg(WrongGuesses));
    if (WrongGuesses == 5 && !clue.isNull())
        ui.lblClue.caption = clue;
}

void GallowsGame::loseGame()
{
    setPicture(kGraphics.arg(9));
    disableGuessControls();
    uncoverBoard();
    GamesLost = addClamped(GamesLost, 1);
    ui.stsBar[1] = panelText(2, GamesLost);
    GamesTotal = totalOf(GamesWon, GamesLost, GamesGiveUp);
    ui.stsBar[3] = panelText(4, GamesTotal);
    ui.cmdGiveUp.visible = false;
    ui.cmdNew.visible = true;
    requestFocus(QStringLiteral("cmdNew"));
    if (cueSounds(Cue::Lose, SoundLevel))
        svc.cues->play(cueFile(Cue::Lose));
}

void GallowsGame::WinGame()
{
    setPicture(kGraphics.arg(10));
    const Cue cue = Moves == 1 ? Cue::WinFirstMove : Cue::Win;
    if (cueSounds(cue, SoundLevel))
        svc.cues->play(cueFile(cue));
    ui.cmdGiveUp.visible = false;
    ui.cmdNew.visible = true;
    // As after a loss, New Game takes the focus, so that Enter starts the
    // next game for a player on the keyboard.
    requestFocus(QStringLiteral("cmdNew"));
    disableGuessControls();
    ui.txtGuessLetter.text.clear();
    uncoverBoard();
    GamesWon = addClamped(GamesWon, 1);
    ui.stsBar[0] = panelText(1, GamesWon);
    GamesTotal = totalOf(GamesWon, GamesLost, GamesGiveUp);
    ui.stsBar[3] = panelText(4, GamesTotal);
}

void GallowsGame::cmdGiveUp_Click()
{
    Notify notify(this, notifyDepth);
    if (!ui.cmdGiveUp.visible || !ui.cmdGiveUp.enabled)
        return;
    GamesGiveUp = addClamped(GamesGiveUp, 1);
    ui.stsBar[2] = panelText(3, GamesGiveUp);
    GamesTotal = totalOf(GamesWon, GamesLost, GamesGiveUp);
    ui.stsBar[3] = panelText(4, GamesTotal);
    removeBoard();
    ui.lstIncorrect.items.clear();
    if (cueSounds(Cue::GiveUp, SoundLevel))
        svc.cues->play(cueFile(Cue::GiveUp));
    guarded([this] { new_game(); });
}

void GallowsGame::disableGuessControls()
{
    ui.cmdGuessWord.enabled = false;
    ui.cmdGuessLetter.enabled = false;
    ui.txtGuessLetter.enabled = false;
    ui.txtGuessWord.enabled = false;
}

void GallowsGame::uncoverBoard()
{
    for (int i = 1; i <= TitleLength; ++i)
        ui.txtLetter[size_t(i)].caption = TitleLetters[i];
}

// ---------------------------------------------------------------- menus

void GallowsGame::mnuClue_Click(int level)
{
    Notify notify(this, notifyDepth);
    if (level < 1 || level > 5)
        return;
    for (int i = 1; i <= 5; ++i)
        ui.mnuClue[size_t(i - 1)] = i == level;
    ClueLevel = QString::number(level);
    if (level == 1) {
        ui.lblClue.visible = false;
    } else {
        ui.lblClue.visible = true;
        ui.lblClue.caption = openingClue(level, GameYear, GamePublisher);
    }
}

void GallowsGame::mnuSounds_Click(int level)
{
    Notify notify(this, notifyDepth);
    if (level < 1 || level > 4)
        return;
    for (int i = 1; i <= 4; ++i)
        ui.mnuSounds[size_t(i - 1)] = i == level;
    SoundLevel = qint16(level);
}

void GallowsGame::mnuStats_Click()
{
    Notify notify(this, notifyDepth);
    if (SaveStats == kTrue) {
        ui.mnuStats = false;
        SaveStats = kFalse;
    } else {
        ui.mnuStats = true;
        SaveStats = kTrue;
    }
    saveSettings({{QStringLiteral("SaveStats"), SaveStats}});
}

void GallowsGame::mnuReset_Click()
{
    Notify notify(this, notifyDepth);
    GamesWon = GamesLost = GamesGiveUp = GamesTotal = 0;
    saveSettings({{QStringLiteral("GamesWon"), QStringLiteral("0")},
                  {QStringLiteral("GamesLost"), QStringLiteral("0")},
                  {QStringLiteral("GamesGiveUp"), QStringLiteral("0")},
                  {QStringLiteral("GamesTotal"), QStringLiteral("0")}});
    showCounters();
}

// ---------------------------------------------------------------- helpers

void GallowsGame::showCounters()
{
    ui.stsBar[0] = panelText(1, GamesWon);
    ui.stsBar[1] = panelText(2, GamesLost);
    ui.stsBar[2] = panelText(3, GamesGiveUp);
    ui.stsBar[3] = panelText(4, GamesTotal);
}

void GallowsGame::saveSettings(const QList<QPair<QString, QString>> &values)
{
    // The values go to the store as one change (a first run killed half-way
    // must not leave a store that looks initialised but is not); the player
    // hears about a failure once.
    QString error;
    if (!svc.settings->saveAll(values, &error))
        svc.messages->show(error.isEmpty() ? QStringLiteral("The settings could not be saved.") : error);
}

void GallowsGame::setPicture(const QString &relativePath)
{
    svc.pictures->load(relativePath);
    ui.imgGallows = relativePath;
}

void GallowsGame::requestFocus(const QString &objectName)
{
    ui.focus = objectName;
    ++ui.focusSerial;
}

void GallowsGame::guarded(const std::function<void()> &step)
{
    // Past the first game a failure cannot be mended from here: say what it
    // is, then close the window the normal way, so the settings are kept.
    try {
        step();
    } catch (const GameError &error) {
        stopReveal();
        disableGuessControls();
        svc.messages->show(error.message());
        ui.closeRequested = true;
    }
}

} // namespace gallows
