#include "RoutedBulkSend.h"

#include "Database.h"
#include "MessageQueue.h"
#include "Prompter.h"
#include "Store.h"
#include "TextRules.h"

namespace tavsms {

RoutedBulkSend::RoutedBulkSend(Store &store, const AppState &state, Prompter &prompter, Progress &progress,
                               int chunkSize)
    : m_prompter(prompter)
    , m_progress(progress)
    , m_connections(store.db(), state)
    , m_bulk(store.db(), store.queue(), m_guard, chunkSize)
{
}

QStringList RoutedBulkSend::load()
{
    try {
        return m_connections.entries();
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"),
                            QStringLiteral("The modem ports could not be read:\n%1").arg(e.message()));
        return {kRouteAuto, kRouteGateway};
    }
}

QString RoutedBulkSend::queuedText(const QString &text, const LengthLimit &limit)
{
    return limit.cut(joinTypedLines(text));
}

std::optional<RoutedBulkSend::Route> RoutedBulkSend::route(const QString &modemEntry)
{
    const std::optional<QString> connection = m_connections.resolve(modemEntry);
    if (!connection) {
        m_prompter.critical(QStringLiteral("Error"),
                            QStringLiteral("No modem port is set up as \"%1\" any more. Choose another connection.")
                                .arg(trimSpaces(modemEntry)));
        return std::nullopt;
    }
    return Route{*connection,
                 m_connections.lengthLimit(trimSpaces(modemEntry))
                     .value_or(LengthLimit::ofCharacters(ConnectionChoice::kGsmLimit))};
}

} // namespace tavsms
