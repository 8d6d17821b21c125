#include "game/clues.h"

#include <cmath>

namespace gallows {

int clueLevelNumber(const QString &clueLevel)
{
    bool ok = false;
    const double value = clueLevel.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0;
    for (int level = 1; level <= 5; ++level)
        if (value == level)
            return level;
    return 0;
}

QString clueLevelCaption(int level)
{
    switch (level) {
    case 1: return QStringLiteral("None");
    case 2: return QStringLiteral("Year");
    case 3: return QStringLiteral("Year, Publisher");
    case 4: return QStringLiteral("Year, Publisher, Genre");
    case 5: return QStringLiteral("Year, Publisher, Genre, Developer");
    }
    return QString();
}

QString openingClue(int level, const QString &year, const QString &publisher)
{
    const QString published = QStringLiteral("Published in ") + year + QStringLiteral(" by ") + publisher;
    switch (level) {
    case 2: return QStringLiteral("Clue: Released in ") + year;
    case 3: return QStringLiteral("Clue: ") + published;
    case 4: return QStringLiteral("Clue 1 of 2: ") + published;
    case 5: return QStringLiteral("Clue 1 of 3: ") + published;
    }
    return QString();
}

QString followUpClue(int level, int wrongGuesses, const QString &genre, const QString &developer)
{
    if (wrongGuesses == 3 && level == 5)
        return QStringLiteral("Clue 2 of 3: The genre is ") + genre;
    if (wrongGuesses == 5 && level == 4)
        return QStringLiteral("Clue 2 of 2: The genre is ") + genre;
    if (wrongGuesses == 6 && level == 5) {
        if (developer == QLatin1String("(unknown)"))
            return QStringLiteral("Clue 3 of 3: The developer is unknown");
        return QStringLiteral("Clue 3 of 3: It was developed by ") + developer;
    }
    return QString();
}

} // namespace gallows
