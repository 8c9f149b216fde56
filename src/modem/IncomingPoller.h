#pragma once

#include "ModemTimeouts.h"
#include "StoreAccess.h"

#include <QCoroTask>
#include <QString>

#include <functional>

namespace tavsms {

class AppState;
class DebugLog;
class ModemPort;

// What the poller hands every newly stored message to: the software port,
// the sender exactly as the phone gave it, and the text. The auto-reply
// rules plug in here.
using IncomingHandler =
    std::function<QCoro::Task<void>(const QString &softwarePort, const QString &sender, const QString &text)>;

// Fetches received messages from one phone: lists them, stores the new ones
// in incoming_logs, deletes every listed one from the phone, shows the
// sender in status panel 3 and hands each stored message on.
//
// The caller holds the port (the sender tick of that port does).
class IncomingPoller
{
public:
    IncomingPoller(AppState &state, StoreAccess store, DebugLog &log, const ModemTimeouts &timeouts);

    void setHandler(IncomingHandler handler) { m_handler = std::move(handler); }

    QCoro::Task<void> poll(int portIndex, ModemPort &port);

private:
    AppState &m_state;
    StoreAccess m_store;
    DebugLog &m_log;
    const ModemTimeouts &m_timeouts;
    IncomingHandler m_handler;
};

} // namespace tavsms
