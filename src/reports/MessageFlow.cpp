#include "MessageFlow.h"

#include "AppState.h"
#include "Database.h"
#include "DeliveryConfirmations.h"
#include "PortConfig.h"
#include "Prompter.h"

namespace tavsms {

MessageFlow::MessageFlow(Database &db, Prompter &prompter, const AppState &state)
    : m_db(db)
    , m_log(db)
    , m_prompter(prompter)
    , m_state(state)
{
}

const QStringList &MessageFlow::periodNames()
{
    static const QStringList names = {QStringLiteral("Today"), QStringLiteral("Yesterday"),
                                      QStringLiteral("Last 7 Days"), QStringLiteral("This Month"),
                                      QStringLiteral("All Time")};
    return names;
}

std::optional<FlowBounds> MessageFlow::bounds(const QString &period, const QDateTime &now)
{
    const QDateTime today(now.date(), QTime(0, 0));
    switch (periodNames().indexOf(period)) {
    case 0:
        return FlowBounds{today, {}};
    case 1:
        return FlowBounds{QDateTime(now.date().addDays(-1), QTime(0, 0)), today};
    case 2:
        // Calendar days, so the time of day stays the same across a change of daylight saving.
        return FlowBounds{QDateTime(now.date().addDays(-7), now.time()), now};
    case 3:
        return FlowBounds{QDateTime(QDate(now.date().year(), now.date().month(), 1), QTime(0, 0)), now};
    case 4:
        return FlowBounds{};
    default:
        return std::nullopt;
    }
}

std::optional<MessageFlow::State> MessageFlow::load()
{
    State state;
    state.periods = periodNames();
    state.internetLabel = QStringLiteral("Internet - WEBGATEWAY");
    for (int i = 0; i < 5; ++i)
        state.portLabels[size_t(i)] = QStringLiteral("COM %1").arg(i + 1);
    try {
        const QList<PortConfig> ports = PortConfig::loadAll(m_db);
        for (qsizetype i = 0; i < ports.size() && i < 5; ++i)
            state.portLabels[size_t(i)] = ports.at(i).softwarePortNo + QStringLiteral(" - ") + ports.at(i).mobileOperator;
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"), e.message());
        return std::nullopt;
    }
    return state;
}

std::optional<MessageFlow::Stats> MessageFlow::showStats(const QString &period)
{
    const std::optional<FlowBounds> b = bounds(period, m_state.now());
    if (!b)
        return std::nullopt;
    Stats stats;
    try {
        stats.counts = m_log.deliveredCounts(b->from, b->until);
        stats.confirmed = DeliveryConfirmations(m_db).confirmedCounts(b->from, b->until);
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"), e.message());
        return std::nullopt;
    }
    for (qint64 count : stats.counts)
        stats.total += count;
    for (qint64 count : stats.confirmed)
        stats.confirmedTotal += count;
    return stats;
}

} // namespace tavsms
