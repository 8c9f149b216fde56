#include "DeliveryConfirmations.h"

#include "Database.h"
#include "DateTimeText.h"

#include <algorithm>
#include <optional>

#include <QSet>

namespace tavsms {

namespace {
constexpr int kAwaiting = 0;
constexpr int kConfirmed = 1;
constexpr int kFailed = 2;
// National numbers are stored as typed (ten digits here); reports give the
// international form. The last ten digits tell them apart well enough
// together with the port and the reference.
constexpr int kKeyDigits = 10;
} // namespace

DeliveryConfirmations::DeliveryConfirmations(Database &db)
    : m_db(db)
{
}

QString DeliveryConfirmations::recipientKey(const QString &number)
{
    QString digits;
    for (QChar c : number)
        if (c.isDigit())
            digits += c;
    return digits.right(kKeyDigits);
}

QString DeliveryConfirmations::statusMeaning(int status)
{
    switch (status) {
    case 0x00: return QStringLiteral("received by the handset");
    case 0x01: return QStringLiteral("forwarded, not confirmed");
    case 0x02: return QStringLiteral("replaced by the centre");
    case 0x20: return QStringLiteral("network congestion");
    case 0x21: return QStringLiteral("handset busy");
    case 0x22: return QStringLiteral("no response from the handset");
    case 0x23: return QStringLiteral("service rejected");
    case 0x24: return QStringLiteral("quality of service not available");
    case 0x25: return QStringLiteral("error in the handset");
    case 0x40: return QStringLiteral("remote procedure error");
    case 0x41: return QStringLiteral("incompatible destination");
    case 0x42: return QStringLiteral("connection rejected by the handset");
    case 0x43: return QStringLiteral("not obtainable");
    case 0x44: return QStringLiteral("quality of service not available");
    case 0x45: return QStringLiteral("no interworking available");
    case 0x46: return QStringLiteral("validity period expired");
    case 0x47: return QStringLiteral("deleted by the sender");
    case 0x48: return QStringLiteral("deleted by the centre's administration");
    case 0x49: return QStringLiteral("the message does not exist");
    case 0x60: return QStringLiteral("network congestion, no more attempts");
    case 0x61: return QStringLiteral("handset busy, no more attempts");
    case 0x62: return QStringLiteral("no response from the handset, no more attempts");
    case 0x63: return QStringLiteral("service rejected, no more attempts");
    case 0x64: return QStringLiteral("quality of service not available, no more attempts");
    case 0x65: return QStringLiteral("error in the handset, no more attempts");
    default: break;
    }
    if (isDone(status))
        return QStringLiteral("delivered (status %1)").arg(status);
    if (isTemporary(status))
        return QStringLiteral("the centre is still trying (status %1)").arg(status);
    return QStringLiteral("not delivered (status %1)").arg(status);
}

void DeliveryConfirmations::recordSent(qint64 queueId, const QString &port, const QString &recipient,
                                       const QList<int> &references, const QDateTime &sentAt)
{
    if (references.isEmpty())
        return;
    std::optional<Transaction> tx;
    if (!m_db.inTransaction())
        tx.emplace(m_db);
    const QString stamp = DateTimeText::stored(sentAt);
    const QString key = recipientKey(recipient);
    // A row sent again (its reports asked for afresh) starts its lines over.
    m_db.exec(QStringLiteral("DELETE FROM delivery_parts WHERE q_log_id = ?"), {queueId});
    m_db.exec(QStringLiteral("DELETE FROM delivery_messages WHERE q_log_id = ?"), {queueId});
    Statement part = m_db.prepare(QStringLiteral(
        "INSERT INTO delivery_parts (q_log_id, port, workstation, recipient, recipient_key, reference, part_no, parts, "
        "sent_at, state) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 0)"));
    // The port is this workstation's: on a shared store another's COM1 is another phone.
    for (int i = 0; i < references.size(); ++i) {
        part.bind(1, queueId).bind(2, port).bind(3, m_db.workstation()).bind(4, recipient).bind(5, key);
        part.bind(6, references.at(i)).bind(7, i + 1).bind(8, int(references.size())).bind(9, stamp);
        part.exec();
    }
    m_db.exec(QStringLiteral("INSERT INTO delivery_messages (q_log_id, port, workstation, parts, confirmed, state, "
                             "sent_at) VALUES (?, ?, ?, ?, 0, 'Awaiting', ?)"),
              {queueId, port, m_db.workstation(), int(references.size()), stamp});
    if (tx)
        tx->commit();
}

DeliveryConfirmations::Outcome DeliveryConfirmations::match(const StatusReport &report)
{
    return matchAll({report}).constFirst();
}

QList<DeliveryConfirmations::Outcome> DeliveryConfirmations::matchAll(const QList<StatusReport> &reports)
{
    // Found in the match index's order, so that a large batch walks the
    // index once instead of jumping about it (reports with the same key keep
    // the order they came in); then written in the order of the rows they
    // change, for the same reason.
    QList<qsizetype> order(reports.size());
    QStringList keys;
    keys.reserve(reports.size());
    for (qsizetype i = 0; i < reports.size(); ++i) {
        order[i] = i;
        keys << recipientKey(reports.at(i).recipient);
    }
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const StatusReport &x = reports.at(a), &y = reports.at(b);
        if (x.port != y.port)
            return x.port < y.port;
        if (x.reference != y.reference)
            return x.reference < y.reference;
        return keys.at(a) < keys.at(b);
    });
    QList<Outcome> outcomes(reports.size(), Outcome::Unmatched);
    QList<Settling> settlings;
    settlings.reserve(reports.size());
    QSet<qint64> settled; // parts a report of this batch settles already
    Transaction tx(m_db);
    for (qsizetype i : order) {
        const StatusReport &report = reports.at(i);
        stamp(report.receivedAt);
        Settling s{0, 0, report.status, Outcome::Unmatched, m_received};
        Statement find = m_db.prepare(QStringLiteral(
            "SELECT id, q_log_id FROM delivery_parts WHERE port = ? AND reference = ? AND recipient_key = ? "
            "AND workstation = ? AND state = 0 AND sent_at >= ? ORDER BY sent_at DESC, id DESC"));
        find.bind(1, report.port).bind(2, report.reference).bind(3, keys.at(i)).bind(4, m_db.workstation());
        find.bind(5, m_oldest);
        while (find.next()) {
            const qint64 id = find.integer(QStringLiteral("id"));
            if (settled.contains(id))
                continue;
            s.partId = id;
            s.queueId = find.integer(QStringLiteral("q_log_id"));
            s.outcome = isTemporary(report.status) ? Outcome::Waiting
                      : isDone(report.status)      ? Outcome::Confirmed
                                                   : Outcome::Failed;
            if (s.outcome != Outcome::Waiting)
                settled.insert(id);
            break;
        }
        outcomes[i] = s.outcome;
        if (s.outcome == Outcome::Unmatched)
            m_db.exec(QStringLiteral("INSERT INTO delivery_unmatched (port, workstation, reference, recipient, "
                                     "status_code, received_at) VALUES (?, ?, ?, ?, ?, ?)"),
                      {report.port, m_db.workstation(), report.reference, report.recipient, report.status,
                       s.received});
        else
            settlings << s;
    }
    std::sort(settlings.begin(), settlings.end(),
              [](const Settling &a, const Settling &b) { return a.partId < b.partId; });
    for (const Settling &s : std::as_const(settlings)) {
        if (s.outcome == Outcome::Waiting)
            m_db.exec(QStringLiteral("UPDATE delivery_parts SET status_code = ?, reported_at = ? WHERE id = ?"),
                      {s.status, s.received, s.partId});
        else
            m_db.exec(QStringLiteral("UPDATE delivery_parts SET state = ?, status_code = ?, reported_at = ? WHERE id = ?"),
                      {s.outcome == Outcome::Confirmed ? kConfirmed : kFailed, s.status, s.received, s.partId});
    }
    std::stable_sort(settlings.begin(), settlings.end(),
                     [](const Settling &a, const Settling &b) { return a.queueId < b.queueId; });
    for (const Settling &s : std::as_const(settlings))
        settleMessage(s);
    tx.commit();
    return outcomes;
}

void DeliveryConfirmations::stamp(const QDateTime &receivedAt)
{
    // A batch's reports mostly share their arrival second, and formatting a
    // time costs more than the match.
    if (receivedAt == m_stampOf && !m_received.isEmpty())
        return;
    m_stampOf = receivedAt;
    m_received = DateTimeText::stored(receivedAt);
    m_oldest = DateTimeText::stored(receivedAt.addDays(-kValidityDays));
}

void DeliveryConfirmations::settleMessage(const Settling &s)
{
    const QString meaning = statusMeaning(s.status);
    switch (s.outcome) {
    case Outcome::Waiting:
        // The centre still tries: the message waits on, its last word kept.
        m_db.exec(QStringLiteral("UPDATE delivery_messages SET status_code = ?, status_text = ? "
                                 "WHERE q_log_id = ? AND state = 'Awaiting'"),
                  {s.status, meaning, s.queueId});
        break;
    case Outcome::Failed:
        // One part lost is the message lost; its reason stays.
        m_db.exec(QStringLiteral("UPDATE delivery_messages SET state = 'Failed', status_code = ?, status_text = ?, "
                                 "settled_at = ? WHERE q_log_id = ? AND state <> 'Failed'"),
                  {s.status, meaning, s.received, s.queueId});
        break;
    case Outcome::Confirmed:
        m_db.exec(QStringLiteral("UPDATE delivery_messages SET confirmed = confirmed + 1, "
                                 "state = CASE WHEN state = 'Awaiting' AND confirmed + 1 >= parts THEN 'Confirmed' ELSE state END, "
                                 "settled_at = CASE WHEN state = 'Awaiting' AND confirmed + 1 >= parts THEN ? ELSE settled_at END, "
                                 "status_code = CASE WHEN state = 'Awaiting' THEN ? ELSE status_code END, "
                                 "status_text = CASE WHEN state = 'Awaiting' THEN ? ELSE status_text END "
                                 "WHERE q_log_id = ?"),
                  {s.received, s.status, meaning, s.queueId});
        break;
    case Outcome::Unmatched:
        break;
    }
}

qint64 DeliveryConfirmations::unmatchedCount()
{
    return m_db.scalar(QStringLiteral("SELECT count(*) FROM delivery_unmatched")).toLongLong();
}

QString DeliveryConfirmations::stateText(const QString &alias)
{
    return QStringLiteral("CASE WHEN %1.state = 'Failed' THEN 'Failed (' || coalesce(%1.status_text, '') || ')' "
                          "ELSE %1.state END")
        .arg(alias);
}

QString DeliveryConfirmations::handsetExpression(const QString &idColumn)
{
    return QStringLiteral("coalesce((SELECT ") + stateText(QStringLiteral("hs"))
        + QStringLiteral(" FROM delivery_messages hs WHERE hs.q_log_id = %1), 'Not requested')").arg(idColumn);
}

QString DeliveryConfirmations::handsetOf(qint64 queueId)
{
    return m_db.scalar(QStringLiteral("SELECT ") + handsetExpression(QStringLiteral("?")), {queueId}).toString();
}

DeliveredCounts DeliveryConfirmations::confirmedCounts(const QDateTime &from, const QDateTime &until)
{
    DeliveredCounts counts{};
    Statement st = m_db.prepare(QStringLiteral(
        "SELECT port, count(*) FROM delivery_messages WHERE state = 'Confirmed' AND port IN (?, ?, ?, ?, ?, ?) "
        "AND sent_at >= ? AND sent_at < ? GROUP BY port"));
    // One index range per connection (delivery_messages_state); an open end is no bound.
    int at = 1;
    for (const QString &connection : kDeliveryConnections)
        st.bind(at++, connection);
    st.bind(at++, from.isValid() ? DateTimeText::stored(from) : QString());
    st.bind(at, until.isValid() ? DateTimeText::stored(until) : QStringLiteral("9999"));
    while (st.next()) {
        const qsizetype i = kDeliveryConnections.indexOf(st.value(0).toString());
        if (i >= 0)
            counts[size_t(i)] += st.value(1).toLongLong();
    }
    return counts;
}

Statement DeliveryConfirmations::confirmationsBetween(const QDateTime &from, const QDateTime &until)
{
    Statement st = m_db.prepare(QStringLiteral(
        "SELECT d.sent_at, q.outgoing_mobileNo, q.outgoing_message, d.port, ") + stateText(QStringLiteral("d"))
        + QStringLiteral(" AS handset, d.settled_at FROM delivery_messages d JOIN q_logs q ON q.id = d.q_log_id "
                         "WHERE d.sent_at >= ? AND d.sent_at < ? ORDER BY d.sent_at DESC, d.q_log_id DESC"));
    st.bind(1, DateTimeText::stored(from)).bind(2, DateTimeText::stored(until));
    return st;
}

qint64 DeliveryConfirmations::confirmationsBetweenCount(const QDateTime &from, const QDateTime &until)
{
    return m_db
        .scalar(QStringLiteral("SELECT count(*) FROM delivery_messages WHERE sent_at >= ? AND sent_at < ?"),
                {DateTimeText::stored(from), DateTimeText::stored(until)})
        .toLongLong();
}

} // namespace tavsms
