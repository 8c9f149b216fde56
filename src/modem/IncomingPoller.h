#pragma once

#include "AppState.h"
#include "ModemTimeouts.h"
#include "PduInbox.h"
#include "StoreAccess.h"

#include <QCoroTask>
#include <QSet>
#include <QString>

#include <array>
#include <functional>

namespace tavsms {

class DebugLog;
class ModemPort;

// What the poller hands every newly stored message to: the software port,
// the sender exactly as the phone gave it, and the text. The auto-reply
// rules plug in here.
using IncomingHandler =
    std::function<QCoro::Task<void>(const QString &softwarePort, const QString &sender, const QString &text)>;

// Fetches received messages from one phone: lists them, stores the new ones
// in incoming_logs, deletes every listed one from the phone, shows the
// sender in status panel 3 and hands each stored message on. A port in PDU
// mode lists PDUs and stores a long message once all its parts are there.
//
// The caller holds the port (the sender tick of that port does).
class IncomingPoller
{
public:
    IncomingPoller(AppState &state, StoreAccess store, DebugLog &log, const ModemTimeouts &timeouts);

    void setHandler(IncomingHandler handler) { m_handler = std::move(handler); }

    QCoro::Task<void> poll(int portIndex, ModemPort &port);

private:
    QCoro::Task<void> pollPdu(int portIndex, ModemPort &port);
    // Runs the keyword rules on a stored message; a failing rule is logged,
    // never let out to stop the poll or the port's sender.
    QCoro::Task<void> answer(QString softwarePort, QString sender, QString text);

    AppState &m_state;
    StoreAccess m_store;
    DebugLog &m_log;
    const ModemTimeouts &m_timeouts;
    IncomingHandler m_handler;
    std::array<PduAssembler, kPortCount> m_assemblers;
    // PDUs that cannot be decoded, told once each ("index|hex"), per port.
    std::array<QSet<QString>, kPortCount> m_undecodable;
};

} // namespace tavsms
