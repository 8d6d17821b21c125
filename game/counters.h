#pragma once
// The four outcome counters: 16-bit, shown in the status bar, never wrapping.

#include <QString>
#include <QtGlobal>

namespace gallows {

// a + b held inside the 16-bit range: past 32767 it stays at 32767, below
// -32768 at -32768.
qint16 addClamped(qint16 a, int b);

// The sum of the three outcome counters, held inside the 16-bit range.
qint16 totalOf(qint16 won, qint16 lost, qint16 givenUp);

// Reads plain decimal text (an optional minus sign, digits, nothing else) as
// a 16-bit signed value. False for anything else or out of range.
bool parseInt16(const QString &text, qint16 *value);

// "Games Won: 3", "Games Lost: 2", "Given Up: 1", "Games Played: 6" for
// panels 1 to 4.
QString panelText(int panel, qint16 value);

} // namespace gallows
