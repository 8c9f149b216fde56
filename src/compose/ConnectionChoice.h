#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tavsms {

class AppState;
class Database;

// How much one message for a connection may hold: a count of characters
// (160 on a GSM device, 130 on a CDMA one), or on a port in PDU mode as
// much as the most SMS parts carry, shown as characters and parts.
struct LengthLimit
{
    int characters = 160; // when not counted in parts
    bool inParts = false;

    static LengthLimit ofCharacters(int count) { return {count, false}; }
    static LengthLimit ofParts() { return {0, true}; }
    bool operator==(const LengthLimit &) const = default;

    bool fits(const QString &text) const;
    // The longest beginning of `text` that fits; never half a surrogate pair.
    QString cut(const QString &text) const;
    // The counter and the label beside it: "75" and " / 2 SMS", or "15" and "/160".
    QString counter(const QString &text) const;
    QString label(const QString &text) const;
};

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
    // present port's device class, or counts parts when every present port
    // is in PDU mode (whichever takes the message can carry it); an operator
    // name by its port's device type and PDU choice. Nothing for an entry no
    // port is named after (the gateway, a name whose settings row has gone).
    // Throws DbError.
    std::optional<LengthLimit> lengthLimit(const QString &entry);

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
