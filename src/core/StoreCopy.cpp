#include "StoreCopy.h"

#include "DateTimeText.h"
#include "PgDatabase.h"
#include "Progress.h"
#include "Schema.h"
#include "Store.h"

#include <libpq-fe.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>
#include <QTemporaryDir>

namespace tavsms {

namespace {

// Why the copy stops, in words for the operator.
struct Stop
{
    QString why;
};

// Schema::upgrade gives each step a transaction of its own; inside the copy's
// one transaction they become savepoints, so the tables go or stay with the rows.
class OneTransaction final : public PgDatabase
{
public:
    using PgDatabase::PgDatabase;

    void begin() override
    {
        if (m_depth == 0)
            PgDatabase::begin();
        else
            execScript(QStringLiteral("SAVEPOINT step"));
        ++m_depth;
    }
    void commit() override
    {
        if (m_depth == 1) {
            m_depth = 0;
            PgDatabase::commit();
            return;
        }
        execScript(QStringLiteral("RELEASE SAVEPOINT step"));
        --m_depth;
    }
    void rollback() noexcept override
    {
        if (m_depth <= 1) {
            m_depth = 0;
            PgDatabase::rollback();
            return;
        }
        --m_depth;
        try {
            execScript(QStringLiteral("ROLLBACK TO SAVEPOINT step; RELEASE SAVEPOINT step"));
        } catch (const DbError &) {
            // The outer rollback that follows ends it all.
        }
    }

private:
    int m_depth = 0;
};

// Counted afresh from the copied log rather than copied, so its day keys
// follow the dates as the target reads them.
const QString kDailyCounts = QStringLiteral("q_logs_delivered_days");

const QStringList kPorts = {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                            QStringLiteral("COM4"), QStringLiteral("COM5")};

struct TargetColumn
{
    bool dateTime = false;
    bool identity = false;
};

// Rows into one table through COPY, many times faster than INSERTs: text
// fields, tab-separated, \N for NULL.
class CopyIn
{
public:
    CopyIn(PgDatabase &db, const QString &table, const QStringList &columns)
        : m_db(db)
        , m_table(table)
    {
        const QByteArray sql =
            QStringLiteral("COPY %1 (%2) FROM STDIN").arg(table, columns.join(QLatin1Char(','))).toUtf8();
        PGresult *r = PQexec(m_db.handle(), sql.constData());
        if (PQresultStatus(r) != PGRES_COPY_IN) {
            const DbError error = m_db.failure(QString(), r);
            PQclear(r);
            m_open = false;
            throw error;
        }
        PQclear(r);
    }
    ~CopyIn()
    {
        if (m_open)
            finish("the copy stopped"); // the transaction is rolled back after
    }

    void add(const QVariantList &row)
    {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i > 0)
                m_buffer += '\t';
            if (row[i].isNull()) {
                m_buffer += "\\N";
                continue;
            }
            for (const char c : row[i].toString().toUtf8()) {
                switch (c) {
                case '\\': m_buffer += "\\\\"; break;
                case '\t': m_buffer += "\\t"; break;
                case '\n': m_buffer += "\\n"; break;
                case '\r': m_buffer += "\\r"; break;
                default: m_buffer += c;
                }
            }
        }
        m_buffer += '\n';
    }

    void send()
    {
        if (PQputCopyData(m_db.handle(), m_buffer.constData(), int(m_buffer.size())) != 1)
            throw m_db.failure(QString(), nullptr);
        m_buffer.clear();
    }

    // Ends the COPY; throws the server's reason for refusing its rows.
    void finish(const char *abandoned = nullptr)
    {
        if (!abandoned)
            send();
        m_open = false;
        PQputCopyEnd(m_db.handle(), abandoned);
        bool ok = true;
        QString why;
        while (PGresult *r = PQgetResult(m_db.handle())) {
            if (PQresultStatus(r) != PGRES_COMMAND_OK && ok) {
                ok = false;
                why = m_db.failure(QString(), r).message();
            }
            PQclear(r);
        }
        if (!ok && !abandoned)
            throw Stop{QStringLiteral("Table %1: %2").arg(m_table, why)};
    }

private:
    PgDatabase &m_db;
    QString m_table;
    QByteArray m_buffer;
    bool m_open = true;
};

class Copier
{
public:
    Copier(Database &source, PgDatabase &target, QString workstation, Progress &progress)
        : m_source(source)
        , m_target(target)
        , m_workstation(std::move(workstation))
        , m_progress(progress)
    {
    }

    QList<StoreCopy::TableCount> run()
    {
        refuseUnlessEmpty();
        Schema::upgrade(m_target);
        readTargetColumns();
        // Row by row, the insert trigger would update each day's count over
        // and over in one transaction, every update slower than the last (a
        // log of 200,000 rows took minutes); the counts are made once instead.
        m_target.execScript(QStringLiteral("ALTER TABLE q_logs DISABLE TRIGGER q_logs_delivered_insert"));
        QList<StoreCopy::TableCount> counts;
        for (const QString &table : sourceTables()) {
            if (table.compare(kDailyCounts, Qt::CaseInsensitive) == 0)
                continue;
            copyTable(table);
            counts << StoreCopy::TableCount{table, count(m_source, table), count(m_target, table)};
        }
        m_target.execScript(QStringLiteral("ALTER TABLE q_logs ENABLE TRIGGER q_logs_delivered_insert"));
        m_target.exec(QStringLiteral(
            "INSERT INTO q_logs_delivered_days (sent_from, day, delivered) "
            "SELECT coalesce(sent_from, ''), coalesce(to_char(sent_at, 'YYYY-MM-DD'), ''), count(*) "
            "FROM q_logs WHERE status = 'Delivered' GROUP BY 1, 2"));
        counts << StoreCopy::TableCount{
            kDailyCounts + QStringLiteral(" (delivered)"),
            m_source.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered'")).toLongLong(),
            m_target.scalar(QStringLiteral("SELECT coalesce(sum(delivered), 0) FROM %1").arg(kDailyCounts))
                .toLongLong()};
        for (const StoreCopy::TableCount &c : std::as_const(counts))
            if (c.source != c.target)
                throw Stop{QStringLiteral("The copy of %1 holds %2 rows where the local store holds %3.")
                               .arg(c.table)
                               .arg(c.target)
                               .arg(c.source)};
        return counts;
    }

private:
    static qint64 count(Database &db, const QString &table)
    {
        return db.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(table)).toLongLong();
    }

    void refuseUnlessEmpty()
    {
        QStringList tables;
        Statement st = m_target.prepare(
            QStringLiteral("SELECT tablename FROM pg_tables WHERE schemaname = current_schema() ORDER BY 1"));
        while (st.next())
            tables << st.value(0).toString();
        if (!tables.isEmpty())
            throw Stop{QStringLiteral("%1 is not empty: it holds the tables %2. The local store is copied only "
                                      "into a new, empty database.")
                           .arg(m_target.path(), tables.join(QStringLiteral(", ")))};
    }

    void readTargetColumns()
    {
        Statement st = m_target.prepare(
            QStringLiteral("SELECT table_name, column_name, data_type, is_identity FROM information_schema.columns "
                           "WHERE table_schema = current_schema()"));
        while (st.next())
            m_targetColumns[st.value(0).toString()][st.value(1).toString()] = TargetColumn{
                st.value(2).toString().startsWith(QLatin1String("timestamp")), st.value(3).toString() == QLatin1String("YES")};
    }

    QStringList sourceTables()
    {
        QStringList tables;
        Statement st = m_source.prepare(QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
            "ORDER BY name"));
        while (st.next())
            tables << st.value(0).toString();
        return tables;
    }

    QStringList sourceColumns(const QString &table)
    {
        QStringList columns;
        Statement st = m_source.prepare(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
        while (st.next())
            columns << st.text(QStringLiteral("name"));
        return columns;
    }

    // A stored date-time for a timestamptz column: empty text is "none".
    static QVariant dateTime(const QVariant &value, const QString &table, const QString &column, qint64 rowId)
    {
        const QString text = value.toString();
        if (value.isNull() || text.trimmed().isEmpty())
            return {};
        // The stored form goes as it is, read by the server in this
        // workstation's time zone; QDateTime's local time costs a look at
        // the zone's rules each time, most of the copy of a large log.
        if (text.size() == 19 && text[4] == QLatin1Char('-') && text[10] == QLatin1Char(' ')
            && QDate::fromString(text.left(10), Qt::ISODate).isValid()
            && QTime::fromString(text.mid(11), Qt::ISODate).isValid())
            return text;
        const QDateTime when = DateTimeText::parse(text);
        if (!when.isValid())
            throw Stop{QStringLiteral("Table %1, row %2: the %3 \"%4\" is not a date and time.")
                           .arg(table)
                           .arg(rowId)
                           .arg(column, value.toString())};
        return DateTimeText::stored(when);
    }

    void copyTable(const QString &table)
    {
        const QHash<QString, TargetColumn> targetColumns = m_targetColumns.value(table.toLower());
        if (targetColumns.isEmpty())
            throw Stop{QStringLiteral("The table %1 of the local store has no counterpart in the new schema.")
                           .arg(table)};
        const QStringList columns = sourceColumns(table);
        QList<bool> dated;
        for (const QString &column : columns) {
            const auto it = targetColumns.constFind(column.toLower());
            if (it == targetColumns.constEnd())
                throw Stop{QStringLiteral("The column %1.%2 of the local store has no counterpart in the new schema.")
                               .arg(table, column)};
            dated << it->dateTime;
        }
        // The local file's own workstation is '': its ports and listener
        // settings, and the log rows routed to one of its ports, are this
        // workstation's on the shared store.
        const int workstation = int(columns.indexOf(QStringLiteral("workstation")));
        const int route = table == QLatin1String("q_logs") ? int(columns.indexOf(QStringLiteral("com_port"))) : -1;
        const bool ownRows = table == QLatin1String("config_ports") || table == QLatin1String("config_network");

        // What the fresh schema put in (default ports, account, network) makes way for the file's rows.
        m_target.exec(QStringLiteral("DELETE FROM %1").arg(table));

        const qint64 total = count(m_source, table);
        m_progress.begin(table, total);
        const auto ended = qScopeGuard([this] { m_progress.end(); });
        Statement read = m_source.prepare(
            QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY rowid").arg(columns.join(QStringLiteral(", ")), table));
        CopyIn copy(m_target, table, columns);
        QVariantList row(columns.size());
        qint64 done = 0;
        while (read.next()) {
            const qint64 rowId = read.value(0).toLongLong();
            for (int i = 0; i < columns.size(); ++i) {
                const QVariant value = read.value(i + 1);
                row[i] = dated[i] ? dateTime(value, table, columns[i], rowId) : value;
            }
            if (workstation >= 0 && row[workstation].toString().isEmpty()
                && (ownRows || (route >= 0 && kPorts.contains(row[route].toString()))))
                row[workstation] = m_workstation;
            copy.add(row);
            if (++done % StoreCopy::kRowsPerReport == 0) {
                copy.send();
                m_progress.advance(done);
                if (m_progress.cancelRequested())
                    throw Stop{QStringLiteral("The copy was cancelled.")};
            }
        }
        copy.finish();
        m_progress.advance(done);
        setIdentities(table, targetColumns);
    }

    // Ids go on past the highest the file ever gave (its sqlite_sequence),
    // so an id deleted there is not given again here.
    void setIdentities(const QString &table, const QHash<QString, TargetColumn> &columns)
    {
        const qint64 given = m_source.scalar(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"), {table})
                                 .toLongLong();
        for (auto it = columns.constBegin(); it != columns.constEnd(); ++it)
            if (it->identity)
                m_target.scalar(QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), "
                                               "greatest(coalesce(max(%2), 0), ?) + 1, false) FROM %1")
                                    .arg(table, it.key()),
                                {table.toLower(), it.key(), given});
    }

    Database &m_source;
    PgDatabase &m_target;
    QString m_workstation;
    Progress &m_progress;
    QHash<QString, QHash<QString, TargetColumn>> m_targetColumns;
};

// A private copy of the file and its WAL, opened and brought to the current
// schema there; the -shm is only an index SQLite makes anew from the WAL.
std::unique_ptr<Database> openSnapshot(const QString &source, const QTemporaryDir &dir)
{
    if (!QFileInfo(source).isFile())
        throw Stop{QStringLiteral("There is no local store at %1.").arg(source)};
    if (!dir.isValid())
        throw Stop{QStringLiteral("Cannot make a working folder for the copy: %1").arg(dir.errorString())};
    const QString copy = dir.filePath(QStringLiteral("tavsms.mdb"));
    for (const QString &suffix : {QString(), QStringLiteral("-wal")}) {
        QFile file(source + suffix);
        if (file.exists() && !file.copy(copy + suffix))
            throw Stop{QStringLiteral("Cannot read %1: %2").arg(file.fileName(), file.errorString())};
    }
    std::unique_ptr<Database> db = Database::open(copy, QByteArray(Store::kKey));
    Schema::upgrade(*db);
    return db;
}

} // namespace

StoreCopy::StoreCopy(QString sourcePath, QString targetUrl, QString workstation)
    : m_sourcePath(std::move(sourcePath))
    , m_targetUrl(std::move(targetUrl))
    , m_workstation(std::move(workstation))
{
}

StoreCopy::Outcome StoreCopy::run(Progress &progress)
{
    Outcome outcome;
    std::unique_ptr<OneTransaction> target;
    try {
        if (m_workstation.trimmed().isEmpty())
            throw Stop{QStringLiteral("No workstation name: give one with --workstation NAME.")};
        // Beside the file: a large log needs room that a small /tmp may lack.
        const QTemporaryDir dir(QFileInfo(m_sourcePath).absoluteDir().filePath(QStringLiteral("copy-XXXXXX")));
        const std::unique_ptr<Database> source = openSnapshot(m_sourcePath, dir);
        target = std::make_unique<OneTransaction>(m_targetUrl);
        outcome.target = target->path();
        Transaction tx(*target);
        outcome.tables = Copier(*source, *target, m_workstation, progress).run();
        tx.commit();
    } catch (const Stop &stop) {
        outcome.error = stop.why;
    } catch (const DbError &e) {
        outcome.error = e.message();
    }
    if (!outcome.ok()) {
        outcome.tables.clear();
        if (target)
            outcome.error += QStringLiteral(" Nothing was written to %1.").arg(target->path());
    }
    return outcome;
}

} // namespace tavsms
