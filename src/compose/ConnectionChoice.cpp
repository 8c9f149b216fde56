#include "ConnectionChoice.h"

#include "AppState.h"
#include "MessageQueue.h"
#include "PortConfig.h"
#include "TextRules.h"

namespace tavsms {

ConnectionChoice::ConnectionChoice(Database &db, const AppState &state)
    : m_db(db)
    , m_state(state)
{
}

QStringList ConnectionChoice::entries()
{
    QStringList out{kRouteAuto, kRouteGateway};
    for (const PortConfig &port : PortConfig::loadActive(m_db)) {
        const int index = AppState::portIndex(port.softwarePortNo);
        if (index >= 0 && m_state.port(index).present)
            out << port.mobileOperator;
    }
    return out;
}

std::optional<int> ConnectionChoice::lengthLimit(const QString &entry)
{
    if (entry == kRouteAuto) {
        bool cdma = false;
        for (int k = 0; k < kPortCount; ++k)
            if (m_state.port(k).present)
                cdma = m_state.port(k).deviceClass != QLatin1String("GSM");
        return cdma ? kCdmaLimit : kGsmLimit;
    }
    const std::optional<QString> type = PortConfig::deviceTypeOf(m_db, entry);
    if (!type)
        return std::nullopt;
    return *type == kCdmaDeviceType ? kCdmaLimit : kGsmLimit;
}

std::optional<QString> ConnectionChoice::resolve(const QString &entry)
{
    const QString name = trimSpaces(entry);
    if (name == kRouteAuto || name == kRouteGateway)
        return name;
    const QString port = PortConfig::softwarePortOf(m_db, name);
    if (port.isEmpty())
        return std::nullopt;
    return trimSpaces(port);
}

} // namespace tavsms
