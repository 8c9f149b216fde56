#include "QueueBatch.h"

#include "Database.h"

namespace tavsms {

QueueBatch::QueueBatch(Database &db, MessageQueue &queue, int chunkSize)
    : m_db(db)
    , m_queue(queue)
    , m_chunkSize(chunkSize)
{
}

QueueBatch::~QueueBatch()
{
    finish();
}

bool QueueBatch::begin()
{
    try {
        m_db.execScript(QStringLiteral("BEGIN IMMEDIATE"));
        m_inTransaction = true;
        m_open = 0;
        return true;
    } catch (const DbError &e) {
        m_error = QStringLiteral("Cannot start queueing: %1").arg(e.message());
        return false;
    }
}

bool QueueBatch::commit()
{
    if (!m_inTransaction)
        return true;
    m_inTransaction = false;
    try {
        m_db.execScript(QStringLiteral("COMMIT"));
        m_committed += m_open;
        m_open = 0;
        return true;
    } catch (const DbError &e) {
        if (m_db.inTransaction())
            m_db.execScript(QStringLiteral("ROLLBACK"));
        m_error = QStringLiteral("%1 messages could not be queued: %2").arg(m_open).arg(e.message());
        m_open = 0;
        return false;
    }
}

bool QueueBatch::add(const QString &mobileNo, const QString &message, const QString &connection,
                     const QDateTime &deliveryTime)
{
    if (!m_error.isEmpty())
        return false;
    if (!m_inTransaction && !begin())
        return false;
    const EnqueueResult r = m_queue.addToQueue(mobileNo, message, connection, deliveryTime);
    if (!r) {
        m_error = r.error;
        if (!m_db.inTransaction()) {
            // The engine rolled the whole transaction back with the failed row.
            m_inTransaction = false;
            if (m_open > 0)
                m_error += QStringLiteral(" (%1 messages before it were not queued either)").arg(m_open);
            m_open = 0;
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
