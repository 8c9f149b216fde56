#pragma once

#include <QCoroTask>
#include <QDateTime>
#include <QString>

#include <functional>

class QObject;

namespace tavsms {

class Database;
class MessageQueue;
class Progress;
class Prompter;

// One message of a bulk send.
struct QueueRequest
{
    QString mobileNo;
    QString message;
    QString connection;
    QDateTime deliveryTime; // invalid: now
};

// How a bulk send ended. `queued` is what is really in the queue.
struct BulkOutcome
{
    qint64 total = 0;
    qint64 queued = 0;
    bool cancelled = false;
    QString error;
    bool complete() const { return !cancelled && error.isEmpty() && queued == total; }
};

// Queues many messages (a group send, a scheduled series) in chunks: each
// chunk is one transaction, committed before the event loop gets its turn,
// so the senders, the listener and the screens run between chunks and a
// Cancel or a failure keeps exactly the chunks committed before it.
class BulkQueue
{
public:
    static constexpr int kDefaultChunk = 2000;

    // `guard` bounds the work's life: when it is destroyed (its screen
    // closed) the work stops between two chunks and never resumes.
    BulkQueue(Database &db, MessageQueue &queue, QObject &guard, int chunkSize = kDefaultChunk);

    // Queues `total` messages; message i is `request(i)`.
    QCoro::Task<BulkOutcome> run(qint64 total, std::function<QueueRequest(qint64)> request, Progress &progress,
                                 const QString &label);

    // Tells the operator how a send that did not complete ended; true when
    // it did complete (the caller shows its own success box then).
    static bool reportIncomplete(Prompter &prompter, const BulkOutcome &outcome);
    // The line a success box adds: how many messages went into the queue.
    static QString queuedLine(qint64 queued);

private:
    Database &m_db;
    MessageQueue &m_queue;
    QObject &m_guard;
    int m_chunkSize;
};

} // namespace tavsms
