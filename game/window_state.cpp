#include "game/window_state.h"

namespace gallows {

QString WindowState::boardText() const
{
    QString out;
    for (size_t i = 0; i < cells.size(); ++i) {
        const Cell &c = cells[i];
        if (i > 0)
            out += QLatin1Char(' ');
        if (!c.bordered)
            out += QLatin1Char(' ');
        else
            out += c.caption.isEmpty() ? QStringLiteral("_") : c.caption;
    }
    return out;
}

} // namespace gallows
