#include "MessageQueue.h"

#include "Database.h"
#include "DateTimeText.h"
#include "DeliveryConfirmations.h"

#include <QStringList>

#include <algorithm>

namespace tavsms {

namespace {

QueueRow readRow(const Statement &st)
{
    QueueRow row;
    row.id = st.integer(QStringLiteral("id"));
    row.dated = DateTimeText::parse(st.text(QStringLiteral("dated")));
    row.comPort = st.text(QStringLiteral("com_port"));
    row.mobileNo = st.text(QStringLiteral("outgoing_mobileNo"));
    row.message = st.text(QStringLiteral("outgoing_message"));
    row.deliveryTime = DateTimeText::parse(st.text(QStringLiteral("delivery_time")));
    row.status = st.text(QStringLiteral("status"));
    row.retryNo = int(st.integer(QStringLiteral("retry_no")));
    row.comments = st.text(QStringLiteral("comments"));
    row.sentAt = DateTimeText::parse(st.text(QStringLiteral("sent_at")));
    row.sentFrom = st.text(QStringLiteral("sent_from"));
    row.nextAttempt = DateTimeText::parse(st.text(QStringLiteral("next_attempt")));
    return row;
}

} // namespace

MessageQueue::MessageQueue(Database &db)
    : m_db(db)
{
}

EnqueueResult MessageQueue::addToQueue(const QString &mobileNo, const QString &message,
                                       const QString &connection, const QDateTime &deliveryTime)
{
    const QString now = storedNow();
    const QString due = deliveryTime.isValid() ? DateTimeText::stored(deliveryTime) : now;
    try {
        // OR FAIL: a one-row insert has nothing to undo on a conflict, so the
        // engine keeps no statement journal for it (see the schema's version 5).
        // A server gives the new id with the insert, sparing a round trip.
        static const QString insert = QStringLiteral(
            "INSERT OR FAIL INTO q_logs (dated, com_port, outgoing_mobileNo, outgoing_message, delivery_time, "
            "workstation) VALUES (?, ?, ?, ?, ?, ?)");
        const bool shared = m_db.isShared();
        Statement st = m_db.prepare(shared ? insert + QStringLiteral(" RETURNING id") : insert);
        st.bind(1, now).bind(2, connection).bind(3, mobileNo).bind(4, message).bind(5, due);
        st.bind(6, routeOwner(connection));
        if (shared) {
            const qint64 id = st.next() ? st.value(0).toLongLong() : 0;
            st.exec(); // to the end of the run, ready for the next
            return {id, {}};
        }
        st.exec();
        return {m_db.lastInsertId(), {}};
    } catch (const DbError &e) {
        return {0, QStringLiteral("The message to %1 could not be queued: %2").arg(mobileNo, e.message()),
                e.isConnectionLost()};
    }
}

qsizetype MessageQueue::rowsInStatement(qsizetype remaining) const
{
    // The local file has no round trips to spare, and a row to a statement
    // is what it queues fastest (bench_queue).
    if (!m_db.isShared())
        return 1;
    qsizetype rows = kMostRowsPerStatement;
    while (rows > remaining)
        rows /= 2;
    return rows;
}

void MessageQueue::addAllToQueue(std::span<const Entry> entries, qsizetype &written)
{
    const QString now = storedNow();
    const auto total = qsizetype(entries.size());
    while (written < total) {
        const qsizetype rows = rowsInStatement(total - written);
        // As addToQueue's, with `rows` rows of values.
        QString sql = QStringLiteral("INSERT OR FAIL INTO q_logs (dated, com_port, outgoing_mobileNo, "
                                     "outgoing_message, delivery_time, workstation) VALUES ");
        for (qsizetype i = 0; i < rows; ++i)
            sql += i == 0 ? QStringLiteral("(?, ?, ?, ?, ?, ?)") : QStringLiteral(", (?, ?, ?, ?, ?, ?)");
        Statement st = m_db.prepare(sql);
        for (qsizetype i = 0; i < rows; ++i) {
            const Entry &e = entries[size_t(written + i)];
            const int p = int(i) * 6;
            st.bind(p + 1, now).bind(p + 2, e.connection).bind(p + 3, e.mobileNo).bind(p + 4, e.message);
            st.bind(p + 5, e.deliveryTime.isValid() ? DateTimeText::stored(e.deliveryTime) : now);
            st.bind(p + 6, routeOwner(e.connection));
        }
        st.exec();
        written += rows;
    }
}

qint64 MessageQueue::queuedCount()
{
    return m_db
        .scalar(QStringLiteral("SELECT count(id) AS totMsgQ FROM q_logs "
                               "WHERE status = 'Pending' OR status = 'Sending'"))
        .toLongLong();
}

int MessageQueue::repairSending(const QList<qint64> &inFlight)
{
    QStringList marks;
    QVariantList ids;
    for (qint64 id : inFlight) {
        marks << QStringLiteral("?");
        ids << id;
    }
    const QString except = inFlight.isEmpty() ? QString()
                                              : QStringLiteral(" AND id NOT IN (%1)").arg(marks.join(QLatin1Char(',')));
    // Only this workstation's: the others' are theirs to repair, or come
    // back when their claims' leases run out.
    ids.prepend(m_db.workstation());
    return m_db.exec(QStringLiteral("UPDATE q_logs SET status = 'Pending' WHERE status = 'Sending' AND claimed_by = ?")
                         + except,
                     ids);
}

QString MessageQueue::storedNow()
{
    // Formatting a local time is costly next to an insert; a bulk producer
    // queues thousands of rows within the same second.
    const qint64 second = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (second != m_nowSecond) {
        m_nowSecond = second;
        m_nowText = DateTimeText::stored(QDateTime::fromSecsSinceEpoch(second));
    }
    return m_nowText;
}

std::optional<QueueRow> MessageQueue::nextDue(const QString &route, const QDateTime &now)
{
    // One route per statement, so each walks the pending index in
    // (retry_no, id) order and stops at the first due row.
    Statement st = m_db.prepare(QStringLiteral(
        "SELECT * FROM q_logs INDEXED BY q_logs_pending "
        "WHERE com_port = ? AND workstation = ? AND status = 'Pending' AND delivery_time <= ? "
        "ORDER BY retry_no, id LIMIT 1"));
    st.bind(1, route).bind(2, routeOwner(route)).bind(3, DateTimeText::stored(now));
    if (!st.next())
        return std::nullopt;
    return readRow(st);
}

static std::optional<QueueRow> earlier(std::optional<QueueRow> a, std::optional<QueueRow> b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    if (a->retryNo != b->retryNo)
        return a->retryNo < b->retryNo ? a : b;
    return a->id < b->id ? a : b;
}

std::optional<QueueRow> MessageQueue::nextRetried(const QString &route, const QDateTime &now, qint64 after)
{
    // min(id) walks the port's retried part of the pending index, with no
    // sort; it holds the rows that failed before, few next to the fresh ones.
    const QVariant id = m_db.scalar(QStringLiteral("SELECT min(id) FROM q_logs INDEXED BY q_logs_pending "
                                                   "WHERE com_port = ? AND workstation = ? AND status = 'Pending' "
                                                   "AND retry_no > 0 AND id > ? AND delivery_time <= ?"),
                                    {route, routeOwner(route), after, DateTimeText::stored(now)});
    if (id.isNull())
        return std::nullopt;
    return row(id.toLongLong());
}

static std::optional<QueueRow> older(std::optional<QueueRow> a, std::optional<QueueRow> b)
{
    if (!a || !b)
        return a ? a : b;
    return a->id < b->id ? a : b;
}

qint64 MessageQueue::pendingForPort(const QString &port)
{
    return m_db
        .scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE com_port = ? AND workstation = ? "
                               "AND status = 'Pending'"),
                {port, routeOwner(port)})
        .toLongLong();
}

std::optional<QueueRow> MessageQueue::nextDueForPort(const QString &port, const QDateTime &now, bool withAuto)
{
    if (!withAuto) {
        // Rare and short-lived; the retry turn is left to the port's normal picks.
        return nextDue(port, now);
    }
    // Fewest retries first alone would keep a row that failed once behind
    // every newer row for as long as new ones come. So every tenth pick of a
    // port goes to its retried rows, one at a time: the oldest after the
    // one the last such turn took, round again from the first. Each of n
    // retried rows goes within 10 n picks, and fresh rows keep nine in ten.
    RetryTurn &turn = m_retryTurns[port];
    if (++turn.picks >= kRetryTurn) {
        turn.picks = 0;
        std::optional<QueueRow> retried = older(nextRetried(port, now, turn.lastTaken),
                                                nextRetried(kRouteAuto, now, turn.lastTaken));
        if (!retried && turn.lastTaken > 0)
            retried = older(nextRetried(port, now, 0), nextRetried(kRouteAuto, now, 0));
        if (retried) {
            turn.lastTaken = retried->id;
            return retried;
        }
    }
    return earlier(nextDue(port, now), nextDue(kRouteAuto, now));
}

QList<QueueRow> MessageQueue::dueAtGateway(const QString &route, const QDateTime &now, int count)
{
    // As nextDue; the rows put aside are few, so walking past them is cheap.
    Statement st = m_db.prepare(QStringLiteral(
        "SELECT * FROM q_logs INDEXED BY q_logs_pending "
        "WHERE com_port = ? AND workstation = '' AND status = 'Pending' AND delivery_time <= ? "
        "AND (next_attempt IS NULL OR next_attempt <= ?) "
        "ORDER BY retry_no, id LIMIT ?"));
    const QString stamp = DateTimeText::stored(now);
    st.bind(1, route).bind(2, stamp).bind(3, stamp).bind(4, count);
    QList<QueueRow> rows;
    while (st.next())
        rows << readRow(st);
    return rows;
}

QList<QueueRow> MessageQueue::dueForGateway(const QDateTime &now, int count)
{
    // The gateway takes its rows in queue order: of the two routes' next
    // rows, the one queued first.
    const QList<QueueRow> gateway = dueAtGateway(kRouteGateway, now, count);
    const QList<QueueRow> any = dueAtGateway(kRouteAuto, now, count);
    QList<QueueRow> rows;
    qsizetype g = 0, a = 0;
    while (rows.size() < count && (g < gateway.size() || a < any.size())) {
        if (a == any.size() || (g < gateway.size() && gateway[g].id < any[a].id))
            rows << gateway[g++];
        else
            rows << any[a++];
    }
    return rows;
}

std::optional<QueueRow> MessageQueue::nextDueForGateway(const QDateTime &now)
{
    const QList<QueueRow> rows = dueForGateway(now, 1);
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first();
}

bool MessageQueue::claim(qint64 id)
{
    return m_db.exec(QStringLiteral("UPDATE q_logs SET status = 'Sending', claimed_by = ?, claimed_at = ? "
                                    "WHERE id = ? AND status = 'Pending'"),
                     {m_db.workstation(), storedNow(), id})
        == 1;
}

QString MessageQueue::routeOwner(const QString &route) const
{
    return route == kRouteAuto || route == kRouteGateway ? QString(QLatin1String("")) : m_db.workstation();
}

QList<QueueRow> MessageQueue::claimOnServer(const QStringList &routes, const QString &condition, const QString &order,
                                            const QVariantHash &values, int count)
{
    // Each route's first rows by `order`, locked as they are read; rows that
    // another claimer holds are passed over, not waited for. Of those, the
    // first `count` by `order` are claimed; the rest are free again at once.
    // The count is written into the text: with LIMIT a parameter the server
    // plans every run afresh (its generic plan cannot tell how many rows
    // are wanted), which cost more than the run itself.
    QStringList picks, names;
    for (int i = 0; i < routes.size(); ++i) {
        picks << QStringLiteral("r%1 AS (SELECT id, retry_no FROM q_logs WHERE com_port = :route%1 "
                                "AND workstation = :owner%1 AND status = 'Pending' %2 "
                                "ORDER BY %3 LIMIT %4 FOR UPDATE SKIP LOCKED)")
                     .arg(i)
                     .arg(condition, order)
                     .arg(count);
        names << QStringLiteral("SELECT * FROM r%1").arg(i);
    }
    const QString sql = QStringLiteral("WITH %1 UPDATE q_logs SET status = 'Sending', claimed_by = :me, "
                                       "claimed_at = now() WHERE id IN (SELECT id FROM (%2) c ORDER BY %3 "
                                       "LIMIT %4) RETURNING *")
                            .arg(picks.join(QStringLiteral(", ")), names.join(QStringLiteral(" UNION ALL ")), order)
                            .arg(count);
    Statement st = m_db.prepare(sql);
    for (int i = 0; i < routes.size(); ++i) {
        st.bind(QStringLiteral(":route%1").arg(i).toUtf8().constData(), routes.at(i));
        st.bind(QStringLiteral(":owner%1").arg(i).toUtf8().constData(), routeOwner(routes.at(i)));
    }
    st.bind(":me", m_db.workstation());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        st.bind(it.key().toUtf8().constData(), it.value());
    QList<QueueRow> rows;
    while (st.next())
        rows << readRow(st);
    return rows;
}

std::optional<QueueRow> MessageQueue::takeNextForPort(const QString &port, const QDateTime &now, bool withAuto)
{
    if (!m_db.isShared()) {
        // One connection, one thread: nobody can take the row in between.
        std::optional<QueueRow> row = nextDueForPort(port, now, withAuto);
        if (row && !claim(row->id))
            return std::nullopt;
        return row;
    }
    const QStringList routes = withAuto ? QStringList{port, kRouteAuto} : QStringList{port};
    const QVariantHash due{{QStringLiteral(":now"), DateTimeText::stored(now)}};
    const QString dueNow = QStringLiteral("AND delivery_time <= :now");
    RetryTurn &turn = m_retryTurns[port];
    if (withAuto && ++turn.picks >= kRetryTurn) {
        turn.picks = 0;
        // As nextDueForPort: the oldest retried row after the last one taken, else from the first.
        for (const qint64 after : {turn.lastTaken, qint64(0)}) {
            QVariantHash values = due;
            values.insert(QStringLiteral(":after"), after);
            const QList<QueueRow> retried = claimOnServer(
                routes, dueNow + QStringLiteral(" AND retry_no > 0 AND id > :after"), QStringLiteral("id"), values, 1);
            if (!retried.isEmpty()) {
                turn.lastTaken = retried.first().id;
                return retried.first();
            }
            if (turn.lastTaken == 0)
                break;
        }
    }
    const QList<QueueRow> rows = claimOnServer(routes, dueNow, QStringLiteral("retry_no, id"), due, 1);
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first();
}

QList<QueueRow> MessageQueue::takeForGateway(const QDateTime &now, int count)
{
    if (!m_db.isShared()) {
        QList<QueueRow> claimed;
        for (const QueueRow &row : dueForGateway(now, count))
            if (claim(row.id)) // else a modem sender took it first
                claimed << row;
        return claimed;
    }
    // The rows come back from the server in no particular order; the gateway
    // takes them in queue order, as dueForGateway gives them.
    QList<QueueRow> rows = claimOnServer(
        {kRouteGateway, kRouteAuto},
        QStringLiteral("AND delivery_time <= :now AND (next_attempt IS NULL OR next_attempt <= :now)"),
        QStringLiteral("id"), {{QStringLiteral(":now"), DateTimeText::stored(now)}}, count);
    std::sort(rows.begin(), rows.end(), [](const QueueRow &a, const QueueRow &b) { return a.id < b.id; });
    return rows;
}

int MessageQueue::releaseExpiredClaims(std::chrono::milliseconds lease)
{
    if (!m_db.isShared())
        return 0; // one workstation: its own start-up repair does this
    return m_db.exec(QStringLiteral("UPDATE q_logs SET status = 'Pending' WHERE status = 'Sending' "
                                    "AND claimed_at < now() - make_interval(secs => ?)"),
                     {double(lease.count()) / 1000.0});
}

void MessageQueue::markDelivered(qint64 id, const QString &sentFrom, const QString &comments,
                                 const QDateTime &sentAt)
{
    m_db.exec(QStringLiteral("UPDATE q_logs SET status = 'Delivered', comments = ?, sent_at = ?, sent_from = ? "
                             "WHERE id = ?"),
              {comments, DateTimeText::stored(sentAt), sentFrom, id});
}

void MessageQueue::markRetry(qint64 id)
{
    m_db.exec(QStringLiteral("UPDATE q_logs SET status = 'Pending', retry_no = retry_no + 1 WHERE id = ?"), {id});
}

void MessageQueue::release(qint64 id)
{
    m_db.exec(QStringLiteral("UPDATE q_logs SET status = 'Pending' WHERE id = ? AND status = 'Sending'"), {id});
}

void MessageQueue::deferForGateway(qint64 id, const QDateTime &notBefore, bool counted)
{
    m_db.exec(QStringLiteral("UPDATE q_logs SET status = 'Pending', retry_no = retry_no + ?, next_attempt = ? "
                             "WHERE id = ? AND status = 'Sending'"),
              {counted ? 1 : 0, DateTimeText::stored(notBefore), id});
}

void MessageQueue::markFailed(qint64 id, const QString &comments)
{
    m_db.exec(QStringLiteral("UPDATE q_logs SET status = 'Failed', comments = ? WHERE id = ?"), {comments, id});
}

void MessageQueue::markFailed(qint64 id, const QString &comments, const QString &sentFrom,
                              const QDateTime &sentAt)
{
    m_db.exec(QStringLiteral("UPDATE q_logs SET status = 'Failed', comments = ?, sent_at = ?, sent_from = ? "
                             "WHERE id = ?"),
              {comments, DateTimeText::stored(sentAt), sentFrom, id});
}

std::optional<QueueRow> MessageQueue::row(qint64 id)
{
    Statement st = m_db.prepare(QStringLiteral("SELECT * FROM q_logs WHERE id = ?"));
    st.bind(1, id);
    if (!st.next())
        return std::nullopt;
    return readRow(st);
}

TableQuery MessageQueue::pendingQuery()
{
    TableQuery q;
    q.from = QStringLiteral("q_logs");
    q.where = QStringLiteral("status = 'Pending'");
    const auto time = DateTimeText::displayStored;
    q.columns = {
        {QStringLiteral("dated"), QStringLiteral("Dated"), time},
        {QStringLiteral("outgoing_mobileNo"), QStringLiteral("Mobile No"), {}},
        {QStringLiteral("outgoing_message"), QStringLiteral("Message"), {}, Qt::AlignLeft | Qt::AlignVCenter, true},
        {QStringLiteral("delivery_time"), QStringLiteral("Delivery Time"), time},
        {QStringLiteral("status"), QStringLiteral("Delivery Status"), {}},
        {QStringLiteral("retry_no"), QStringLiteral("Retry No"), {}, Qt::AlignRight | Qt::AlignVCenter},
        // A row sent before and queued again keeps what its handset said then.
        {DeliveryConfirmations::handsetExpression(), QStringLiteral("Handset"), {}},
    };
    // Oldest queued first; q_logs_pending_order walks them in this order.
    q.sortKeys = {{QStringLiteral("id"), Qt::AscendingOrder}};
    return q;
}

int MessageQueue::clearPending()
{
    return m_db.exec(QStringLiteral("DELETE FROM q_logs WHERE status = 'Pending'"));
}

} // namespace tavsms
