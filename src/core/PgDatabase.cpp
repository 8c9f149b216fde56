#include "PgDatabase.h"

#include "PgSqlText.h"

#include <libpq-fe.h>

#include <QTimeZone>

#include <cstring>
#include <vector>

namespace tavsms {

namespace {

// Type oids of the server's built-in types (pg_type.dat).
enum : Oid {
    kBool = 16,
    kBytea = 17,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kDate = 1082,
    kTimestamp = 1114,
    kTimestamptz = 1184,
    kNumeric = 1700,
};

struct Result
{
    PGresult *r = nullptr;
    Result() = default;
    explicit Result(PGresult *result)
        : r(result)
    {
    }
    Result(const Result &) = delete;
    Result &operator=(const Result &) = delete;
    ~Result() { PQclear(r); }
    void reset(PGresult *result = nullptr)
    {
        PQclear(r);
        r = result;
    }
    bool ok() const
    {
        const ExecStatusType s = PQresultStatus(r);
        return r && (s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK);
    }
};

bool isDateTime(Oid type)
{
    return type == kTimestamptz || type == kTimestamp || type == kDate;
}

class PgStatement : public StatementEngine
{
public:
    PgStatement(PgDatabase *db, const QString &sql, QByteArray name)
        : m_db(db)
        , m_text(PgSqlText::translate(sql))
        , m_name(std::move(name))
    {
        prepare();
    }

    void bind(int index, const QVariant &value) override
    {
        if (index < 1 || index > m_text.parameterCount)
            throw DbError(QStringLiteral("Parameter %1 is out of range in: %2").arg(index).arg(m_text.sql), 25);
        const size_t i = size_t(index - 1);
        const Oid type = m_types[i];
        m_null[i] = value.isNull();
        m_format[i] = 0;
        if (m_null[i]) {
            m_values[i].clear();
            return;
        }
        switch (value.typeId()) {
        case QMetaType::Bool:
            m_values[i] = type == kBool ? QByteArray(value.toBool() ? "t" : "f") : QByteArray(value.toBool() ? "1" : "0");
            break;
        case QMetaType::QByteArray:
            m_values[i] = value.toByteArray();
            m_format[i] = type == kBytea ? 1 : 0;
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            m_values[i] = QByteArray::number(value.toDouble(), 'g', 17);
            break;
        case QMetaType::QDateTime:
            m_values[i] = value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
            break;
        default:
            m_values[i] = value.toString().toUtf8();
            // The local store keeps "no date" as empty text at places; here it is NULL.
            if (m_values[i].isEmpty() && isDateTime(type))
                m_null[i] = true;
            if (type == kBool && !m_null[i])
                m_values[i] = (m_values[i] == "0" || m_values[i] == "f" || m_values[i] == "false") ? "f" : "t";
            break;
        }
    }

    int parameterIndex(const char *name) const override
    {
        return int(m_text.parameterNames.indexOf(QString::fromUtf8(name))) + 1;
    }

    bool next() override
    {
        if (!m_result.r) {
            run();
            m_row = -1;
        }
        if (++m_row < PQntuples(m_result.r))
            return true;
        m_result.reset();
        return false;
    }

    int columnCount() const override
    {
        return m_result.r ? PQnfields(m_result.r) : m_columnNames.size();
    }

    QString columnName(int index) const override
    {
        return m_result.r ? QString::fromUtf8(PQfname(m_result.r, index)) : m_columnNames.value(index);
    }

    QVariant value(int index) const override
    {
        PGresult *r = m_result.r;
        if (!r || m_row < 0 || PQgetisnull(r, m_row, index))
            return {};
        const char *data = PQgetvalue(r, m_row, index);
        const int length = PQgetlength(r, m_row, index);
        switch (PQftype(r, index)) {
        case kBool:
            return QVariant(qint64(data[0] == 't' ? 1 : 0));
        case kInt2:
        case kInt4:
        case kInt8:
        case kOid:
            return QVariant(QByteArray::fromRawData(data, length).toLongLong());
        case kNumeric:
            if (!std::memchr(data, '.', size_t(length)))
                return QVariant(QByteArray::fromRawData(data, length).toLongLong());
            [[fallthrough]];
        case kFloat4:
        case kFloat8:
            return QVariant(QByteArray::fromRawData(data, length).toDouble());
        case kBytea:
            return QVariant(QByteArray::fromHex(QByteArray::fromRawData(data + 2, std::max(0, length - 2))));
        case kTimestamptz:
        case kTimestamp:
            // The session's time zone is the workstation's, so the wall time
            // shown is local; the offset and fractions go, as the stored text has none.
            return QVariant(QString::fromUtf8(data, std::min(length, 19)));
        default:
            return QVariant(QString::fromUtf8(data, length));
        }
    }

    void reset() override
    {
        m_result.reset();
        m_row = -1;
        std::fill(m_null.begin(), m_null.end(), char(1));
    }

private:
    void prepare()
    {
        PGconn *conn = m_db->handle();
        const QByteArray sql = m_text.sql.toUtf8();
        Result prepared(PQprepare(conn, m_name.constData(), sql.constData(), 0, nullptr));
        if (!prepared.ok())
            throw m_db->failure(QStringLiteral("in: %1").arg(m_text.sql), prepared.r);
        Result described(PQdescribePrepared(conn, m_name.constData()));
        if (!described.ok())
            throw m_db->failure(QStringLiteral("in: %1").arg(m_text.sql), described.r);
        const int count = PQnparams(described.r);
        if (count != m_text.parameterCount)
            throw DbError(QStringLiteral("%1 parameters found where the server sees %2 in: %3")
                              .arg(m_text.parameterCount)
                              .arg(count)
                              .arg(m_text.sql),
                          DbError::kServerError);
        if (m_types.empty()) {
            m_types.resize(size_t(count));
            m_values.resize(size_t(count));
            m_null.assign(size_t(count), char(1));
            m_format.assign(size_t(count), 0);
        }
        for (int i = 0; i < count; ++i)
            m_types[size_t(i)] = PQparamtype(described.r, i);
        m_columnNames.clear();
        for (int i = 0; i < PQnfields(described.r); ++i)
            m_columnNames << QString::fromUtf8(PQfname(described.r, i));
        m_session = m_db->session();
    }

    void run()
    {
        if (m_session != m_db->session())
            prepare();
        const size_t n = m_values.size();
        std::vector<const char *> values(n);
        std::vector<int> lengths(n);
        for (size_t i = 0; i < n; ++i) {
            values[i] = m_null[i] ? nullptr : m_values[i].constData();
            lengths[i] = int(m_values[i].size());
        }
        m_result.reset(PQexecPrepared(m_db->handle(), m_name.constData(), int(n), values.data(), lengths.data(),
                                      m_format.data(), 0));
        if (!m_result.ok()) {
            const DbError error = m_db->failure(QStringLiteral("in: %1").arg(m_text.sql), m_result.r);
            m_result.reset();
            throw error;
        }
        const char *tuples = PQcmdTuples(m_result.r);
        m_db->setChanges(tuples && *tuples ? std::atoi(tuples) : 0);
    }

    PgDatabase *m_db;
    PgSqlText m_text;
    QByteArray m_name;
    int m_session = 0;
    std::vector<Oid> m_types;
    std::vector<QByteArray> m_values;
    std::vector<char> m_null;
    std::vector<int> m_format;
    QStringList m_columnNames;
    Result m_result;
    int m_row = -1;
};

void ignoreNotice(void *, const char *)
{
}

QString describe(PGconn *conn)
{
    const QString host = QString::fromUtf8(PQhost(conn));
    const QString where = host.startsWith(QLatin1Char('/')) ? QStringLiteral("the local socket in %1").arg(host) : host;
    return QStringLiteral("PostgreSQL database %1 on %2, port %3")
        .arg(QString::fromUtf8(PQdb(conn)), where, QString::fromUtf8(PQport(conn)));
}

} // namespace

std::unique_ptr<Database> Database::connect(const QString &url)
{
    return std::make_unique<PgDatabase>(url);
}

PgDatabase::PgDatabase(const QString &url)
    : Database(Kind::Postgres, QString())
{
    // Ours first: what the URL says itself overrides them.
    const QByteArray target = url.toUtf8();
    // Keepalives and the user timeout find a connection whose network went
    // away within half a minute, instead of the system's quarter of an hour.
    const char *keys[] = {"connect_timeout", "client_encoding", "application_name", "keepalives",
                          "keepalives_idle", "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                          "dbname", nullptr};
    const char *values[] = {"5", "UTF8", "tavsms", "1", "10", "5", "3", "20000", target.constData(), nullptr};
    m_conn = PQconnectdbParams(keys, values, 1);
    if (PQstatus(m_conn) != CONNECTION_OK) {
        // libpq's words; they never hold the password.
        const QString why = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        PQfinish(m_conn);
        m_conn = nullptr;
        throw DbError(QStringLiteral("Cannot connect to the shared database: %1").arg(why), DbError::kConnectionLost);
    }
    PQsetNoticeProcessor(m_conn, ignoreNotice, nullptr);
    setPath(describe(m_conn));
    startSession();
}

PgDatabase::~PgDatabase()
{
    forgetStatements();
    PQfinish(m_conn);
}

void PgDatabase::command(const char *sql)
{
    Result r(PQexec(m_conn, sql));
    if (!r.ok())
        throw failure(QString(), r.r);
}

void PgDatabase::startSession()
{
    ++m_session;
    // Date-times are timestamptz; the session's zone makes the text going in
    // and out the workstation's local time.
    const QByteArray zone = QTimeZone::systemTimeZoneId();
    char *escaped = PQescapeLiteral(m_conn, zone.constData(), size_t(zone.size()));
    const QByteArray quoted(escaped);
    PQfreemem(escaped);
    Result r(PQexec(m_conn, QByteArray("SET TimeZone = " + quoted).constData()));
    if (!r.ok()) {
        // A zone name the server does not know: its offset from UTC now.
        const int offset = QDateTime::currentDateTime().offsetFromUtc();
        const QByteArray interval = QStringLiteral("SET TIME ZONE INTERVAL '%1%2:%3' HOUR TO MINUTE")
                                        .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                                        .arg(std::abs(offset) / 3600, 2, 10, QLatin1Char('0'))
                                        .arg(std::abs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'))
                                        .toUtf8();
        command(interval.constData());
    }
    command("SET DateStyle = ISO");
    if (m_sessionHook)
        m_sessionHook(*this);
}

void PgDatabase::setSessionHook(std::function<void(PgDatabase &)> hook)
{
    m_sessionHook = std::move(hook);
    if (m_sessionHook)
        m_sessionHook(*this);
}

bool PgDatabase::isConnected() const
{
    return PQstatus(m_conn) == CONNECTION_OK;
}

PgDatabase::Progress PgDatabase::startReconnect()
{
    if (!PQresetStart(m_conn))
        return Progress::Failed;
    return pollReconnect();
}

PgDatabase::Progress PgDatabase::pollReconnect()
{
    switch (PQresetPoll(m_conn)) {
    case PGRES_POLLING_READING:
        return Progress::WaitRead;
    case PGRES_POLLING_WRITING:
        return Progress::WaitWrite;
    case PGRES_POLLING_OK:
        forgetStatements();
        startSession(); // may throw: the session could not be set up
        return Progress::Connected;
    default:
        return Progress::Failed;
    }
}

int PgDatabase::socket() const
{
    return PQsocket(m_conn);
}

DbError PgDatabase::failure(const QString &context, const void *resultPtr) const
{
    const auto *result = static_cast<const PGresult *>(resultPtr);
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const QByteArray sqlState = state ? QByteArray(state) : QByteArray();
    QString why = QString::fromUtf8(result ? PQresultErrorMessage(result) : "").trimmed();
    if (why.isEmpty())
        why = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
    const bool lost = PQstatus(m_conn) != CONNECTION_OK || sqlState.startsWith("08") || sqlState == "57P01"
        || sqlState == "57P02" || sqlState == "57P03";
    if (lost && m_lostHandler)
        m_lostHandler(why);
    if (lost)
        return DbError(QStringLiteral("Database connection lost: %1").arg(why), DbError::kConnectionLost);
    // Constraint failures keep SQLite's code, which callers already know.
    const int code = sqlState.startsWith("23") ? 19 : DbError::kServerError;
    return DbError(context.isEmpty() ? why : QStringLiteral("%1 %2").arg(why, context), code);
}

std::unique_ptr<StatementEngine> PgDatabase::compile(const QString &sql)
{
    return std::make_unique<PgStatement>(this, sql, "t" + QByteArray::number(++m_nextName));
}

void PgDatabase::execScript(const QString &sql)
{
    // Scripts are written for this engine (schema steps, settings), so they go as they are.
    command(sql.toUtf8().constData());
}

qint64 PgDatabase::lastInsertId()
{
    Result r(PQexec(m_conn, "SELECT lastval()"));
    if (!r.ok())
        throw failure(QString(), r.r);
    return QByteArray(PQgetvalue(r.r, 0, 0)).toLongLong();
}

bool PgDatabase::inTransaction() const
{
    const PGTransactionStatusType s = PQtransactionStatus(m_conn);
    return s == PQTRANS_INTRANS || s == PQTRANS_ACTIVE;
}

void PgDatabase::begin()
{
    command("BEGIN");
}

void PgDatabase::commit()
{
    const bool aborted = PQtransactionStatus(m_conn) == PQTRANS_INERROR;
    Result r(PQexec(m_conn, "COMMIT"));
    if (!r.ok())
        throw failure(QString(), r.r);
    // COMMIT of a transaction an error has ended rolls it back, and says so only here.
    if (aborted || qstrcmp(PQcmdStatus(r.r), "ROLLBACK") == 0)
        throw DbError(QStringLiteral("The changes were rolled back after an earlier error."), DbError::kServerError);
}

void PgDatabase::rollback() noexcept
{
    if (PQtransactionStatus(m_conn) == PQTRANS_IDLE || PQstatus(m_conn) != CONNECTION_OK)
        return;
    PQclear(PQexec(m_conn, "ROLLBACK"));
}

} // namespace tavsms
