#include "app/catalogue/sql_connection.h"

#include <QFile>
#include <sqlite3.h>

namespace gallows::sql {

namespace {

[[noreturn]] void fail(sqlite3 *db, int rc)
{
    // The connection's message names the cause best; without a connection
    // (or when it holds no message for this code) fall back to the code's text.
    const char *text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw Error(rc, QString::fromUtf8(text ? text : sqlite3_errstr(rc)));
}

} // namespace

Error::Error(int code, const QString &message)
    : std::runtime_error(message.toStdString()), m_resultCode(code), m_text(message)
{
}

void Connection::Closer::operator()(sqlite3 *db) const
{
    sqlite3_close_v2(db);
}

Connection::Connection(const QString &path, Mode mode)
{
    const int flags = mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    // sqlite3_open_v2 hands back a handle even on failure; it must be closed.
    m_db.reset(raw);
    if (rc != SQLITE_OK)
        fail(raw, rc);
}

void Connection::key(const QByteArray &passphrase)
{
    const int rc = sqlite3_key(m_db.get(), passphrase.constData(), int(passphrase.size()));
    if (rc != SQLITE_OK)
        fail(m_db.get(), rc);
}

void Connection::exec(const char *sql)
{
    const int rc = sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(m_db.get(), rc);
}

Statement Connection::prepare(const char *sql)
{
    sqlite3_stmt *raw = nullptr;
    const int rc = sqlite3_prepare_v2(m_db.get(), sql, -1, &raw, nullptr);
    Statement st(m_db.get(), raw);
    if (rc != SQLITE_OK)
        fail(m_db.get(), rc);
    return st;
}

void Connection::close()
{
    if (!m_db)
        return;
    sqlite3 *raw = m_db.release();
    const int rc = sqlite3_close(raw);
    if (rc != SQLITE_OK) {
        // A statement is still open somewhere: let SQLite finish the close
        // once it is finalized, and report the mistake.
        sqlite3_close_v2(raw);
        throw Error(rc, QString::fromUtf8(sqlite3_errstr(rc)));
    }
}

void Statement::Finalizer::operator()(sqlite3_stmt *stmt) const
{
    sqlite3_finalize(stmt);
}

void Statement::check(int rc) const
{
    if (rc != SQLITE_OK)
        fail(m_db, rc);
}

void Statement::bindInt64(int index, qint64 value)
{
    check(sqlite3_bind_int64(m_stmt.get(), index, value));
}

void Statement::bindDouble(int index, double value)
{
    check(sqlite3_bind_double(m_stmt.get(), index, value));
}

void Statement::bindText(int index, const QByteArray &utf8)
{
    check(sqlite3_bind_text64(m_stmt.get(), index, utf8.constData(), sqlite3_uint64(utf8.size()),
                              SQLITE_TRANSIENT, SQLITE_UTF8));
}

void Statement::bindBlob(int index, const QByteArray &bytes)
{
    check(sqlite3_bind_blob64(m_stmt.get(), index, bytes.constData(), sqlite3_uint64(bytes.size()),
                              SQLITE_TRANSIENT));
}

void Statement::bindNull(int index)
{
    check(sqlite3_bind_null(m_stmt.get(), index));
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt.get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(m_db, rc);
}

void Statement::reset()
{
    // sqlite3_reset repeats the last step's error, which step() has already
    // reported; clearing the bindings cannot fail.
    sqlite3_reset(m_stmt.get());
    sqlite3_clear_bindings(m_stmt.get());
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt.get());
}

QByteArray Statement::columnName(int column) const
{
    return QByteArray(sqlite3_column_name(m_stmt.get(), column));
}

int Statement::columnType(int column) const
{
    return sqlite3_column_type(m_stmt.get(), column);
}

qint64 Statement::columnInt64(int column) const
{
    return sqlite3_column_int64(m_stmt.get(), column);
}

double Statement::columnDouble(int column) const
{
    return sqlite3_column_double(m_stmt.get(), column);
}

QByteArray Statement::columnText(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt.get(), column));
    const int size = sqlite3_column_bytes(m_stmt.get(), column);
    return text ? QByteArray(text, size) : QByteArray();
}

QByteArray Statement::columnBlob(int column) const
{
    const auto *data = static_cast<const char *>(sqlite3_column_blob(m_stmt.get(), column));
    const int size = sqlite3_column_bytes(m_stmt.get(), column);
    return data ? QByteArray(data, size) : QByteArray();
}

} // namespace gallows::sql
