#pragma once
#include <QStringList>

namespace gallows::catalogue {

// The columns of the Games table, in the order the CSV file lists them.
enum Column { GameIdColumn, TitleColumn, YearColumn, GenreColumn, PublisherColumn, DeveloperColumn };
inline constexpr int kColumnCount = 6;

inline const QStringList &columnNames()
{
    static const QStringList names = {QStringLiteral("GameID"),    QStringLiteral("Title"),
                                      QStringLiteral("Year"),      QStringLiteral("Genre"),
                                      QStringLiteral("Publisher"), QStringLiteral("Developer")};
    return names;
}

} // namespace gallows::catalogue
