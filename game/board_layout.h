#pragma once
// Turning a catalogue title into the board: the playable part of the title,
// its characters, which of them show from the start, and where each cell goes.

#include <QString>
#include <QStringList>
#include <vector>

namespace gallows {

struct CellPlace {
    double left = 0;
    double top = 0;
};

struct BoardLayout {
    QStringList letters;           // one code point per cell, in order
    std::vector<CellPlace> places;  // same length as letters
    bool hasLine2 = false;
    bool hasLine3 = false;
    int line2Start = 0;             // 1-based cell index, 0 when unused
    int line3Start = 0;
    int rows = 1;
    bool fits = true;               // every cell inside the client area, at most three rows
};

// The title cut before its last colon, then upper-cased.
QString playableTitle(const QString &title);

// The title split into characters (Unicode code points).
QStringList splitCharacters(const QString &text);

// A space or one of the fourteen characters the board shows from the start.
bool shownFromStart(const QString &character);

// Where the cells of `letters` go, in twips. The classic rows (breaks at the
// last space at or before characters 26 and 52) are kept whenever every cell
// lands inside the window; otherwise the rows are broken so that it does.
BoardLayout layoutBoard(const QStringList &letters);

// Whether a catalogue title can be played: it has a playable part and that
// part fits on the board. `why` says what is wrong.
bool titleFitsBoard(const QString &title, QString *why = nullptr);

} // namespace gallows
