#pragma once

#include "AppState.h"

#include <QCoroTask>
#include <QString>

#include <chrono>
#include <optional>

namespace tavsms {

class DebugLog;
class ModemPort;

// Reads what a GSM device says about itself and its network into the
// port's PortHealth. The caller holds the port. A command the device
// refuses leaves its value as it was.
namespace ModemHealth {

// "+CSQ: 20,99" as dBm (-113 + 2 × rssi); nothing for 99 (not known).
std::optional<int> signalDbm(const QString &reply);
int bars(int dbm);
// "+CREG: 0,1" (or "+CREG: 1").
Registration registration(const QString &reply);
// The name in "+COPS: 0,0,\"Airtel\"".
QString operatorName(const QString &reply);
// The answer of AT+CGSN or AT+CIMI: its line of digits.
QString identity(const QString &reply);

// IMEI, IMSI and operator, at bring-up.
QCoro::Task<void> readIdentity(ModemPort &port, AppState &state, int index, std::chrono::milliseconds timeout);
// Signal and registration. A port that leaves or comes back to "Auto"
// routing gets a debug log line. False on shut-down.
QCoro::Task<bool> readSignal(ModemPort &port, AppState &state, int index, std::chrono::milliseconds timeout,
                             DebugLog &log);

} // namespace ModemHealth
} // namespace tavsms
