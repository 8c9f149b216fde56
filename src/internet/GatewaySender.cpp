#include "GatewaySender.h"

#include "AppState.h"
#include "DateTimeText.h"
#include "DebugLog.h"
#include "GatewayAccountRecord.h"
#include "HttpClient.h"
#include "MessageQueue.h"
#include "NetworkSettings.h"
#include "Database.h"
#include "Store.h"

#include <QTimer>

#include <algorithm>

namespace tavsms {

// What one tick reads once, when it has work, and the slots its requests use.
struct GatewaySender::Drain
{
    std::optional<GatewayAccountRecord> account;
    NetworkSettings network;
    std::array<bool, NetworkSettings::kMostParallel> slotBusy{};

    int freeSlot() const
    {
        return int(std::find(slotBusy.begin(), slotBusy.end(), false) - slotBusy.begin());
    }
};

GatewaySender::GatewaySender(Store &store, HttpClient &client, AppState &state, DebugLog &log, QTimer &timer,
                             InternetTimeouts timeouts, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_client(client)
    , m_state(state)
    , m_log(log)
    , m_timer(timer)
    , m_timeouts(timeouts)
{
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
}

bool GatewaySender::isSuccessReply(const QString &reply)
{
    return reply.section(QLatin1Char(':'), 0, 0).trimmed() == QLatin1String("Message Sent! Success");
}

bool GatewaySender::isCdmaNumber(const QString &mobile)
{
    return mobile.startsWith(QLatin1String("92")) || mobile.startsWith(QLatin1String("93"));
}

bool GatewaySender::isPausing() const
{
    return m_pause.count() > 0 && m_state.now() < m_resumeAt;
}

QCoro::Task<void> GatewaySender::tick()
{
    if (m_running || !m_state.sendingRunning() || !m_state.internetChannel() || isPausing())
        co_return;
    m_running = true;
    // Ticks never overlap: the timer rests while this one works.
    m_timer.stop();
    co_await sendDue();
    m_running = false;
    if (m_state.internetChannel() && !m_state.abortWaits())
        m_timer.start();
    Q_EMIT tickFinished();
}

void GatewaySender::pauseAfter(const QString &reason)
{
    m_pause = m_pause.count() == 0 ? m_timeouts.firstPause : std::min(m_pause * 2, m_timeouts.longestPause);
    m_resumeAt = m_state.now().addMSecs(m_pause.count());
    m_log.writeEvent(QStringLiteral(" Internet SMS gateway not reachable (%1) - next attempt in %2 s")
                         .arg(reason)
                         .arg(double(m_pause.count()) / 1000.0));
}

bool GatewaySender::mayStart() const
{
    return m_state.sendingRunning() && m_state.internetChannel() && m_state.storeAvailable() && !m_state.abortWaits()
        && !m_storeFailed
        && !isPausing();
}

int GatewaySender::allowedInFlight(const Drain &drain) const
{
    // Until the account is read nothing says how many; a gateway in trouble
    // gets one probe at a time.
    if (!drain.account || m_pause.count() > 0 || gatewayFailing())
        return 1;
    return drain.network.parallelRequests;
}

QList<QueueRow> GatewaySender::takeNext(Drain &drain, int count)
{
    MessageQueue &queue = m_store.queue();
    QList<QueueRow> claimed;
    try {
        // One commit for the lot: a row's claim is written before its request.
        Transaction tx(m_store.db());
        claimed = queue.takeForGateway(m_state.now(), count);
        if (!claimed.isEmpty() && !drain.account) {
            drain.account = GatewayAccountRecord::load(m_store.db());
            drain.network = NetworkSettings::load(m_store.db());
        }
        tx.commit();
    } catch (const DbError &) {
        m_storeFailed = true; // the next tick tries again
        return {};
    }
    return claimed;
}

QCoro::Task<void> GatewaySender::sendDue()
{
    Drain drain;
    m_storeFailed = false;
    for (;;) {
        while (mayStart()) {
            const int room = allowedInFlight(drain) - m_inFlight;
            if (room <= 0)
                break;
            const QList<QueueRow> rows = takeNext(drain, room);
            if (rows.isEmpty())
                break;
            for (const QueueRow &row : rows) {
                // Each send runs until its request is out, then on by itself.
                // One that fails at once may stop the rest: theirs never leave.
                if (mayStart())
                    send(drain, drain.freeSlot(), row);
                else
                    giveBack(row.id);
            }
        }
        if (m_inFlight == 0)
            break;
        co_await RequestFinished{this};
    }
}

void GatewaySender::giveBack(qint64 id)
{
    try {
        m_store.queue().release(id);
    } catch (const DbError &) {
        // Left "Sending": the next port initialisation returns it.
    }
}

QCoro::Task<void> GatewaySender::send(Drain &drain, int slot, QueueRow row)
{
    const GatewayAccountRecord &account = *drain.account;
    const QUrl url = HttpClient::url(drain.network.gatewayHost, QStringLiteral("/mess/message.asp"),
                                     {{QStringLiteral("userid"), account.username.trimmed()},
                                      {QStringLiteral("pwd"), account.password.trimmed()},
                                      {QStringLiteral("messageid"), row.message},
                                      {QStringLiteral("senderid"), isCdmaNumber(row.mobileNo)
                                                                       ? account.cdmaId.trimmed()
                                                                       : account.gsmId.trimmed()},
                                      {QStringLiteral("sendto"), row.mobileNo},
                                      {QStringLiteral("flash"), QStringLiteral("no")}});
    ++m_inFlight;
    m_rowsInFlight.insert(row.id);
    drain.slotBusy[size_t(slot)] = true;
    const HttpReply reply = co_await m_client.getInSlot(url, slot);
    drain.slotBusy[size_t(slot)] = false;
    --m_inFlight;
    m_rowsInFlight.remove(row.id);
    settle(drain, row, reply);
    // The drain goes on at once (the next request, or the end of the tick),
    // as if it had waited for this reply itself; `drain` may be gone after.
    if (m_drainWaiting)
        std::exchange(m_drainWaiting, {}).resume();
}

void GatewaySender::settle(const Drain &drain, const QueueRow &row, const HttpReply &reply)
{
    MessageQueue &queue = m_store.queue();
    const QString host = drain.network.gatewayHost.trimmed();
    try {
        if (!reply.received) {
            // The gateway is not there to take the message: the row goes back
            // as it was, and the first of the requests out to learn it pauses
            // the channel.
            queue.release(row.id);
            if (!isPausing())
                pauseAfter(host + QStringLiteral(": ") + reply.error);
            return;
        }
        if (reply.statusCode >= 500) {
            serverError(drain, row, reply.statusLine);
            return;
        }
        m_failingRows.clear();
        if (m_pause.count() > 0) {
            m_pause = std::chrono::milliseconds{0};
            m_log.writeEvent(QStringLiteral(" Internet SMS gateway reachable again"));
        }
        const QDateTime now = m_state.now();
        const QString stamp = QStringLiteral(" at") + DateTimeText::display(now);
        if (isSuccessReply(reply.body))
            queue.markDelivered(row.id, kRouteGateway, reply.body + stamp, now);
        else
            queue.markFailed(row.id, QStringLiteral("Reason: ") + reply.body + stamp, kRouteGateway, now);
    } catch (const DbError &) {
        m_storeFailed = true;
        giveBack(row.id);
    }
}

void GatewaySender::serverError(const Drain &drain, const QueueRow &row, const QString &status)
{
    MessageQueue &queue = m_store.queue();
    const QDateTime now = m_state.now();
    const QDateTime later = now.addMSecs(m_timeouts.rowRetry.count());
    m_failingRows.insert(row.id);
    if (gatewayFailing() || isPausing()) {
        queue.deferForGateway(row.id, later, false);
        if (!isPausing())
            pauseAfter(drain.network.gatewayHost.trimmed() + QStringLiteral(": ") + status);
        return;
    }
    if (row.retryNo + 1 >= kServerErrorLimit) {
        queue.markFailed(row.id, QStringLiteral("Reason: ") + status + QStringLiteral(" at") + DateTimeText::display(now),
                         kRouteGateway, now);
        m_log.writeEvent(QStringLiteral(" Internet SMS gateway answered message %1 with %2 - given up")
                             .arg(row.id)
                             .arg(status));
        return;
    }
    queue.deferForGateway(row.id, later, true);
    m_log.writeEvent(QStringLiteral(" Internet SMS gateway answered message %1 with %2 - next attempt at %3")
                         .arg(row.id)
                         .arg(status, DateTimeText::display(later)));
}

} // namespace tavsms
