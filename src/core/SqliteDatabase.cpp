#include "SqliteDatabase.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>

namespace tavsms {

namespace {

QString engineMessage(sqlite3 *db, int rc)
{
    if (db && sqlite3_errcode(db) == rc)
        return QString::fromUtf8(sqlite3_errmsg(db));
    return QString::fromUtf8(sqlite3_errstr(rc));
}

class SqliteStatement : public StatementEngine
{
public:
    SqliteStatement(sqlite3 *db, sqlite3_stmt *stmt)
        : m_db(db)
        , m_stmt(stmt)
    {
    }
    ~SqliteStatement() override { sqlite3_finalize(m_stmt); }

    void bind(int index, const QVariant &value) override
    {
        int rc;
        if (value.isNull()) {
            rc = sqlite3_bind_null(m_stmt, index);
        } else {
            switch (value.typeId()) {
            case QMetaType::Bool:
                rc = sqlite3_bind_int(m_stmt, index, value.toBool() ? 1 : 0);
                break;
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::LongLong:
            case QMetaType::Long:
                rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
                break;
            case QMetaType::QByteArray: {
                const QByteArray bytes = value.toByteArray();
                rc = sqlite3_bind_blob(m_stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QByteArray utf8 = value.toString().toUtf8();
                rc = sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
                break;
            }
            }
        }
        if (rc != SQLITE_OK)
            fail(rc);
    }

    int parameterIndex(const char *name) const override { return sqlite3_bind_parameter_index(m_stmt, name); }

    bool next() override
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE) {
            // Ready for new bindings and another run, as the cache expects.
            sqlite3_reset(m_stmt);
            return false;
        }
        // sqlite3_step's own code may be generic; the connection holds the precise one.
        sqlite3_reset(m_stmt);
        fail(sqlite3_extended_errcode(m_db) ? sqlite3_extended_errcode(m_db) : rc);
    }

    int columnCount() const override { return sqlite3_column_count(m_stmt); }
    QString columnName(int index) const override { return QString::fromUtf8(sqlite3_column_name(m_stmt, index)); }

    QVariant value(int index) const override
    {
        switch (sqlite3_column_type(m_stmt, index)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_INTEGER:
            return QVariant(qint64(sqlite3_column_int64(m_stmt, index)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(m_stmt, index));
        case SQLITE_BLOB: {
            const auto *data = static_cast<const char *>(sqlite3_column_blob(m_stmt, index));
            return QVariant(QByteArray(data, sqlite3_column_bytes(m_stmt, index)));
        }
        default: {
            const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index));
            return QVariant(QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, index)));
        }
        }
    }

    void reset() override
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }

private:
    [[noreturn]] void fail(int rc) const { throw DbError(engineMessage(m_db, rc), rc); }

    sqlite3 *m_db;
    sqlite3_stmt *m_stmt;
};

} // namespace

SqliteDatabase::SqliteDatabase(sqlite3 *db, QString path)
    : Database(Kind::Sqlite, std::move(path))
    , m_db(db)
{
}

SqliteDatabase::~SqliteDatabase()
{
    forgetStatements();
    sqlite3_close(m_db);
}

std::unique_ptr<Database> Database::open(const QString &path, const QByteArray &key)
{
    sqlite3 *raw = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    const QByteArray nativePath = QFile::encodeName(path);
    int rc = sqlite3_open_v2(nativePath.constData(), &raw, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString why = engineMessage(raw, rc);
        sqlite3_close(raw);
        throw DbError(QStringLiteral("Cannot open %1: %2").arg(path, why), rc);
    }
    auto db = std::make_unique<SqliteDatabase>(raw, path);
    rc = sqlite3_key(raw, key.constData(), int(key.size()));
    if (rc != SQLITE_OK)
        throw DbError(QStringLiteral("Cannot key %1: %2").arg(path, engineMessage(raw, rc)), rc);

    // A wrong key only shows on the first read. Read before anything writes,
    // so a foreign file is left exactly as it was.
    try {
        db->scalar(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    } catch (const DbError &e) {
        if (e.isNotADatabase())
            throw DbError(QStringLiteral("%1 is not a TAVSMS database or its password is wrong (%2)")
                              .arg(path, e.message()),
                          e.code());
        throw;
    }
    // SQLite writes the file in whole pages, so a file cut short (a full
    // disk, a copy broken off) shows in its size even where the pages read
    // so far were whole.
    const qint64 pageSize = db->scalar(QStringLiteral("PRAGMA page_size")).toLongLong();
    const qint64 size = QFileInfo(path).size();
    if (pageSize > 0 && size % pageSize != 0)
        throw DbError(QStringLiteral("%1 is cut short: %2 bytes are not a whole number of %3-byte pages")
                          .arg(path)
                          .arg(size)
                          .arg(pageSize),
                      SQLITE_CORRUPT);
    sqlite3_busy_timeout(raw, 5000);
    return db;
}

std::unique_ptr<StatementEngine> SqliteDatabase::compile(const QString &sql)
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, nullptr);
    if (rc != SQLITE_OK)
        throw DbError(QStringLiteral("%1 in: %2").arg(engineMessage(m_db, rc), sql), rc);
    return std::make_unique<SqliteStatement>(m_db, stmt);
}

void SqliteDatabase::execScript(const QString &sql)
{
    char *error = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString why = error ? QString::fromUtf8(error) : engineMessage(m_db, rc);
        sqlite3_free(error);
        throw DbError(why, sqlite3_extended_errcode(m_db));
    }
}

qint64 SqliteDatabase::lastInsertId()
{
    return sqlite3_last_insert_rowid(m_db);
}

int SqliteDatabase::changes() const
{
    return sqlite3_changes(m_db);
}

bool SqliteDatabase::inTransaction() const
{
    return sqlite3_get_autocommit(m_db) == 0;
}

void SqliteDatabase::begin()
{
    execScript(QStringLiteral("BEGIN IMMEDIATE"));
}

void SqliteDatabase::commit()
{
    execScript(QStringLiteral("COMMIT"));
}

void SqliteDatabase::rollback() noexcept
{
    if (!inTransaction())
        return;
    try {
        execScript(QStringLiteral("ROLLBACK"));
    } catch (const DbError &) {
        // Nothing left to undo; the engine already ended the transaction.
    }
}

} // namespace tavsms
