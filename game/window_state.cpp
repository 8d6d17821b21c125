#include "game/window_state.h"

namespace gallows {

QString WindowState::boardText() const
{
    QString out;
    for (size_t i = 1; i < txtLetter.size(); ++i) {
        const Cell &c = txtLetter[i];
        if (i > 1)
            out += QLatin1Char(' ');
        if (!c.bordered)
            out += QLatin1Char(' ');
        else
            out += c.caption.isEmpty() ? QStringLiteral("_") : c.caption;
    }
    return out;
}

} // namespace gallows
