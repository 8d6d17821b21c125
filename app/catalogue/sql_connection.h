#pragma once
// A thin, exception-based wrapper over the SQLCipher C API. Every handle is
// owned by an object, so nothing leaks whichever way a function is left.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

namespace gallows::sql {

// A failed SQLite call: SQLite's own message and its result code.
class Error : public std::runtime_error {
public:
    Error(int code, const QString &message);
    int code() const { return m_resultCode; }
    QString message() const { return m_text; }

private:
    int m_resultCode;
    QString m_text;
};

class Statement;

class Connection {
public:
    enum class Mode { ReadOnly, ReadWrite };

    Connection() = default;
    // Opens an existing file; never creates one.
    Connection(const QString &path, Mode mode);
    Connection(Connection &&) noexcept = default;
    Connection &operator=(Connection &&) noexcept = default;

    bool isOpen() const { return bool(m_db); }
    // Sets the passphrase; must come before the first statement.
    void key(const QByteArray &passphrase);
    void exec(const char *sql);
    Statement prepare(const char *sql);
    // Closes the database now (the destructor would do it too).
    void close();

    sqlite3 *handle() const { return m_db.get(); }

private:
    struct Closer {
        void operator()(sqlite3 *db) const;
    };
    std::unique_ptr<sqlite3, Closer> m_db;
};

class Statement {
public:
    Statement(sqlite3 *db, sqlite3_stmt *stmt) : m_db(db), m_stmt(stmt) {}
    Statement(Statement &&) noexcept = default;
    Statement &operator=(Statement &&) noexcept = default;

    void bindInt64(int index, qint64 value);
    void bindDouble(int index, double value);
    void bindText(int index, const QByteArray &utf8);
    void bindBlob(int index, const QByteArray &bytes);
    void bindNull(int index);

    // Advances to the next row: true while there is one.
    bool step();
    void reset();
    void finalize() { m_stmt.reset(); }

    int columnCount() const;
    QByteArray columnName(int column) const;
    int columnType(int column) const;
    qint64 columnInt64(int column) const;
    double columnDouble(int column) const;
    // The column as text bytes; NULL reads as empty.
    QByteArray columnText(int column) const;
    QByteArray columnBlob(int column) const;

private:
    void check(int rc) const;
    struct Finalizer {
        void operator()(sqlite3_stmt *stmt) const;
    };
    sqlite3 *m_db = nullptr;
    std::unique_ptr<sqlite3_stmt, Finalizer> m_stmt;
};

} // namespace gallows::sql
