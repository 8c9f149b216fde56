#pragma once

#include "InternetTimeouts.h"

#include <QCoroTask>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <array>
#include <coroutine>
#include <optional>

class QTimer;

namespace tavsms {

class AppState;
class DebugLog;
class HttpClient;
struct HttpReply;
struct QueueRow;
class Store;

// tmrInternetSMS: every tick sends each due row routed "WEBGATEWAY" or
// "Auto" through the gateway, one request per row, up to
// config_network.parallelRequests of them in flight at once (one at a time,
// in queue order, when that is 1). Each row is claimed ("Sending") just
// before its request goes, so no modem sender takes the same "Auto" row
// meanwhile, and each answer is written into its own row.
//
// What goes wrong is told apart thus:
//  - No answer at all (no connection, a time-out): the gateway cannot be
//    reached. The row goes back unchanged ("Pending") and the whole channel
//    pauses, from the first pause doubling up to the longest, each pause
//    noted in the debug log. After a pause one request probes the gateway;
//    the others follow once it answers.
//  - A server error (5xx) while the gateway answers other rows: the row is
//    to blame. It gets one more retry (retry_no, which counts the row's
//    failed attempts on every channel) and waits rowRetry (next_attempt)
//    while the rows behind it go on; the server error that brings retry_no
//    to kServerErrorLimit marks it "Failed" with the status in the comments.
//  - Server errors for kFailingRows different rows one after another,
//    nothing good between them: the gateway itself is failing. The channel
//    pauses as for no answer, and until the gateway answers well again a
//    server error costs a row no retry; the row only waits rowRetry, so that
//    the next probe tries another one.
// Stopping (Stop Message Sending, the queue view, the shut-down) starts no
// new request; the answers on their way still mark their rows, and the tick
// ends when the last has come.
class GatewaySender : public QObject
{
    Q_OBJECT
public:
    GatewaySender(Store &store, HttpClient &client, AppState &state, DebugLog &log, QTimer &timer,
                  InternetTimeouts timeouts = {}, QObject *parent = nullptr);

    static constexpr int kServerErrorLimit = 5;
    static constexpr int kFailingRows = 3;

    // One tick (what the timer runs).
    QCoro::Task<void> tick();

    // The text before the first ":" of a reply, trimmed, says whether the
    // gateway took the message.
    static bool isSuccessReply(const QString &reply);
    // Numbers starting 92 or 93 are CDMA subscribers.
    static bool isCdmaNumber(const QString &mobile);

    bool isPausing() const;
    // A tick is under way (requests may be out).
    bool isSending() const { return m_running; }
    int inFlight() const { return m_inFlight; }
    // The rows whose requests are out: "Sending", and not stranded.
    QList<qint64> rowsInFlight() const { return m_rowsInFlight.values(); }
    std::chrono::milliseconds currentPause() const { return m_pause; }

Q_SIGNALS:
    void tickFinished();

private:
    struct Drain;
    // Awaitable: the drain waits for a request to finish.
    struct RequestFinished
    {
        GatewaySender *sender;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> drain) { sender->m_drainWaiting = drain; }
        void await_resume() const noexcept {}
    };

    QCoro::Task<void> sendDue();
    bool mayStart() const;
    int allowedInFlight(const Drain &drain) const;
    // Claims up to `count` due rows.
    QList<QueueRow> takeNext(Drain &drain, int count);
    void giveBack(qint64 id);
    QCoro::Task<void> send(Drain &drain, int slot, QueueRow row);
    void settle(const Drain &drain, const QueueRow &row, const HttpReply &reply);
    void serverError(const Drain &drain, const QueueRow &row, const QString &status);
    void pauseAfter(const QString &reason);
    bool gatewayFailing() const { return m_failingRows.size() >= kFailingRows; }

    Store &m_store;
    HttpClient &m_client;
    AppState &m_state;
    DebugLog &m_log;
    QTimer &m_timer;
    InternetTimeouts m_timeouts;
    bool m_running = false;
    bool m_storeFailed = false; // this tick: the store refused, so nothing new goes
    int m_inFlight = 0;
    std::coroutine_handle<> m_drainWaiting;
    std::chrono::milliseconds m_pause{0};
    QDateTime m_resumeAt; // on the state's clock
    QSet<qint64> m_rowsInFlight;
    QSet<qint64> m_failingRows; // answered with server errors since the last good answer
};

} // namespace tavsms
