#pragma once
// The clue line: which text each clue level shows, and when.

#include <QString>

namespace gallows {

// The clue level held as text ("5", or "5.0" from a hand-edited store) as a
// whole number 1..5, or 0 when it is not one of those numbers.
int clueLevelNumber(const QString &clueLevel);

// The caption of the Clues menu item for level 1..5.
QString clueLevelCaption(int level);

// The opening clue of level 2..5 ("" for any other level).
QString openingClue(int level, const QString &year, const QString &publisher);

// The follow-up clue for `wrongGuesses` at `level`, or a null QString when
// the label stays as it is.
QString followUpClue(int level, int wrongGuesses, const QString &genre, const QString &developer);

} // namespace gallows
