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

// One letter cell of the board (element 0 of txtLetter is the template).
// Positions are in twips, 15 to a device-independent pixel.
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

struct WindowState {
    Control cmdGiveUp;
    Control cmdNew;
    Control cmdGuessLetter;
    Control cmdGuessWord;
    TextBox txtGuessLetter;
    TextBox txtGuessWord;
    ListBox lstIncorrect;
    Label lblClue;
    // imgGallows: the relative path of the picture shown, "" for none.
    QString imgGallows;
    // txtLetter: element 0 is the hidden template, 1..TitleLength the board.
    std::vector<Cell> txtLetter = std::vector<Cell>(1);
    // stsBar: panels 1 to 4 at indexes 0 to 3.
    std::array<QString, 4> stsBar = {QStringLiteral("Won: 0"), QStringLiteral("Lost: 0"),
                                     QStringLiteral("Given Up: 0"),
                                     QStringLiteral("Games Played: 0")};
    // Menu check marks: mnuClue1..5, mnuSounds1..4, mnuStats.
    std::array<bool, 5> mnuClue{};
    std::array<bool, 4> mnuSounds{};
    bool mnuStats = true;
    bool tmrLoad = true;

    // The control that should hold the focus (its objectName), and a serial
    // that grows with every request, so a repeated request is seen too.
    QString focus;
    unsigned focusSerial = 0;

    // Set when a failure in a later game asks the window to close.
    bool closeRequested = false;

    // The board as text, "_" for a hidden cell, for screen readers.
    QString boardText() const;
};

} // namespace gallows
