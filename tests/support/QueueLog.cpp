#include "QueueLog.h"

#include "Database.h"

namespace tavsms::test {

qint64 QueueLog::count(const QString &status) const
{
    if (status.isEmpty())
        return m_db.scalar(QStringLiteral("SELECT count(*) FROM q_logs")).toLongLong();
    return m_db.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = ?"), {status}).toLongLong();
}

QStringList rowLines(Statement &st, const QString &null)
{
    QStringList out;
    while (st.next()) {
        QStringList cells;
        for (int i = 0; i < st.columnCount(); ++i)
            cells << (st.value(i).isNull() ? null : st.value(i).toString());
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QStringList QueueLog::rows(const QString &columns) const
{
    Statement st = m_db.prepare(QStringLiteral("SELECT %1 FROM q_logs ORDER BY id").arg(columns));
    return rowLines(st);
}

QString QueueLog::statusOf(const QString &message) const
{
    return m_db.scalar(QStringLiteral("SELECT status FROM q_logs WHERE outgoing_message = ?"), {message}).toString();
}

} // namespace tavsms::test
