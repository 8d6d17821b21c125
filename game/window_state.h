#pragma once
// The game window as plain data: every control the rules touch, with the
// properties a player can see. ui/ binds real widgets to this and nothing else.

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace gallows {

struct Control {
    bool enabled = true;
    bool visible = true;
};

struct TextBox : Control {
    QString text;
};

struct ListBox : Control {
    QStringList items;
};

struct Label : Control {
    QString caption;
};

// One letter cell of the board. Positions are in twips, 15 to a
// device-independent pixel; a new cell sits where the window's design puts
// its hidden template.
struct Cell {
    QString caption;      // "" while hidden; the character once shown
    QString character;    // the title character behind the cell (one code point)
    double left = -190;
    double top = 360;
    bool visible = false; // the reveal shows cells one per tick
    bool bordered = true; // false for spaces: no border, transparent background
};

// Twip geometry of the window (client area) and of one cell.
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidth = 7695;
inline constexpr int kClientHeight = 4590;
inline constexpr int kCellSize = 255;

// The control the rules want the keyboard focus on.
enum class FocusTarget { None, LetterBox, TitleBox, NewGameButton };

struct WindowState {
    Control giveUpButton;
    Control newGameButton;
    Control guessLetterButton;
    Control guessTitleButton;
    TextBox letterBox;
    TextBox titleBox;
    ListBox incorrectList;
    Label clueLabel;
    // The relative path of the gallows picture shown, "" for none.
    QString picture;
    // The board, one cell per character of the title.
    std::vector<Cell> cells;
    // The four status bar panels, left to right.
    std::array<QString, 4> statusPanels = {QStringLiteral("Won: 0"), QStringLiteral("Lost: 0"),
                                           QStringLiteral("Given Up: 0"),
                                           QStringLiteral("Games Played: 0")};
    // Menu check marks: Clues levels 1..5, Sounds levels 1..4, Save Statistics.
    std::array<bool, 5> clueChecks{};
    std::array<bool, 4> soundChecks{};
    bool saveStatisticsChecked = true;
    // Whether the reveal timer runs.
    bool revealTimerActive = true;

    // The control that should hold the focus, and a serial that grows with
    // every request, so a repeated request is seen too.
    FocusTarget focus = FocusTarget::None;
    unsigned focusSerial = 0;

    // Set when a failure in a later game asks the window to close.
    bool closeRequested = false;

    // The board as text, "_" for a hidden cell, for screen readers.
    QString boardText() const;
};

} // namespace gallows
