#include "game/counters.h"

#include <algorithm>
#include <limits>

namespace gallows {

qint16 addClamped(qint16 a, int b)
{
    const long long sum = static_cast<long long>(a) + b;
    return static_cast<qint16>(std::clamp<long long>(sum, std::numeric_limits<qint16>::min(),
                                                     std::numeric_limits<qint16>::max()));
}

qint16 totalOf(qint16 won, qint16 lost, qint16 givenUp)
{
    // Clamped once, on the exact sum: clamping won + lost first would lose
    // whatever a negative given-up count (a hand-edited store) takes back.
    return addClamped(won, int(lost) + int(givenUp));
}

bool parseInt16(const QString &text, qint16 *value)
{
    if (text.isEmpty() || text.size() > 7)
        return false;
    qsizetype i = 0;
    bool negative = false;
    if (text[0] == QLatin1Char('-')) {
        negative = true;
        i = 1;
    }
    if (i == text.size())
        return false;
    long v = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - '0');
    }
    if (negative)
        v = -v;
    if (v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max())
        return false;
    *value = static_cast<qint16>(v);
    return true;
}

QString panelText(int panel, qint16 value)
{
    static const char *const labels[] = {"Games Won: ", "Games Lost: ", "Given Up: ",
                                         "Games Played: "};
    if (panel < 1 || panel > 4)
        return QString();
    return QLatin1String(labels[panel - 1]) + QString::number(value);
}

} // namespace gallows
