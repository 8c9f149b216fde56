#include "MergedSend.h"

#include "Database.h"
#include "MessageQueue.h"
#include "Prompter.h"
#include "Store.h"
#include "TextRules.h"

namespace tavsms {

MergedSend::MergedSend(Store &store, const AppState &state, Prompter &prompter, Progress &progress, int chunkSize)
    : RoutedBulkSend(store, state, prompter, progress, chunkSize)
{
}

QCoro::Task<void> MergedSend::send(QList<MergedRow> rows, QString modemEntry)
{
    std::optional<Route> route;
    try {
        route = this->route(modemEntry);
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"), QStringLiteral("Nothing was queued:\n%1").arg(e.message()));
        co_return;
    }
    if (!route)
        co_return;

    QList<QueueRequest> requests;
    qsizetype withoutNumber = 0;
    for (const MergedRow &row : rows) {
        const QString number = lastTen(row.number);
        if (number.isEmpty()) {
            ++withoutNumber;
            continue;
        }
        requests.append({number, queuedText(row.message, route->limit), route->connection, {}});
    }
    const BulkOutcome outcome = co_await m_bulk.run(
        requests.size(), [&](qint64 i) { return requests.at(i); }, m_progress,
        QStringLiteral("Queueing %1 merged messages …").arg(requests.size()));
    if (!BulkQueue::reportIncomplete(m_prompter, outcome))
        co_return;
    QString text = QStringLiteral("Messages has been sent to Queue\n\n") + BulkQueue::queuedLine(outcome.queued);
    if (withoutNumber > 0)
        text += QStringLiteral(" %1 %2 without a number left out.")
                    .arg(withoutNumber)
                    .arg(withoutNumber == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
    m_prompter.information(QStringLiteral("Success"), text);
}

} // namespace tavsms
