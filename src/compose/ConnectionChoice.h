#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tavsms {

class AppState;
class Database;

// The connection a composed message goes out on, as the sending screens and
// the scheduler offer it: "Auto", the Internet gateway, or the operator name
// of a modem port found at the last port initialisation.
class ConnectionChoice
{
public:
    static constexpr int kGsmLimit = 160;
    static constexpr int kCdmaLimit = 130;

    ConnectionChoice(Database &db, const AppState &state);

    // "Auto", "WEBGATEWAY", then the operator names of the active ports whose
    // serial port was there at the last initialisation, COM1 first. Throws DbError.
    QStringList entries();

    // The longest message the entry's device takes. "Auto" goes by the last
    // present port's device class; an operator name by its port's device
    // type. Nothing for an entry no port is named after (the gateway, a name
    // whose settings row has gone). Throws DbError.
    std::optional<int> lengthLimit(const QString &entry);

    // The routing value for q_logs: "Auto", "WEBGATEWAY" or the software port
    // the operator name belongs to; nothing when no port bears that name any
    // more. Throws DbError.
    std::optional<QString> resolve(const QString &entry);

    // The limit the "/130" or "/160" label shows.
    static QString limitLabel(int limit) { return QStringLiteral("/%1").arg(limit); }

private:
    Database &m_db;
    const AppState &m_state;
};

} // namespace tavsms
