#pragma once

#include "InternetTimeouts.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>

class QTimer;

namespace tavsms {

class AppState;
class DebugLog;
class HttpClient;
class Store;

// tmrInternetSMS: every tick sends each due row routed "WEBGATEWAY" or
// "Auto" through the gateway, one request per row, and writes the outcome
// into the row. A row is claimed ("Sending") before its request, so no
// modem sender takes the same "Auto" row meanwhile. A gateway that cannot
// be reached gets the row back unchanged ("Pending") and a pause that grows
// up to the longest pause, each one noted in the debug log.
class GatewaySender : public QObject
{
    Q_OBJECT
public:
    GatewaySender(Store &store, HttpClient &client, AppState &state, DebugLog &log, QTimer &timer,
                  InternetTimeouts timeouts = {}, QObject *parent = nullptr);

    // One tick (what the timer runs).
    QCoro::Task<void> tick();

    // The text before the first ":" of a reply, trimmed, says whether the
    // gateway took the message.
    static bool isSuccessReply(const QString &reply);
    // Numbers starting 92 or 93 are CDMA subscribers.
    static bool isCdmaNumber(const QString &mobile);

    bool isPausing() const;
    // A tick is under way (a request may be out).
    bool isSending() const { return m_running; }
    std::chrono::milliseconds currentPause() const { return m_pause; }

Q_SIGNALS:
    void tickFinished();

private:
    QCoro::Task<void> sendDue();
    void pauseAfter(const QString &reason);

    Store &m_store;
    HttpClient &m_client;
    AppState &m_state;
    DebugLog &m_log;
    QTimer &m_timer;
    InternetTimeouts m_timeouts;
    bool m_running = false;
    std::chrono::milliseconds m_pause{0};
    QDateTime m_resumeAt; // on the state's clock
};

} // namespace tavsms
