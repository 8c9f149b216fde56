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

bool QueueBatch::commit()
{
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
    const EnqueueResult r = m_queue.addToQueue(mobileNo, message, connection, deliveryTime);
    if (!r) {
        m_error = r.error;
        if (!m_db.inTransaction()) {
            // The engine rolled the whole transaction back with the failed row.
            if (m_open > 0)
                m_error += QStringLiteral(" (%1 messages before it were not queued either)").arg(m_open);
            m_open = 0;
            m_transaction.reset(); // nothing left for it to roll back
        }
        return false;
    }
    ++m_open;
    if (m_chunkSize > 0 && m_open >= m_chunkSize)
        return commit();
    return true;
}

bool QueueBatch::finish()
{
    return commit() && m_error.isEmpty();
}

} // namespace tavsms
