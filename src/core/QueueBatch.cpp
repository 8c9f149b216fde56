#include "QueueBatch.h"

namespace tavsms {

QueueBatch::QueueBatch(Database &db, MessageQueue &queue, int chunkSize)
    : m_db(db)
    , m_queue(queue)
    , m_chunkSize(chunkSize)
{
}

QueueBatch::~QueueBatch() noexcept
{
    try {
        finish();
    } catch (...) {
        // Nothing can be reported from here; m_transaction's own destructor
        // rolls back whatever is still open.
    }
}

bool QueueBatch::begin()
{
    try {
        m_transaction.emplace(m_db);
        m_open = 0;
        return true;
    } catch (const DbError &e) {
        m_error = QStringLiteral("Cannot start queueing: %1").arg(e.message());
        return false;
    }
}

void QueueBatch::lose(const QString &error, qsizetype failedRows)
{
    m_error = error;
    if (m_open > 0)
        m_error += QStringLiteral(" (%1 messages before %2 were not queued either)")
                       .arg(m_open)
                       .arg(failedRows == 1 ? QStringLiteral("it") : QStringLiteral("them"));
    m_open = 0;
    m_rows.clear();
    m_transaction.reset(); // nothing left for it to roll back
}

bool QueueBatch::write()
{
    qsizetype written = 0;
    try {
        m_queue.addAllToQueue(m_rows, written);
        m_open += int(written);
        m_rows.clear();
        return true;
    } catch (const DbError &e) {
        m_open += int(written);
        if (!m_db.inTransaction()) {
            const qsizetype rows = m_queue.rowsInStatement(qsizetype(m_rows.size()) - written);
            const QString first = m_rows[size_t(written)].mobileNo;
            lose(rows == 1 ? QStringLiteral("The message to %1 could not be queued: %2").arg(first, e.message())
                           : QStringLiteral("The messages to %1 … %2 could not be queued: %3")
                                 .arg(first, m_rows[size_t(written + rows - 1)].mobileNo, e.message()),
                 rows);
            return false;
        }
        // The statement alone was refused, with none of its rows. They go
        // one at a time, so that the one refused is named and the rows
        // before it are queued.
        for (qsizetype i = written; i < qsizetype(m_rows.size()); ++i) {
            const MessageQueue::Entry &row = m_rows[size_t(i)];
            const EnqueueResult r = m_queue.addToQueue(row.mobileNo, row.message, row.connection, row.deliveryTime);
            if (!r) {
                if (!m_db.inTransaction()) {
                    lose(r.error, 1);
                } else {
                    m_error = r.error;
                    m_rows.clear();
                }
                return false;
            }
            ++m_open;
        }
        m_rows.clear();
        return true;
    }
}

bool QueueBatch::commit()
{
    // A failed write leaves error() saying why; the rows before the failed one are committed all the same.
    if (m_error.isEmpty())
        write();
    if (!m_transaction)
        return true;
    try {
        m_transaction->commit();
        m_committed += m_open;
        m_open = 0;
        m_transaction.reset();
        return true;
    } catch (const DbError &e) {
        m_error = QStringLiteral("%1 messages could not be queued: %2").arg(m_open).arg(e.message());
        m_open = 0;
        m_transaction.reset(); // rolls back what the failed commit left open
        return false;
    }
}

bool QueueBatch::add(const QString &mobileNo, const QString &message, const QString &connection,
                     const QDateTime &deliveryTime)
{
    if (!m_error.isEmpty())
        return false;
    if (!m_transaction && !begin())
        return false;
    m_rows.push_back({mobileNo, message, connection, deliveryTime});
    if (m_chunkSize > 0 && m_open + qsizetype(m_rows.size()) >= m_chunkSize)
        return commit() && m_error.isEmpty();
    if (qsizetype(m_rows.size()) >= MessageQueue::kMostRowsPerStatement)
        return write();
    return true;
}

bool QueueBatch::finish()
{
    return commit() && m_error.isEmpty();
}

} // namespace tavsms
