#pragma once

#include "Database.h"
#include "MessageQueue.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace tavsms {

// Queues many messages with few commits (a group send, an import, a merge).
// Rows are committed every `chunkSize` rows (0: all in one transaction) and
// by finish(). A row that cannot be inserted stops the batch; when the engine
// has given up the whole open transaction (a full disk does that), the rows
// of that transaction are counted as not queued, so queued() is always what
// is really in the queue. Going out of scope finishes the batch as finish()
// does, and never throws: what cannot be committed is rolled back.
class QueueBatch
{
public:
    QueueBatch(Database &db, MessageQueue &queue, int chunkSize = 0);
    ~QueueBatch() noexcept;
    QueueBatch(const QueueBatch &) = delete;
    QueueBatch &operator=(const QueueBatch &) = delete;

    // False when the row was not queued; error() says why. Further rows are refused.
    bool add(const QString &mobileNo, const QString &message, const QString &connection,
             const QDateTime &deliveryTime = {});
    // Commits what is open. False on failure (error() says why).
    bool finish();

    int queued() const { return m_committed; }
    QString error() const { return m_error; }

private:
    bool begin();
    bool commit();

    Database &m_db;
    MessageQueue &m_queue;
    int m_chunkSize;
    int m_committed = 0;
    int m_open = 0; // rows inserted in the open transaction
    std::optional<Transaction> m_transaction;
    QString m_error;
};

} // namespace tavsms
