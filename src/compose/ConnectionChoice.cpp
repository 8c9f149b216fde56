#include "ConnectionChoice.h"

#include "AppState.h"
#include "MessageQueue.h"
#include "PortConfig.h"
#include "SmsPdu.h"
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

std::optional<LengthLimit> ConnectionChoice::lengthLimit(const QString &entry)
{
    if (entry == kRouteAuto) {
        bool cdma = false;
        bool any = false;
        bool allPdu = true;
        for (int k = 0; k < kPortCount; ++k) {
            const PortState &port = m_state.port(k);
            if (!port.present)
                continue;
            cdma = port.deviceClass != QLatin1String("GSM");
            any = true;
            allPdu = allPdu && !cdma && port.pdu;
        }
        if (any && allPdu)
            return LengthLimit::ofParts();
        return LengthLimit::ofCharacters(cdma ? kCdmaLimit : kGsmLimit);
    }
    const std::optional<PortConfig> port = PortConfig::ofOperator(m_db, entry);
    if (!port)
        return std::nullopt;
    if (port->usesPdu())
        return LengthLimit::ofParts();
    return LengthLimit::ofCharacters(port->deviceType == kCdmaDeviceType ? kCdmaLimit : kGsmLimit);
}

bool LengthLimit::fits(const QString &text) const
{
    return inParts ? SmsPdu::plan(text).parts > 0 : text.size() <= characters;
}

QString LengthLimit::cut(const QString &text) const
{
    if (!inParts)
        return text.left(characters);
    if (fits(text))
        return text;
    // A longer beginning never takes fewer parts: the longest that fits is
    // found by halving.
    qsizetype good = 0;
    qsizetype bad = text.size();
    while (bad - good > 1) {
        const qsizetype middle = (good + bad) / 2;
        (fits(text.left(middle)) ? good : bad) = middle;
    }
    if (good > 0 && text.at(good - 1).isHighSurrogate())
        --good;
    return text.left(good);
}

QString LengthLimit::counter(const QString &text) const
{
    return QString::number(inParts ? SmsPdu::plan(text).characters : text.size());
}

QString LengthLimit::label(const QString &text) const
{
    if (!inParts)
        return ConnectionChoice::limitLabel(characters);
    const int parts = SmsPdu::plan(text).parts;
    return parts > 0 ? QStringLiteral(" / %1 SMS").arg(parts)
                     : QStringLiteral(" / more than %1 SMS").arg(SmsPdu::kMaxParts);
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
