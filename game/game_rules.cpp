#include "game/game_rules.h"

#include "game/board_layout.h"
#include "game/clues.h"
#include "game/counters.h"
#include "game/cues.h"

#include <QMap>

#include <algorithm>
#include <cmath>

namespace gallows {

namespace {

constexpr int kRevealIntervalMs = 17;
constexpr int kLossCount = 9;

const QString kTrue = QStringLiteral("True");
const QString kFalse = QStringLiteral("False");

// Emits stateChanged() once the outermost handler returns.
class Notify {
public:
    explicit Notify(GameRules *g, int &depth) : game(g), level(depth) { ++level; }
    ~Notify()
    {
        if (--level == 0)
            emit game->stateChanged();
    }
    Notify(const Notify &) = delete;
    Notify &operator=(const Notify &) = delete;

private:
    GameRules *game;
    int &level;
};

} // namespace

GameRules::GameRules(const Services &services, QObject *parent)
    : QObject(parent), m_services(services)
{
}

void GameRules::setLetterText(const QString &text) { m_state.letterBox.text = text; }

void GameRules::setTitleText(const QString &text) { m_state.titleBox.text = text; }

// ---------------------------------------------------------------- window life

void GameRules::loadSettings()
{
    Notify notify(this, m_notifyDepth);
    SettingsStore &store = m_services.settings;
    // On a first run the values just written are used as written, so a store
    // that cannot be written still gives a first run at the defaults.
    QMap<QString, QString> firstRun;
    if (store.get(QStringLiteral("PreviousRun")) != kTrue) {
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
        return firstRun.isEmpty() ? store.get(key) : firstRun.value(key);
    };
    // A value that is not 16-bit decimal text (hand-edited, damaged) reads as
    // its first-run default, so a bad store can never stop the game starting.
    auto readNumber = [&](const QString &key, qint16 fallback) {
        qint16 value = 0;
        return parseInt16(read(key), &value) ? value : fallback;
    };
    m_statistics.won = readNumber(QStringLiteral("GamesWon"), 0);
    m_statistics.lost = readNumber(QStringLiteral("GamesLost"), 0);
    m_statistics.givenUp = readNumber(QStringLiteral("GamesGiveUp"), 0);
    m_statistics.total = readNumber(QStringLiteral("GamesTotal"), 0);
    showStatistics();
    m_state.newGameButton.visible = false;
    m_soundLevel = readNumber(QStringLiteral("Sounds"), 1);
    m_clueSetting = read(QStringLiteral("Clue"));
    m_clueLevel = clueLevelNumber(m_clueSetting);
    m_saveStatistics = read(QStringLiteral("SaveStats")) == kTrue;
}

void GameRules::saveAndClose()
{
    Notify notify(this, m_notifyDepth);
    if (m_closed)
        return;
    m_closed = true;
    stopReveal();
    // Every write is tried and the close always completes; a failure is
    // told once, naming the file and the reason, once all have been tried.
    const bool keep = m_saveStatistics;
    auto counter = [keep](qint16 v) { return keep ? QString::number(v) : QStringLiteral("0"); };
    saveSettings({{QStringLiteral("GamesWon"), counter(m_statistics.won)},
                  {QStringLiteral("GamesLost"), counter(m_statistics.lost)},
                  {QStringLiteral("GamesGiveUp"), counter(m_statistics.givenUp)},
                  {QStringLiteral("GamesTotal"), counter(m_statistics.total)},
                  {QStringLiteral("Clue"), m_clueSetting},
                  {QStringLiteral("Sounds"), QString::number(m_soundLevel)}});
    m_services.catalogue.close();
}

// ---------------------------------------------------------------- new game

void GameRules::startGame()
{
    Notify notify(this, m_notifyDepth);
    stopReveal();
    m_state.newGameButton.enabled = false;
    m_state.giveUpButton.enabled = false;
    m_state.incorrectList.enabled = false;

    // The draw is uniform over every row of the identifier list.
    const int rows = m_services.catalogue.count();
    if (rows <= 0)
        throw GameError(QStringLiteral("The games catalogue holds no games."));
    const double r = m_services.random.next();
    m_record = m_services.catalogue.fetch(std::clamp(int(std::floor(r * rows)), 0, rows - 1));

    // Menus from the settings: the clue level, the sound level, saving.
    if (m_clueLevel >= 1) {
        m_state.clueChecks[size_t(m_clueLevel - 1)] = true;
        if (m_clueLevel >= 2)
            m_state.clueLabel.caption = openingClue(m_clueLevel, m_record.year, m_record.publisher);
    }
    if (m_soundLevel >= 1 && m_soundLevel <= 4)
        m_state.soundChecks[size_t(m_soundLevel - 1)] = true;
    m_state.saveStatisticsChecked = m_saveStatistics;

    m_title = playableTitle(m_record.title);
    const BoardLayout layout = layoutBoard(splitCharacters(m_title));
    m_letters = layout.letters;
    m_revealed.assign(m_letters.size(), false);

    setPicture(picturePath(0));

    m_state.guessTitleButton.enabled = true;
    m_state.guessLetterButton.enabled = true;
    m_state.letterBox.enabled = true;
    m_state.titleBox.enabled = true;
    m_wrongGuesses = 0;
    m_moves = 0;

    m_state.cells.clear();
    m_state.cells.reserve(m_letters.size());
    for (qsizetype i = 0; i < m_letters.size(); ++i) {
        Cell cell;
        cell.character = m_letters[i];
        cell.left = layout.places[size_t(i)].left;
        cell.top = layout.places[size_t(i)].top;
        if (cell.character == QLatin1String(" ")) {
            cell.bordered = false;
            m_revealed[size_t(i)] = true;
        } else if (shownFromStart(cell.character)) {
            cell.caption = cell.character;
            m_revealed[size_t(i)] = true;
        }
        m_state.cells.push_back(cell);
    }

    // The cells appear one per tick; guesses may arrive meanwhile.
    m_nextCell = 0;
    if (m_letters.isEmpty()) {
        finishSetup();
        return;
    }
    m_revealing = true;
    m_state.revealTimerActive = true;
    m_services.ticker.start(kRevealIntervalMs);
}

void GameRules::revealNextCell()
{
    {
        Notify notify(this, m_notifyDepth);
        if (!m_revealing || m_nextCell < 0 || m_nextCell >= titleLength()) {
            stopReveal();
            return;
        }
        Cell &cell = m_state.cells[size_t(m_nextCell)];
        cell.visible = cell.caption != QLatin1String(" ");
        if (++m_nextCell >= titleLength()) {
            stopReveal();
            finishSetup();
        }
    }
    // A tick that comes while a handler waits on the stack (a message box is
    // open) is shown at once all the same: the window follows every tick.
    if (m_notifyDepth > 0)
        emit stateChanged();
}

void GameRules::stopReveal()
{
    if (m_revealing || m_state.revealTimerActive) {
        m_revealing = false;
        m_state.revealTimerActive = false;
        m_services.ticker.stop();
    }
}

void GameRules::finishSetup()
{
    m_state.newGameButton.enabled = true;
    m_state.giveUpButton.enabled = true;
    m_state.incorrectList.enabled = true;
    // A guess during the reveal may already have ended the game: then the
    // letter box is disabled and New Game, enabled only now, takes the focus.
    if (m_state.letterBox.enabled)
        requestFocus(FocusTarget::LetterBox);
    else if (m_state.newGameButton.visible)
        requestFocus(FocusTarget::NewGameButton);
}

void GameRules::newGame()
{
    Notify notify(this, m_notifyDepth);
    if (!m_state.newGameButton.visible || !m_state.newGameButton.enabled)
        return;
    m_state.giveUpButton.visible = true;
    m_state.newGameButton.visible = false;
    removeBoard();
    m_state.incorrectList.items.clear();
    guarded([this] { startGame(); });
}

void GameRules::removeBoard()
{
    stopReveal();
    m_state.cells.clear();
}

// ---------------------------------------------------------------- guesses

void GameRules::guessLetter()
{
    Notify notify(this, m_notifyDepth);
    if (m_state.letterBox.enabled && m_state.guessLetterButton.enabled)
        guarded([this] { checkLetter(); });
}

void GameRules::guessTitle()
{
    Notify notify(this, m_notifyDepth);
    if (m_state.titleBox.enabled && m_state.guessTitleButton.enabled)
        guarded([this] { checkTitle(); });
}

void GameRules::checkLetter()
{
    const QString guess = m_state.letterBox.text.toUpper();
    if (guess.isEmpty() || guess == QLatin1String(" ")) {
        m_services.messages.show(QStringLiteral("Please enter a letter, stupid!"));
        m_state.letterBox.text.clear();
        requestFocus(FocusTarget::LetterBox);
        return;
    }

    bool found = false;
    bool repeated = false;
    for (size_t i = 0; i < m_state.cells.size(); ++i) {
        Cell &cell = m_state.cells[i];
        if (cell.caption == guess) {
            repeated = true;
            break;
        }
        if (cell.character == guess) {
            cell.caption = cell.character;
            m_revealed[i] = true;
            found = true;
            ++m_moves;
        }
    }

    if (repeated) {
        m_services.messages.show(QStringLiteral("This letter has already been guessed!"));
        ++m_wrongGuesses;
        ++m_moves;
        countWrongGuess();
    } else {
        if (std::all_of(m_revealed.begin(), m_revealed.end(), [](bool shown) { return shown; })) {
            winGame();
            return;
        }
        const int variant = drawVariant();
        if (found) {
            if (cueSounds(Cue::Correct, m_soundLevel))
                m_services.cues.play(cueFile(Cue::Correct, variant));
        } else {
            listWrongGuess(guess, 1, variant);
        }
    }
    m_state.letterBox.text.clear();
    if (m_state.letterBox.enabled)
        requestFocus(FocusTarget::LetterBox);
}

void GameRules::checkTitle()
{
    const QString typed = m_state.titleBox.text;
    const QString guess = typed.toUpper();
    if (splitCharacters(guess).size() <= 1) {
        m_services.messages.show(QStringLiteral("Please enter the full title of this game!"));
        m_state.titleBox.text.clear();
        requestFocus(FocusTarget::TitleBox);
        return;
    }
    if (guess == m_title) {
        ++m_moves;
        winGame();
    } else {
        const int variant = drawVariant();
        ++m_moves;
        listWrongGuess(typed, 2, variant);
    }
    m_state.titleBox.text.clear();
    if (m_state.titleBox.enabled)
        requestFocus(FocusTarget::TitleBox);
}

// A wrong letter or title: listed, its strokes counted, its sound played
// unless it loses the game (the loss has a sound of its own).
void GameRules::listWrongGuess(const QString &guess, int strokes, int variant)
{
    m_state.incorrectList.items.append(guess);
    m_wrongGuesses += strokes;
    if (cueSounds(Cue::Wrong, m_soundLevel) && m_wrongGuesses < kLossCount)
        m_services.cues.play(cueFile(Cue::Wrong, variant));
    countWrongGuess();
}

// Which of the four "correct" or "wrong" sounds plays.
int GameRules::drawVariant()
{
    const double r = m_services.random.next();
    return std::clamp(int(std::floor(r * 4 + 1)), 1, 4);
}

// ---------------------------------------------------------------- outcomes

void GameRules::countWrongGuess()
{
    if (m_wrongGuesses <= 0)
        return;
    if (m_wrongGuesses >= kLossCount) {
        loseGame();
        return;
    }
    const QString clue =
        followUpClue(m_clueLevel, m_wrongGuesses, m_record.genre, m_record.developer);
    // At 3 and 6 the clue comes before the picture, at 5 after it.
    if (m_wrongGuesses != 5 && !clue.isNull())
        m_state.clueLabel.caption = clue;
    setPicture(picturePath(m_wrongGuesses));
    if (m_wrongGuesses == 5 && !clue.isNull())
        m_state.clueLabel.caption = clue;
}

void GameRules::loseGame()
{
    setPicture(picturePath(9));
    disableGuessControls();
    uncoverBoard();
    m_statistics.lost = addClamped(m_statistics.lost, 1);
    m_statistics.total = totalOf(m_statistics.won, m_statistics.lost, m_statistics.givenUp);
    showStatistics();
    m_state.giveUpButton.visible = false;
    m_state.newGameButton.visible = true;
    requestFocus(FocusTarget::NewGameButton);
    if (cueSounds(Cue::Lose, m_soundLevel))
        m_services.cues.play(cueFile(Cue::Lose));
}

void GameRules::winGame()
{
    setPicture(picturePath(10));
    const Cue cue = m_moves == 1 ? Cue::WinFirstMove : Cue::Win;
    if (cueSounds(cue, m_soundLevel))
        m_services.cues.play(cueFile(cue));
    m_state.giveUpButton.visible = false;
    m_state.newGameButton.visible = true;
    // As after a loss, New Game takes the focus, so that Enter starts the
    // next game for a player on the keyboard.
    requestFocus(FocusTarget::NewGameButton);
    disableGuessControls();
    m_state.letterBox.text.clear();
    uncoverBoard();
    m_statistics.won = addClamped(m_statistics.won, 1);
    m_statistics.total = totalOf(m_statistics.won, m_statistics.lost, m_statistics.givenUp);
    showStatistics();
}

void GameRules::giveUp()
{
    Notify notify(this, m_notifyDepth);
    if (!m_state.giveUpButton.visible || !m_state.giveUpButton.enabled)
        return;
    m_statistics.givenUp = addClamped(m_statistics.givenUp, 1);
    m_statistics.total = totalOf(m_statistics.won, m_statistics.lost, m_statistics.givenUp);
    showStatistics();
    removeBoard();
    m_state.incorrectList.items.clear();
    if (cueSounds(Cue::GiveUp, m_soundLevel))
        m_services.cues.play(cueFile(Cue::GiveUp));
    guarded([this] { startGame(); });
}

void GameRules::disableGuessControls()
{
    m_state.guessTitleButton.enabled = false;
    m_state.guessLetterButton.enabled = false;
    m_state.letterBox.enabled = false;
    m_state.titleBox.enabled = false;
}

void GameRules::uncoverBoard()
{
    for (Cell &cell : m_state.cells)
        cell.caption = cell.character;
}

// ---------------------------------------------------------------- menus

void GameRules::chooseClueLevel(int level)
{
    Notify notify(this, m_notifyDepth);
    if (level < 1 || level > 5)
        return;
    for (int i = 1; i <= 5; ++i)
        m_state.clueChecks[size_t(i - 1)] = i == level;
    m_clueLevel = level;
    m_clueSetting = QString::number(level);
    if (level == 1) {
        m_state.clueLabel.visible = false;
    } else {
        m_state.clueLabel.visible = true;
        m_state.clueLabel.caption = openingClue(level, m_record.year, m_record.publisher);
    }
}

void GameRules::chooseSoundLevel(int level)
{
    Notify notify(this, m_notifyDepth);
    if (level < 1 || level > 4)
        return;
    for (int i = 1; i <= 4; ++i)
        m_state.soundChecks[size_t(i - 1)] = i == level;
    m_soundLevel = level;
}

void GameRules::toggleSaveStatistics()
{
    Notify notify(this, m_notifyDepth);
    m_saveStatistics = !m_saveStatistics;
    m_state.saveStatisticsChecked = m_saveStatistics;
    saveSettings({{QStringLiteral("SaveStats"), m_saveStatistics ? kTrue : kFalse}});
}

void GameRules::resetStatistics()
{
    Notify notify(this, m_notifyDepth);
    m_statistics = {};
    saveSettings({{QStringLiteral("GamesWon"), QStringLiteral("0")},
                  {QStringLiteral("GamesLost"), QStringLiteral("0")},
                  {QStringLiteral("GamesGiveUp"), QStringLiteral("0")},
                  {QStringLiteral("GamesTotal"), QStringLiteral("0")}});
    showStatistics();
}

// ---------------------------------------------------------------- helpers

void GameRules::showStatistics()
{
    m_state.statusPanels[0] = panelText(1, m_statistics.won);
    m_state.statusPanels[1] = panelText(2, m_statistics.lost);
    m_state.statusPanels[2] = panelText(3, m_statistics.givenUp);
    m_state.statusPanels[3] = panelText(4, m_statistics.total);
}

void GameRules::saveSettings(const QList<QPair<QString, QString>> &values)
{
    // The values go to the store as one change (a first run killed half-way
    // must not leave a store that looks initialised but is not); the player
    // hears about a failure once.
    QString error;
    if (!m_services.settings.saveAll(values, &error))
        m_services.messages.show(error.isEmpty() ? QStringLiteral("The settings could not be saved.") : error);
}

QString GameRules::picturePath(int stage)
{
    return QStringLiteral("Data/Gallows/Graphics/%1.gif").arg(stage);
}

void GameRules::setPicture(const QString &relativePath)
{
    m_services.pictures.load(relativePath);
    m_state.picture = relativePath;
}

void GameRules::requestFocus(FocusTarget target)
{
    m_state.focus = target;
    ++m_state.focusSerial;
}

void GameRules::guarded(const std::function<void()> &step)
{
    // Past the first game a failure cannot be mended from here: say what it
    // is, then close the window the normal way, so the settings are kept.
    try {
        step();
    } catch (const GameError &error) {
        stopReveal();
        disableGuessControls();
        m_services.messages.show(error.message());
        m_state.closeRequested = true;
    }
}

} // namespace gallows
