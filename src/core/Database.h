#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <stdexcept>

namespace tavsms {

// Every failure of the database layer. `what()` is the engine's own words,
// prefixed with what we were doing, so that a message box can show it as is.
class DbError : public std::runtime_error
{
public:
    // Codes of our own, beside SQLite's result codes (all below 0x10000).
    static constexpr int kConnectionLost = 0x10001; // the database server cannot be reached
    static constexpr int kServerError = 0x10002;    // the server refused a statement

    DbError(const QString &message, int code);
    int code() const { return m_code; }
    QString message() const { return QString::fromUtf8(what()); }
    // The file is not a database, or the key does not fit it.
    bool isNotADatabase() const;
    // The file is a database whose contents are damaged (cut short, overwritten).
    bool isDamaged() const;
    // The server went away (restarted, network down); the statement did not run.
    bool isConnectionLost() const { return m_code == kConnectionLost; }

private:
    int m_code;
};

// One prepared statement of one engine; Statement is its handle.
class StatementEngine
{
public:
    virtual ~StatementEngine() = default;
    virtual void bind(int index, const QVariant &value) = 0;
    virtual int parameterIndex(const char *name) const = 0; // 0 when there is none
    virtual bool next() = 0;
    virtual int columnCount() const = 0;
    virtual QString columnName(int index) const = 0;
    virtual QVariant value(int index) const = 0;
    // Ends a run and clears the bindings, ready for the cache.
    virtual void reset() = 0;
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
    Statement(Database *db, QString sql, std::unique_ptr<StatementEngine> engine);
    int columnIndex(const QString &column) const;

    Database *m_db;
    QString m_sql;
    std::unique_ptr<StatementEngine> m_engine;
    mutable QHash<QString, int> m_columns;
};

// One open connection to the program's store: the keyed SQLCipher file, or a
// PostgreSQL database shared by several workstations. Owners write their SQL
// once, in SQLite's words with `?` or `:name` parameters; the PostgreSQL
// connection translates the few differences (see docs/architecture.md).
// Opening is costly (a key derivation, a server login), so owners keep their
// connection for the program's life.
class Database
{
public:
    enum class Kind { Sqlite, Postgres };

    // Opens the file for reading and writing (creating it when missing) and
    // checks the key at once: a wrong key or a foreign file throws DbError
    // without having written anything to the file.
    static std::unique_ptr<Database> open(const QString &path, const QByteArray &key);
    // Connects to a PostgreSQL database given as a URL or a libpq
    // connection string; throws DbError with the server's reason.
    static std::unique_ptr<Database> connect(const QString &url);

    virtual ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    Kind kind() const { return m_kind; }
    bool isShared() const { return m_kind == Kind::Postgres; }

    Statement prepare(const QString &sql);
    // Runs one or more statements without parameters (schema, settings).
    virtual void execScript(const QString &sql) = 0;
    // Shorthand for a statement whose first column of the first row is wanted.
    QVariant scalar(const QString &sql, const QVariantList &params = {});
    // Runs a statement with positional parameters; returns the rows changed.
    int exec(const QString &sql, const QVariantList &params = {});

    // The texts of the statements this connection has prepared and keeps
    // ready for reuse: what the program really runs, for a look at their plans.
    QStringList cachedStatements() const;

    // The id given to the row of the last single-row INSERT.
    virtual qint64 lastInsertId() = 0;
    virtual int changes() const = 0;
    // True while a transaction is open and can still be committed.
    virtual bool inTransaction() const = 0;
    virtual void begin() = 0;
    virtual void commit() = 0;
    // Ends whatever transaction is open, aborted ones included; never throws.
    virtual void rollback() noexcept = 0;

    // False while a server's connection is lost (the local file always is there).
    virtual bool isAvailable() const { return true; }

    // The file's path, or the server and database (never a password).
    QString path() const { return m_path; }

    // The workstation whose ports and listener this connection serves; empty
    // on the local file, which has one workstation only.
    QString workstation() const { return m_workstation; }
    void setWorkstation(const QString &name) { m_workstation = name; }

protected:
    Database(Kind kind, QString path);
    virtual std::unique_ptr<StatementEngine> compile(const QString &sql) = 0;
    void setPath(const QString &path) { m_path = path; }
    // Drops every cached statement (a new server session knows none of them).
    void forgetStatements();

private:
    friend class Statement;
    void release(const QString &sql, std::unique_ptr<StatementEngine> engine);

    Kind m_kind;
    QString m_path;
    QString m_workstation;
    QMultiHash<QString, StatementEngine *> m_idle; // prepared statements ready for reuse
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
