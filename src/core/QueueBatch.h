#pragma once

#include "Database.h"
#include "MessageQueue.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace tavsms {

// Queues many messages with few commits (a group send, an import, a merge).
// Rows are gathered and written many to a statement (one round trip to a
// server for a few hundred rows); they are committed every `chunkSize` rows
// (0: all in one transaction) and by finish(). A row that cannot be
// inserted stops the batch; the rows before it stay queued, as they would
// one by one. When the engine has given up the whole open transaction (a
// full disk, any failure on a server), the rows of that transaction are
// counted as not queued, so queued() is always what is really in the queue.
// Going out of scope finishes the batch as finish() does, and never throws:
// what cannot be committed is rolled back.
class QueueBatch
{
public:
    QueueBatch(Database &db, MessageQueue &queue, int chunkSize = 0);
    ~QueueBatch() noexcept;
    QueueBatch(const QueueBatch &) = delete;
    QueueBatch &operator=(const QueueBatch &) = delete;

    // Takes the row. False when it, or a row taken before it, could not be
    // queued; error() says why. Further rows are refused.
    bool add(const QString &mobileNo, const QString &message, const QString &connection,
             const QDateTime &deliveryTime = {});
    // Commits what is open. False on failure (error() says why).
    bool finish();

    int queued() const { return m_committed; }
    QString error() const { return m_error; }

private:
    bool begin();
    bool write();
    bool commit();
    // The engine gave up the open transaction, and its rows with it.
    void lose(const QString &error, qsizetype failedRows);

    Database &m_db;
    MessageQueue &m_queue;
    int m_chunkSize;
    int m_committed = 0;
    int m_open = 0; // rows inserted in the open transaction
    std::vector<MessageQueue::Entry> m_rows; // taken, not yet written
    std::optional<Transaction> m_transaction;
    QString m_error;
};

} // namespace tavsms
