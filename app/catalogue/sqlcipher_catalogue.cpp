#include "app/catalogue/sqlcipher_catalogue.h"
#include "app/catalogue/catalogue_columns.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <limits>
#include <sqlite3.h>

namespace gallows {

namespace {

QString cannotRead(const QString &path, const QString &why)
{
    return QStringLiteral("The games catalogue %1 cannot be read: %2").arg(path, why);
}

// A connection keyed with the passphrase `key` on which a first statement has
// run: that is where a wrong key or a damaged file shows. Throws sql::Error.
sql::Connection keyedConnection(const QString &path, const QByteArray &key)
{
    sql::Connection db(path, sql::Connection::Mode::ReadOnly);
    db.key(key);
    sql::Statement probe = db.prepare("SELECT count(*) FROM sqlite_master");
    probe.step();
    probe.finalize();
    return db;
}

// The game's own catalogue opened with the key derived in advance; a closed
// connection when the file has another salt or the key does not open it, and
// the caller then goes the usual way, so that a bad file fails as it would.
sql::Connection openWithRawKey(const QString &path)
{
    QFile file(path);
    const QByteArray salt(kCatalogueSalt);
    if (!file.open(QIODevice::ReadOnly) || file.read(salt.size()) != salt)
        return {};
    try {
        return keyedConnection(path, kCatalogueRawKey);
    } catch (const sql::Error &) {
        return {};
    }
}

} // namespace

QByteArray catalogueKeyWithSalt()
{
    QByteArray key(kCatalogueRawKey);
    key.chop(1); // the closing quote
    return key + QByteArray(kCatalogueSalt).toHex() + '\'';
}

sql::Connection openCatalogue(const QString &path, const QString &key)
{
    // Checked first: SQLite would report either case only as "unable to open
    // database file", and a read-only open must never create anything.
    const QFileInfo info(path);
    if (!info.exists())
        throw GameError(QStringLiteral("The games catalogue %1 is missing.").arg(path));
    if (!info.isFile())
        throw GameError(QStringLiteral("The games catalogue %1 is not a file.").arg(path));
    // An empty file is a valid empty database to SQLite; as a catalogue it is
    // no database at all.
    if (info.size() == 0)
        throw GameError(cannotRead(path, QString::fromUtf8(sqlite3_errstr(SQLITE_NOTADB))));

    sql::Connection db;
    QStringList present;
    try {
        if (key == QLatin1String(kCatalogueKey))
            db = openWithRawKey(path);
        if (!db.isOpen())
            db = keyedConnection(path, key.toUtf8());
        sql::Statement columns = db.prepare("PRAGMA table_info(Games)");
        while (columns.step())
            present << QString::fromUtf8(columns.columnText(1));
    } catch (const sql::Error &e) {
        throw GameError(cannotRead(path, e.message()));
    }
    if (present.isEmpty())
        throw GameError(QStringLiteral("The games catalogue %1 has no Games table.").arg(path));
    QStringList missing;
    for (const QString &name : catalogue::columnNames())
        if (!present.contains(name, Qt::CaseInsensitive))
            missing << name;
    if (missing.size() == 1)
        throw GameError(QStringLiteral("The Games table in the games catalogue %1 has no %2 column.")
                            .arg(path, missing.first()));
    if (!missing.isEmpty())
        throw GameError(QStringLiteral("The Games table in the games catalogue %1 has no %2 columns.")
                            .arg(path, missing.join(QStringLiteral(", "))));
    return db;
}

SqlCipherCatalogue::SqlCipherCatalogue(const QString &path, const QString &key)
    : m_path(path), m_db(openCatalogue(path, key))
{
    readIdentifiers();
}

SqlCipherCatalogue::~SqlCipherCatalogue() = default;

void SqlCipherCatalogue::unreadable(const sql::Error &e) const
{
    throw GameError(cannotRead(m_path, e.message()));
}

void SqlCipherCatalogue::readIdentifiers()
{
    try {
        sql::Statement st = m_db.prepare("SELECT GameID FROM Games");
        while (st.step()) {
            if (!m_looseMode && st.columnType(0) == SQLITE_INTEGER)
                m_ids.push_back(st.columnInt64(0));
            else
                keepLoose(st);
        }
    } catch (const sql::Error &e) {
        unreadable(e);
    } catch (const std::bad_alloc &) {
        throw GameError(cannotRead(m_path, QStringLiteral("too many games to hold in memory")));
    }
    const size_t n = m_looseMode ? m_looseIds.size() : m_ids.size();
    if (n > size_t(std::numeric_limits<int>::max()))
        throw GameError(cannotRead(m_path, QStringLiteral("it holds more games than the game can count")));
}

void SqlCipherCatalogue::keepLoose(const sql::Statement &st)
{
    if (!m_looseMode) {
        m_looseMode = true;
        m_looseIds.reserve(m_ids.size() + 1);
        for (qint64 id : m_ids)
            m_looseIds.push_back({SQLITE_INTEGER, id, 0, {}});
        std::vector<qint64>().swap(m_ids);
    }
    LooseId id;
    id.type = st.columnType(0);
    switch (id.type) {
    case SQLITE_INTEGER: id.integer = st.columnInt64(0); break;
    case SQLITE_FLOAT: id.real = st.columnDouble(0); break;
    case SQLITE_TEXT: id.bytes = st.columnText(0); break;
    case SQLITE_BLOB: id.bytes = st.columnBlob(0); break;
    default: break;
    }
    m_looseIds.push_back(std::move(id));
}

int SqlCipherCatalogue::count() const
{
    return int(m_looseMode ? m_looseIds.size() : m_ids.size());
}

void SqlCipherCatalogue::bindId(sql::Statement &st, int row) const
{
    if (!m_looseMode) {
        st.bindInt64(1, m_ids[size_t(row)]);
        return;
    }
    const LooseId &id = m_looseIds[size_t(row)];
    switch (id.type) {
    case SQLITE_INTEGER: st.bindInt64(1, id.integer); break;
    case SQLITE_FLOAT: st.bindDouble(1, id.real); break;
    case SQLITE_TEXT: st.bindText(1, id.bytes); break;
    case SQLITE_BLOB: st.bindBlob(1, id.bytes); break;
    default: st.bindNull(1); break;
    }
}

QString SqlCipherCatalogue::idText(int row) const
{
    if (!m_looseMode)
        return QString::number(m_ids[size_t(row)]);
    const LooseId &id = m_looseIds[size_t(row)];
    switch (id.type) {
    case SQLITE_INTEGER: return QString::number(id.integer);
    case SQLITE_FLOAT: return QString::number(id.real);
    case SQLITE_TEXT: return QString::fromUtf8(id.bytes);
    case SQLITE_BLOB: return QString::fromLatin1(id.bytes.toHex());
    default: return QStringLiteral("NULL");
    }
}

GameRecord SqlCipherCatalogue::fetch(int row)
{
    if (!m_db.isOpen())
        throw GameError(QStringLiteral("The games catalogue %1 is closed.").arg(m_path));
    if (row < 0 || row >= count())
        throw GameError(QStringLiteral("The games catalogue %1 has no row %2; it holds %3 games.")
                            .arg(m_path)
                            .arg(row)
                            .arg(count()));
    GameRecord record;
    try {
        sql::Statement st = m_db.prepare("SELECT * FROM Games WHERE GameID = ?");
        bindId(st, row);
        if (!st.step())
            throw GameError(QStringLiteral("The game with identifier %1 is no longer in the catalogue.")
                                .arg(idText(row)));
        QString *targets[] = {&record.gameId, &record.title, &record.year,
                              &record.genre, &record.publisher, &record.developer};
        bool found[std::size(targets)] = {};
        const QStringList &names = catalogue::columnNames();
        for (int c = 0; c < st.columnCount(); ++c) {
            const QString name = QString::fromUtf8(st.columnName(c));
            for (qsizetype k = 0; k < names.size(); ++k)
                if (!found[k] && name.compare(names[k], Qt::CaseInsensitive) == 0) {
                    *targets[k] = QString::fromUtf8(st.columnText(c));
                    found[k] = true;
                }
        }
        st.finalize();
        for (qsizetype k = 0; k < names.size(); ++k)
            if (!found[k])
                throw GameError(QStringLiteral("The Games table in the games catalogue %1 has no %2 column.")
                                    .arg(m_path, names[k]));
    } catch (const sql::Error &e) {
        unreadable(e);
    }
    return record;
}

void SqlCipherCatalogue::close()
{
    try {
        m_db.close();
    } catch (const sql::Error &) {
        // Every statement is finalized inside fetch(), so this cannot
        // happen; the handle is released either way.
    }
}

} // namespace gallows
