#include "raw_catalogue.h"

#include <QFile>
#include <QTest>
#include <sqlite3.h>

namespace testing {

bool runSql(const QString &path, const QStringList &sql, const QString &key)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK;
    const QByteArray k = key.toUtf8();
    // An empty key leaves the database unencrypted.
    ok = ok && (k.isEmpty() || sqlite3_key(db, k.constData(), int(k.size())) == SQLITE_OK);
    QStringList all = QStringList{QStringLiteral("BEGIN")} + sql + QStringList{QStringLiteral("COMMIT")};
    for (const QString &statement : all) {
        if (!ok)
            break;
        char *error = nullptr;
        ok = sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, &error) == SQLITE_OK;
        if (!ok)
            qWarning("SQL failed: %s: %s", qPrintable(statement), error ? error : "");
        sqlite3_free(error);
    }
    sqlite3_close_v2(db);
    return ok;
}

gallows::catalogue::GameRow game(int line, qint64 id, const QString &title, const QString &year)
{
    return {line,
            {QByteArray::number(id), title.toUtf8(), year.toUtf8(), "puzzle", "Some Publisher",
             "Some Developer"}};
}

QList<gallows::catalogue::GameRow> numberedGames(int count)
{
    QList<gallows::catalogue::GameRow> rows;
    rows.reserve(count);
    for (int i = 1; i <= count; ++i)
        rows.append(game(i + 1, i, QStringLiteral("GAME %1").arg(i)));
    return rows;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace testing
