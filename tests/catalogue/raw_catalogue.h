#pragma once
// Catalogue files for the tests, made either straight through the SQLCipher
// C API (any schema, any values) or through the tool's own library.

#include "game_table.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace testing {

inline const QString kKey = QStringLiteral("57204618");

// Creates (or extends) an encrypted database at `path` and runs `sql` in
// one transaction; an empty key makes a plain SQLite file. Returns false
// (with a warning) on any SQLite error.
bool runSql(const QString &path, const QStringList &sql, const QString &key = kKey);

// The six columns of a game, GameID first.
gallows::catalogue::GameRow game(int line, qint64 id, const QString &title,
                                 const QString &year = QStringLiteral("1990"));

// `count` games with GameIDs 1..count and titles "GAME <id>".
QList<gallows::catalogue::GameRow> numberedGames(int count);

QByteArray readAll(const QString &path);
void writeAll(const QString &path, const QByteArray &data);

} // namespace testing
