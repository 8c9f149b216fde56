#include "Database.h"

#include <sqlite3.h>

#include <QFileInfo>

namespace tavsms {

namespace {

QString engineMessage(sqlite3 *db, int rc)
{
    if (db && sqlite3_errcode(db) == rc)
        return QString::fromUtf8(sqlite3_errmsg(db));
    return QString::fromUtf8(sqlite3_errstr(rc));
}

} // namespace

DbError::DbError(const QString &message, int code)
    : std::runtime_error(message.toStdString())
    , m_code(code)
{
}

bool DbError::isNotADatabase() const
{
    return (m_code & 0xff) == SQLITE_NOTADB;
}

bool DbError::isDamaged() const
{
    return (m_code & 0xff) == SQLITE_CORRUPT;
}

// ---------------------------------------------------------------- Statement

Statement::Statement(Database *db, QString sql, sqlite3_stmt *stmt)
    : m_db(db)
    , m_sql(std::move(sql))
    , m_stmt(stmt)
{
}

Statement::Statement(Statement &&other) noexcept
    : m_db(other.m_db)
    , m_sql(std::move(other.m_sql))
    , m_stmt(other.m_stmt)
    , m_columns(std::move(other.m_columns))
{
    other.m_stmt = nullptr;
}

Statement::~Statement()
{
    if (m_stmt)
        m_db->release(m_sql, m_stmt);
}

void Statement::fail(int rc) const
{
    throw DbError(engineMessage(m_db->m_db, rc), rc);
}

Statement &Statement::bind(int index, const QVariant &value)
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
            rc = sqlite3_bind_blob(m_stmt, index, bytes.constData(), int(bytes.size()),
                                   SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray utf8 = value.toString().toUtf8();
            rc = sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()),
                                   SQLITE_TRANSIENT);
            break;
        }
        }
    }
    if (rc != SQLITE_OK)
        fail(rc);
    return *this;
}

Statement &Statement::bind(const char *name, const QVariant &value)
{
    const int index = sqlite3_bind_parameter_index(m_stmt, name);
    if (index == 0)
        throw DbError(QStringLiteral("No parameter %1 in: %2").arg(QLatin1String(name), m_sql),
                      SQLITE_RANGE);
    return bind(index, value);
}

bool Statement::next()
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
    fail(sqlite3_extended_errcode(m_db->m_db) ? sqlite3_extended_errcode(m_db->m_db) : rc);
}

void Statement::exec()
{
    while (next()) {
    }
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int index) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, index));
}

int Statement::columnIndex(const QString &column) const
{
    if (m_columns.isEmpty()) {
        const int n = columnCount();
        for (int i = 0; i < n; ++i)
            m_columns.insert(columnName(i).toLower(), i);
    }
    const auto it = m_columns.constFind(column.toLower());
    if (it == m_columns.constEnd())
        throw DbError(QStringLiteral("No column %1 in: %2").arg(column, m_sql), SQLITE_RANGE);
    return *it;
}

QVariant Statement::value(int index) const
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

QVariant Statement::value(const QString &column) const
{
    return value(columnIndex(column));
}

QString Statement::text(const QString &column) const
{
    return value(column).toString();
}

qint64 Statement::integer(const QString &column) const
{
    return value(column).toLongLong();
}

bool Statement::boolean(const QString &column) const
{
    return value(column).toLongLong() != 0;
}

// ----------------------------------------------------------------- Database

Database::Database(sqlite3 *db, QString path)
    : m_db(db)
    , m_path(std::move(path))
{
}

Database::~Database()
{
    for (sqlite3_stmt *stmt : std::as_const(m_idle))
        sqlite3_finalize(stmt);
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
    std::unique_ptr<Database> db(new Database(raw, path));
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

void Database::release(const QString &sql, sqlite3_stmt *stmt)
{
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    m_idle.insert(sql, stmt);
}

Statement Database::prepare(const QString &sql)
{
    auto it = m_idle.find(sql);
    if (it != m_idle.end()) {
        sqlite3_stmt *stmt = it.value();
        m_idle.erase(it);
        return Statement(this, sql, stmt);
    }
    sqlite3_stmt *stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, nullptr);
    if (rc != SQLITE_OK)
        throw DbError(QStringLiteral("%1 in: %2").arg(engineMessage(m_db, rc), sql), rc);
    return Statement(this, sql, stmt);
}

void Database::execScript(const QString &sql)
{
    char *error = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString why = error ? QString::fromUtf8(error) : engineMessage(m_db, rc);
        sqlite3_free(error);
        throw DbError(why, sqlite3_extended_errcode(m_db));
    }
}

QVariant Database::scalar(const QString &sql, const QVariantList &params)
{
    Statement st = prepare(sql);
    for (int i = 0; i < params.size(); ++i)
        st.bind(i + 1, params.at(i));
    return st.next() ? st.value(0) : QVariant();
}

int Database::exec(const QString &sql, const QVariantList &params)
{
    Statement st = prepare(sql);
    for (int i = 0; i < params.size(); ++i)
        st.bind(i + 1, params.at(i));
    st.exec();
    return changes();
}

QStringList Database::cachedStatements() const
{
    return m_idle.uniqueKeys();
}

qint64 Database::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int Database::changes() const
{
    return sqlite3_changes(m_db);
}

bool Database::inTransaction() const
{
    return sqlite3_get_autocommit(m_db) == 0;
}

// -------------------------------------------------------------- Transaction

Transaction::Transaction(Database &db)
    : m_db(db)
{
    m_db.execScript(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction()
{
    if (m_open && m_db.inTransaction()) {
        try {
            m_db.execScript(QStringLiteral("ROLLBACK"));
        } catch (const DbError &) {
            // Nothing left to undo; the engine already ended the transaction.
        }
    }
}

void Transaction::commit()
{
    m_db.execScript(QStringLiteral("COMMIT"));
    m_open = false;
}

} // namespace tavsms
