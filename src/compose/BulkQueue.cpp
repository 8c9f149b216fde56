#include "BulkQueue.h"

#include "NextTurn.h"
#include "Progress.h"
#include "Prompter.h"
#include "QueueBatch.h"

#include <QObject>

namespace tavsms {

BulkQueue::BulkQueue(Database &db, MessageQueue &queue, QObject &guard, int chunkSize)
    : m_db(db)
    , m_queue(queue)
    , m_guard(guard)
    , m_chunkSize(chunkSize > 0 ? chunkSize : kDefaultChunk)
{
}

QCoro::Task<BulkOutcome> BulkQueue::run(qint64 total, std::function<QueueRequest(qint64)> request,
                                        Progress &progress, const QString &label)
{
    BulkOutcome outcome;
    outcome.total = total;
    progress.begin(label, total);
    qint64 next = 0;
    while (next < total) {
        {
            QueueBatch batch(m_db, m_queue);
            const qint64 end = std::min(total, next + m_chunkSize);
            bool added = true;
            for (; next < end && added; ++next) {
                const QueueRequest r = request(next);
                added = batch.add(r.mobileNo, r.message, r.connection, r.deliveryTime);
            }
            const bool committed = batch.finish();
            outcome.queued += batch.queued();
            if (!added || !committed) {
                outcome.error = batch.error();
                break;
            }
        }
        progress.advance(outcome.queued);
        if (next >= total)
            break;
        co_await NextTurn{&m_guard};
        if (progress.cancelRequested()) {
            outcome.cancelled = true;
            break;
        }
    }
    progress.end();
    co_return outcome;
}

bool BulkQueue::reportIncomplete(Prompter &prompter, const BulkOutcome &outcome)
{
    if (outcome.complete())
        return true;
    if (!outcome.error.isEmpty()) {
        prompter.critical(QStringLiteral("Error"),
                          QStringLiteral("%1 of %2 messages were queued; the rest were not.\n\n%3")
                              .arg(outcome.queued)
                              .arg(outcome.total)
                              .arg(outcome.error));
    } else {
        prompter.information(QStringLiteral("Cancelled"), QStringLiteral("Queueing was cancelled: %1 of %2 messages "
                                                                          "were queued.")
                                                              .arg(outcome.queued)
                                                              .arg(outcome.total));
    }
    return false;
}

QString BulkQueue::queuedLine(qint64 queued)
{
    return queued == 1 ? QStringLiteral("1 message queued.") : QStringLiteral("%1 messages queued.").arg(queued);
}

} // namespace tavsms
