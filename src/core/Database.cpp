#include "Database.h"

#include <sqlite3.h>

namespace tavsms {

DbError::DbError(const QString &message, int code)
    : std::runtime_error(message.toStdString())
    , m_code(code)
{
}

bool DbError::isNotADatabase() const
{
    return m_code < 0x10000 && (m_code & 0xff) == SQLITE_NOTADB;
}

bool DbError::isDamaged() const
{
    return m_code < 0x10000 && (m_code & 0xff) == SQLITE_CORRUPT;
}

// ---------------------------------------------------------------- Statement

Statement::Statement(Database *db, QString sql, std::unique_ptr<StatementEngine> engine)
    : m_db(db)
    , m_sql(std::move(sql))
    , m_engine(std::move(engine))
{
}

Statement::Statement(Statement &&other) noexcept
    : m_db(other.m_db)
    , m_sql(std::move(other.m_sql))
    , m_engine(std::move(other.m_engine))
    , m_columns(std::move(other.m_columns))
{
}

Statement::~Statement()
{
    if (m_engine)
        m_db->release(m_sql, std::move(m_engine));
}

Statement &Statement::bind(int index, const QVariant &value)
{
    m_engine->bind(index, value);
    return *this;
}

Statement &Statement::bind(const char *name, const QVariant &value)
{
    const int index = m_engine->parameterIndex(name);
    if (index == 0)
        throw DbError(QStringLiteral("No parameter %1 in: %2").arg(QLatin1String(name), m_sql), SQLITE_RANGE);
    return bind(index, value);
}

bool Statement::next()
{
    return m_engine->next();
}

void Statement::exec()
{
    while (next()) {
    }
}

int Statement::columnCount() const
{
    return m_engine->columnCount();
}

QString Statement::columnName(int index) const
{
    return m_engine->columnName(index);
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
    return m_engine->value(index);
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
    const QVariant v = value(column);
    return v.typeId() == QMetaType::Bool ? v.toBool() : v.toLongLong() != 0;
}

// ----------------------------------------------------------------- Database

Database::Database(Kind kind, QString path)
    : m_kind(kind)
    , m_path(std::move(path))
{
}

Database::~Database()
{
    forgetStatements();
}

void Database::forgetStatements()
{
    for (StatementEngine *engine : std::as_const(m_idle))
        delete engine;
    m_idle.clear();
}

void Database::release(const QString &sql, std::unique_ptr<StatementEngine> engine)
{
    engine->reset();
    m_idle.insert(sql, engine.release());
}

Statement Database::prepare(const QString &sql)
{
    auto it = m_idle.find(sql);
    if (it != m_idle.end()) {
        std::unique_ptr<StatementEngine> engine(it.value());
        m_idle.erase(it);
        return Statement(this, sql, std::move(engine));
    }
    return Statement(this, sql, compile(sql));
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

// -------------------------------------------------------------- Transaction

Transaction::Transaction(Database &db)
    : m_db(db)
{
    m_db.begin();
}

Transaction::~Transaction()
{
    if (m_open)
        m_db.rollback();
}

void Transaction::commit()
{
    m_db.commit();
    m_open = false;
}

} // namespace tavsms
