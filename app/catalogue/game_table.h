#pragma once
// The catalogue's games as plain rows, checked, and moved between a CSV
// file and an encrypted catalogue. Used by the gallows-catalogue tool.

#include "app/catalogue/games_csv.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace gallows::catalogue {

// One game as it came from a file: GameID, Title, Year, Genre, Publisher,
// Developer as raw bytes, and the CSV line (or catalogue row) it came from.
struct GameRow {
    int line = 0;
    QList<QByteArray> fields;
};

struct GameTable {
    QList<GameRow> rows;
    QList<Problem> problems;
};

// How the places in problems are named.
enum class Source { Csv, Catalogue };

// Reads a games CSV: checks the header and the shape of every row, then
// every row's contents (see checkGames).
GameTable readGamesCsv(const QByteArray &data);

// Reads every game in a catalogue, in the table's own order. Throws
// GameError when the catalogue cannot be opened or read.
GameTable readGamesCatalogue(const QString &path, const QString &key);

// What is wrong with the rows: a missing title, a title that cannot be
// played, a bad or repeated GameID, control characters, invalid UTF-8.
QList<Problem> checkGames(const QList<GameRow> &rows, Source source);

// "games.csv:17: text" or "bsk.cab: row 17: text".
QString describe(const QString &file, const Problem &problem, Source source);

// The whole CSV file: header and rows.
QByteArray gamesCsv(const QList<GameRow> &rows);

// Writes a fresh catalogue from rows that passed checkGames. It is built
// beside `path` under a temporary name and renamed over it only when
// complete, so a failure leaves any old catalogue as it was. Throws GameError.
void writeGamesCatalogue(const QString &path, const QList<GameRow> &rows, const QString &key);

// Replaces the file at `path` with `data` in the same all-or-nothing way.
// Throws GameError.
void writeFileAtomically(const QString &path, const QByteArray &data);

} // namespace gallows::catalogue
