#include "DeliveryLog.h"

#include "Database.h"
#include "DateTimeText.h"
#include "DeliveryConfirmations.h"

namespace tavsms {

namespace {
// The handset column comes from the confirmations' own expression.
const QString kSentColumns = QStringLiteral("SELECT dated, sent_at, outgoing_mobileNo, outgoing_message, status, ")
    + DeliveryConfirmations::handsetExpression() + QStringLiteral(" AS handset, com_port FROM q_logs ");

// Runs a "sent_from, count" statement over the six connections (bound
// first) and adds its rows to `counts`.
void addCounts(Database &db, const QString &sql, const QVariantList &bounds, DeliveredCounts &counts)
{
    Statement st = db.prepare(sql);
    int at = 1;
    for (const QString &connection : kDeliveryConnections)
        st.bind(at++, connection);
    for (const QVariant &bound : bounds)
        st.bind(at++, bound);
    while (st.next()) {
        const qsizetype i = kDeliveryConnections.indexOf(st.value(0).toString());
        if (i >= 0)
            counts[size_t(i)] += st.value(1).toLongLong();
    }
}

QString midnight(const QDate &day)
{
    return day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
}

} // namespace

DeliveryLog::DeliveryLog(Database &db)
    : m_db(db)
{
}

Statement DeliveryLog::sentThrough(const QString &connection)
{
    Statement st = m_db.prepare(kSentColumns + QStringLiteral("WHERE sent_from = ? ORDER BY dated DESC, id DESC"));
    st.bind(1, connection);
    return st;
}

qint64 DeliveryLog::sentThroughCount(const QString &connection)
{
    return m_db.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE sent_from = ?"), {connection}).toLongLong();
}

Statement DeliveryLog::queuedSince(const QDateTime &from)
{
    Statement st = m_db.prepare(kSentColumns + QStringLiteral("WHERE dated >= ? ORDER BY dated DESC, id DESC"));
    st.bind(1, DateTimeText::stored(from));
    return st;
}

qint64 DeliveryLog::queuedSinceCount(const QDateTime &from)
{
    return m_db.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE dated >= ?"), {DateTimeText::stored(from)})
        .toLongLong();
}

void DeliveryLog::addDeliveredBetween(const QString &from, const QString &until, DeliveredCounts &counts)
{
    // q_logs_status gives one index range per connection.
    addCounts(m_db,
              QStringLiteral("SELECT sent_from, count(*) FROM q_logs WHERE status = 'Delivered' "
                             "AND sent_from IN (?, ?, ?, ?, ?, ?) AND sent_at >= ? AND sent_at < ? GROUP BY sent_from"),
              {from, until}, counts);
}

DeliveredCounts DeliveryLog::deliveredCounts(const QDateTime &from, const QDateTime &until)
{
    DeliveredCounts counts{};
    const QString fromText = from.isValid() ? DateTimeText::stored(from) : QString();
    const QString untilText = until.isValid() ? DateTimeText::stored(until) : QString();
    // The first midnight at or after `from`, the last at or before `until`.
    const QString firstMidnight =
        from.isValid() ? midnight(from.time() == QTime(0, 0) ? from.date() : from.date().addDays(1)) : QString();
    const QString lastMidnight = until.isValid() ? midnight(until.date()) : QString();

    if (from.isValid() && until.isValid() && firstMidnight >= lastMidnight) {
        if (fromText < untilText)
            addDeliveredBetween(fromText, untilText, counts);
        return counts;
    }

    QString days = QStringLiteral("SELECT sent_from, sum(delivered) FROM q_logs_delivered_days "
                                  "WHERE sent_from IN (?, ?, ?, ?, ?, ?)");
    QVariantList bounds;
    if (from.isValid()) {
        days += QStringLiteral(" AND day >= ?");
        bounds << firstMidnight.left(10);
    }
    if (until.isValid()) {
        // '' holds the rows without a sent_at, which no bound takes in.
        days += QStringLiteral(" AND day < ? AND day <> ''");
        bounds << lastMidnight.left(10);
    }
    addCounts(m_db, days + QStringLiteral(" GROUP BY sent_from"), bounds, counts);

    if (from.isValid() && fromText != firstMidnight)
        addDeliveredBetween(fromText, firstMidnight, counts);
    if (until.isValid() && untilText != lastMidnight)
        addDeliveredBetween(lastMidnight, untilText, counts);
    return counts;
}

} // namespace tavsms
