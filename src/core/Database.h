#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

namespace tavsms {

// Every failure of the database layer. `what()` is the engine's own words,
// prefixed with what we were doing, so that a message box can show it as is.
class DbError : public std::runtime_error
{
public:
    DbError(const QString &message, int code);
    int code() const { return m_code; }
    QString message() const { return QString::fromUtf8(what()); }
    // The file is not a database, or the key does not fit it.
    bool isNotADatabase() const;
    // The file is a database whose contents are damaged (cut short, overwritten).
    bool isDamaged() const;

private:
    int m_code;
};

class Database;

// A prepared statement with bound parameters. Obtained from Database::prepare();
// on destruction it is reset and handed back to its connection's cache, so
// preparing the same text again is nearly free.
class Statement
{
public:
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&) = delete;
    Statement(const Statement &) = delete;
    ~Statement();

    // Positional parameters count from 1, as in SQLite; named ones are ":name".
    Statement &bind(int index, const QVariant &value);
    Statement &bind(const char *name, const QVariant &value);

    // Advances to the next row; false when there is none, and the statement
    // is then ready to be bound and run again. Throws DbError.
    bool next();
    // Runs a statement that returns no rows.
    void exec();

    // Values of the current row, by column name (case-insensitive, as the
    // schema's names are) or by index.
    QVariant value(const QString &column) const;
    QVariant value(int index) const;
    QString text(const QString &column) const;
    qint64 integer(const QString &column) const;
    bool boolean(const QString &column) const;
    int columnCount() const;
    QString columnName(int index) const;

private:
    friend class Database;
    Statement(Database *db, QString sql, sqlite3_stmt *stmt);
    int columnIndex(const QString &column) const;
    [[noreturn]] void fail(int rc) const;

    Database *m_db;
    QString m_sql;
    sqlite3_stmt *m_stmt;
    mutable QHash<QString, int> m_columns;
};

// One open, keyed SQLCipher connection. Opening derives the key (tens of
// milliseconds), so owners keep their connection for the program's life.
class Database
{
public:
    // Opens the file for reading and writing (creating it when missing) and
    // checks the key at once: a wrong key or a foreign file throws DbError
    // without having written anything to the file.
    static std::unique_ptr<Database> open(const QString &path, const QByteArray &key);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    Statement prepare(const QString &sql);
    // Runs one or more statements without parameters (schema, pragmas).
    void execScript(const QString &sql);
    // Shorthand for a statement whose first column of the first row is wanted.
    QVariant scalar(const QString &sql, const QVariantList &params = {});
    // Runs a statement with positional parameters; returns the rows changed.
    int exec(const QString &sql, const QVariantList &params = {});

    // The texts of the statements this connection has prepared and keeps
    // ready for reuse: what the program really runs, for a look at their plans.
    QStringList cachedStatements() const;

    qint64 lastInsertId() const;
    int changes() const;
    bool inTransaction() const;
    QString path() const { return m_path; }

private:
    friend class Statement;
    Database(sqlite3 *db, QString path);
    void release(const QString &sql, sqlite3_stmt *stmt);

    sqlite3 *m_db;
    QString m_path;
    QMultiHash<QString, sqlite3_stmt *> m_idle; // prepared statements ready for reuse
};

// Begins a transaction; rolls back on destruction unless committed.
// A bulk writer commits what it wants kept and lets the guard close the rest.
class Transaction
{
public:
    explicit Transaction(Database &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    Database &m_db;
    bool m_open = true;
};

} // namespace tavsms
