#include "MergedSend.h"

#include "Database.h"
#include "MessageQueue.h"
#include "Prompter.h"
#include "Store.h"
#include "TextRules.h"

namespace tavsms {

MergedSend::MergedSend(Store &store, const AppState &state, Prompter &prompter, Progress &progress, int chunkSize)
    : m_store(store)
    , m_prompter(prompter)
    , m_progress(progress)
    , m_connections(store.db(), state)
    , m_bulk(store.db(), store.queue(), m_guard, chunkSize)
{
}

QStringList MergedSend::load()
{
    try {
        return m_connections.entries();
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"),
                            QStringLiteral("The modem ports could not be read:\n%1").arg(e.message()));
        return {kRouteAuto, kRouteGateway};
    }
}

QString MergedSend::queuedText(const QString &merged, int limit)
{
    return joinTypedLines(merged).left(limit);
}

QCoro::Task<void> MergedSend::send(QList<MergedRow> rows, QString modemEntry)
{
    std::optional<QString> route;
    int limit = ConnectionChoice::kGsmLimit;
    try {
        route = m_connections.resolve(modemEntry);
        // The gateway has no device of its own: it takes what a GSM phone takes.
        limit = m_connections.lengthLimit(trimSpaces(modemEntry)).value_or(ConnectionChoice::kGsmLimit);
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"), QStringLiteral("Nothing was queued:\n%1").arg(e.message()));
        co_return;
    }
    if (!route) {
        m_prompter.critical(QStringLiteral("Error"),
                            QStringLiteral("No modem port is set up as \"%1\" any more. Choose another connection.")
                                .arg(trimSpaces(modemEntry)));
        co_return;
    }

    QList<QueueRequest> requests;
    qsizetype withoutNumber = 0;
    for (const MergedRow &row : rows) {
        const QString number = lastTen(row.number);
        if (number.isEmpty()) {
            ++withoutNumber;
            continue;
        }
        requests.append({number, queuedText(row.message, limit), *route, {}});
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
