#pragma once

#include "MessageQueue.h"

#include <QDateTime>
#include <QString>

namespace tavsms {

class Database;
class Statement;

// q_logs read as the delivery log, for the reports and the statistics:
// which rows a connection sent, which were queued since a time, and how
// many each connection delivered in a period. It only reads; the rows'
// life belongs to MessageQueue.
class DeliveryLog
{
public:
    explicit DeliveryLog(Database &db);

    // The sent-messages reports, newest queued first: dated, sent_at,
    // outgoing_mobileNo, outgoing_message, status, handset, com_port of the rows
    // delivered through one connection (sent_from), or of every row queued
    // at or after a time. The counts are of the same rows.
    Statement sentThrough(const QString &connection);
    qint64 sentThroughCount(const QString &connection);
    Statement queuedSince(const QDateTime &from);
    qint64 queuedSinceCount(const QDateTime &from);

    // "Delivered" rows per connection that sent them (sent_from, in the
    // order of kDeliveryConnections) with sent_at in [from, until); an
    // invalid bound is no bound. Whole days come from the daily counts the
    // schema's triggers keep, the partial days at either end from the log,
    // so a period costs the same however much of the log it spans. Throws
    // DbError.
    DeliveredCounts deliveredCounts(const QDateTime &from, const QDateTime &until);

private:
    void addDeliveredBetween(const QString &from, const QString &until, DeliveredCounts &counts);

    Database &m_db;
};

} // namespace tavsms
