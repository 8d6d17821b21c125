#include "app/catalogue/game_table.h"

#include "game/board_layout.h"
#include "app/catalogue/catalogue_columns.h"
#include "game/interfaces.h"
#include "app/catalogue/sqlcipher_catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace gallows::catalogue {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const QByteArray &bytes)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = s[i];
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, cp = c & 0x1F, minimum = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F, minimum = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, cp = c & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (i + extra >= n)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

// The first C0 or C1 control character (DEL included), or 0.
char16_t firstControl(const QString &text)
{
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            return u;
    }
    return 0;
}

QString headerText()
{
    return columnNames().join(QLatin1Char(','));
}

QString place(Source source)
{
    return source == Source::Csv ? QStringLiteral("on line") : QStringLiteral("in row");
}

// GameID: a whole number from 1 up, written without sign or leading zeros,
// so that it reads back from the catalogue exactly as it was written.
bool parseGameId(const QString &text, qint64 *id, QString *why)
{
    const bool digitsOnly = std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (!digitsOnly) {
        *why = QStringLiteral("GameID \"%1\" is not a whole number").arg(text);
        return false;
    }
    if (text.size() > 1 && text.startsWith(QLatin1Char('0'))) {
        *why = QStringLiteral("GameID \"%1\" has a leading zero").arg(text);
        return false;
    }
    bool ok = false;
    *id = text.toLongLong(&ok);
    if (!ok || *id < 1) {
        *why = QStringLiteral("GameID %1 is out of range (1 to %2)")
                   .arg(text)
                   .arg(std::numeric_limits<qint64>::max());
        return false;
    }
    return true;
}

QString cannotWrite(const QString &path, const QString &why)
{
    return QStringLiteral("The games catalogue %1 cannot be written: %2").arg(path, why);
}

// Makes a finished rename survive a power cut.
void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QList<Problem> checkGames(const QList<GameRow> &rows, Source source)
{
    QList<Problem> problems;
    QHash<qint64, int> firstSeen;
    const QStringList &names = columnNames();
    for (const GameRow &row : rows) {
        auto report = [&](const QString &text) { problems.append({row.line, text}); };
        if (row.fields.size() != kColumnCount) {
            if (row.fields.size() == 1 && row.fields[0].isEmpty())
                report(QStringLiteral("blank line"));
            else
                report(QStringLiteral("%1 fields, expected %2").arg(row.fields.size()).arg(kColumnCount));
            continue;
        }
        QString text[kColumnCount];
        bool usable[kColumnCount] = {};
        for (int c = 0; c < kColumnCount; ++c) {
            if (!isValidUtf8(row.fields[c])) {
                report(QStringLiteral("invalid UTF-8 in %1").arg(names[c]));
                continue;
            }
            usable[c] = true;
            text[c] = QString::fromUtf8(row.fields[c]);
            if (const char16_t u = firstControl(text[c]))
                report(QStringLiteral("control character U+%1 in %2")
                           .arg(QStringLiteral("%1").arg(uint(u), 4, 16, QLatin1Char('0')).toUpper(), names[c]));
        }
        if (usable[GameIdColumn]) {
            const QString &idText = text[GameIdColumn];
            qint64 id = 0;
            QString why;
            if (idText.isEmpty()) {
                report(QStringLiteral("missing GameID"));
            } else if (!parseGameId(idText, &id, &why)) {
                report(why);
            } else if (const auto seen = firstSeen.constFind(id); seen != firstSeen.cend()) {
                report(QStringLiteral("duplicate GameID %1 (first %2 %3)").arg(id).arg(place(source)).arg(*seen));
            } else {
                firstSeen.insert(id, row.line);
            }
        }
        if (usable[TitleColumn]) {
            const QString &title = text[TitleColumn];
            QString why;
            if (title.trimmed().isEmpty())
                report(QStringLiteral("missing title"));
            else if (!titleFitsBoard(title, &why))
                report(QStringLiteral("title \"%1\" cannot be played: %2").arg(title, why));
        }
    }
    return problems;
}

QString describe(const QString &file, const Problem &problem, Source source)
{
    if (source == Source::Csv)
        return QStringLiteral("%1:%2: %3").arg(file).arg(problem.line).arg(problem.text);
    return QStringLiteral("%1: row %2: %3").arg(file).arg(problem.line).arg(problem.text);
}

GameTable readGamesCsv(const QByteArray &data)
{
    CsvDocument doc = parseCsv(data);
    GameTable table;
    table.problems = doc.problems;
    if (doc.records.isEmpty()) {
        table.problems.append({1, QStringLiteral("the file is empty; the first line must be %1").arg(headerText())});
        return table;
    }
    const CsvRecord &header = doc.records.first();
    QList<QByteArray> expected;
    for (const QString &name : columnNames())
        expected.append(name.toUtf8());
    if (header.fields != expected)
        table.problems.append({header.line, QStringLiteral("wrong header \"%1\", expected \"%2\"")
                                                .arg(QString::fromUtf8(formatCsvRecord(header.fields).chopped(1)),
                                                     headerText())});
    for (qsizetype i = 1; i < doc.records.size(); ++i)
        table.rows.append({doc.records[i].line, doc.records[i].fields});
    table.problems += checkGames(table.rows, Source::Csv);
    std::stable_sort(table.problems.begin(), table.problems.end(),
                     [](const Problem &a, const Problem &b) { return a.line < b.line; });
    return table;
}

GameTable readGamesCatalogue(const QString &path, const QString &key)
{
    sql::Connection db = openCatalogue(path, key);
    GameTable table;
    try {
        sql::Statement st = db.prepare("SELECT * FROM Games");
        int column[kColumnCount];
        std::fill(std::begin(column), std::end(column), -1);
        for (int c = st.columnCount() - 1; c >= 0; --c) {
            const QString name = QString::fromUtf8(st.columnName(c));
            for (int k = 0; k < kColumnCount; ++k)
                if (name.compare(columnNames()[k], Qt::CaseInsensitive) == 0)
                    column[k] = c; // walking backwards, so the first such column wins
        }
        int n = 0;
        while (st.step()) {
            GameRow row{++n, {}};
            for (int k = 0; k < kColumnCount; ++k)
                row.fields.append(st.columnText(column[k]));
            table.rows.append(std::move(row));
        }
    } catch (const sql::Error &e) {
        throw GameError(QStringLiteral("The games catalogue %1 cannot be read: %2").arg(path, e.message()));
    }
    table.problems = checkGames(table.rows, Source::Catalogue);
    return table;
}

QByteArray gamesCsv(const QList<GameRow> &rows)
{
    QList<QByteArray> header;
    for (const QString &name : columnNames())
        header.append(name.toUtf8());
    QByteArray out = formatCsvRecord(header);
    for (const GameRow &row : rows)
        out += formatCsvRecord(row.fields);
    return out;
}

void writeGamesCatalogue(const QString &path, const QList<GameRow> &rows, const QString &key)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        throw GameError(QStringLiteral("The games catalogue %1 is not a file.").arg(path));
    const QDir folder = target.absoluteDir();
    if (!folder.exists())
        throw GameError(cannotWrite(path, QStringLiteral("the folder %1 does not exist").arg(folder.path())));

    // Built under a hidden name beside the target, so the final rename stays
    // on one file system and is atomic. Removed again unless it is renamed.
    QTemporaryFile temporary(folder.filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
    if (!temporary.open())
        throw GameError(cannotWrite(path, temporary.errorString()));
    const QString temporaryPath = temporary.fileName();
    temporary.close();

    try {
        sql::Connection db(temporaryPath, sql::Connection::Mode::ReadWrite);
        db.key(key == QLatin1String(kCatalogueKey) ? catalogueKeyWithSalt() : key.toUtf8());
        db.exec("BEGIN");
        db.exec("CREATE TABLE Games(GameID INTEGER PRIMARY KEY, Title TEXT, Year TEXT, Genre TEXT,"
                " Publisher TEXT, Developer TEXT)");
        sql::Statement insert = db.prepare(
            "INSERT INTO Games(GameID, Title, Year, Genre, Publisher, Developer) VALUES (?, ?, ?, ?, ?, ?)");
        for (const GameRow &row : rows) {
            bool ok = row.fields.size() == kColumnCount;
            const qint64 id = ok ? row.fields[GameIdColumn].toLongLong(&ok) : 0;
            if (!ok)
                throw GameError(cannotWrite(path, QStringLiteral("row %1 is not a valid game").arg(row.line)));
            insert.bindInt64(1, id);
            for (int c = TitleColumn; c < kColumnCount; ++c)
                insert.bindText(c + 1, row.fields[c]);
            insert.step();
            insert.reset();
        }
        insert.finalize();
        // The game reads every GameID at start-up. Without an index that
        // means decrypting the whole table; this index holds only the
        // identifiers, so the scan reads about a tenth as many pages.
        db.exec("CREATE INDEX GameIDs ON Games(GameID)");
        db.exec("COMMIT");
        db.close();
    } catch (const sql::Error &e) {
        // Leaving the block has closed the connection and rolled back;
        // the temporary file goes with `temporary`.
        throw GameError(cannotWrite(path, e.message()));
    }

    const QFileDevice::Permissions permissions = target.exists()
        ? target.permissions()
        : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QFile::setPermissions(temporaryPath, permissions);
    if (std::rename(QFile::encodeName(temporaryPath).constData(), QFile::encodeName(path).constData()) != 0)
        throw GameError(cannotWrite(path, QString::fromLocal8Bit(std::strerror(errno))));
    temporary.setAutoRemove(false);
    syncFolder(folder.absolutePath());
}

void writeFileAtomically(const QString &path, const QByteArray &data)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        throw GameError(QStringLiteral("%1 is not a file.").arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw GameError(QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
    if (file.write(data) != data.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        throw GameError(QStringLiteral("%1 cannot be written: %2").arg(path, why));
    }
    if (!file.commit())
        throw GameError(QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
}

} // namespace gallows::catalogue
