#include "StoreCopy.h"

#include "DateTimeText.h"
#include "PgDatabase.h"
#include "Progress.h"
#include "Schema.h"
#include "Store.h"

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

// Kept by the target's own trigger as the log's delivered rows go in, so it
// is counted afresh rather than copied; its day keys follow the dates as
// the target reads them.
const QString kDailyCounts = QStringLiteral("q_logs_delivered_days");

const QStringList kPorts = {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                            QStringLiteral("COM4"), QStringLiteral("COM5")};

struct TargetColumn
{
    bool dateTime = false;
    bool identity = false;
};

class Copier
{
public:
    Copier(Database &source, Database &target, QString workstation, Progress &progress)
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
        QList<StoreCopy::TableCount> counts;
        for (const QString &table : sourceTables()) {
            if (table.compare(kDailyCounts, Qt::CaseInsensitive) == 0)
                continue;
            copyTable(table);
            counts << StoreCopy::TableCount{table, count(m_source, table), count(m_target, table)};
        }
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
        if (value.isNull() || value.toString().trimmed().isEmpty())
            return {};
        const QDateTime when = DateTimeText::parse(value.toString());
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
        QVariantList values;
        values.reserve(columns.size() * StoreCopy::kRowsPerStatement);
        qint64 done = 0;
        qint64 firstId = 0;
        while (read.next()) {
            const qint64 rowId = read.value(0).toLongLong();
            if (values.isEmpty())
                firstId = rowId;
            m_lastId = rowId;
            const qsizetype first = values.size();
            for (int i = 0; i < columns.size(); ++i) {
                const QVariant value = read.value(i + 1);
                values << (dated[i] ? dateTime(value, table, columns[i], rowId) : value);
            }
            if (workstation >= 0 && values[first + workstation].toString().isEmpty()
                && (ownRows || (route >= 0 && kPorts.contains(values[first + route].toString()))))
                values[first + workstation] = m_workstation;
            if (values.size() == columns.size() * StoreCopy::kRowsPerStatement) {
                insert(table, columns, values, firstId);
                done += StoreCopy::kRowsPerStatement;
                m_progress.advance(done);
                if (m_progress.cancelRequested())
                    throw Stop{QStringLiteral("The copy was cancelled.")};
            }
        }
        if (!values.isEmpty()) {
            done += values.size() / columns.size();
            insert(table, columns, values, firstId);
            m_progress.advance(done);
        }
        setIdentities(table, targetColumns);
    }

    void insert(const QString &table, const QStringList &columns, QVariantList &values, qint64 firstId)
    {
        const qsizetype rows = values.size() / columns.size();
        const QString row = QLatin1Char('(') + QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(','))
            + QLatin1Char(')');
        Statement st = m_target.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                                            .arg(table, columns.join(QStringLiteral(", ")),
                                                 QStringList(rows, row).join(QLatin1Char(','))));
        for (qsizetype i = 0; i < values.size(); ++i)
            st.bind(int(i + 1), values[i]);
        try {
            st.exec();
        } catch (const DbError &e) {
            // The server's reason, without the statement of a thousand parameters it quotes.
            throw Stop{QStringLiteral("Table %1, rows %2 to %3: %4")
                           .arg(table)
                           .arg(firstId)
                           .arg(m_lastId)
                           .arg(e.message().section(QStringLiteral(" in: INSERT"), 0, 0))};
        }
        values.clear();
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
    Database &m_target;
    QString m_workstation;
    Progress &m_progress;
    QHash<QString, QHash<QString, TargetColumn>> m_targetColumns;
    qint64 m_lastId = 0;
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
