#include "GatewaySender.h"

#include "AppState.h"
#include "DateTimeText.h"
#include "DebugLog.h"
#include "GatewayAccountRecord.h"
#include "HttpClient.h"
#include "MessageQueue.h"
#include "NetworkSettings.h"
#include "Store.h"

#include <QTimer>

#include <algorithm>

namespace tavsms {

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

QCoro::Task<void> GatewaySender::sendDue()
{
    MessageQueue &queue = m_store.queue();
    // The account and the host are read once per tick, when there is work.
    std::optional<GatewayAccountRecord> account;
    NetworkSettings network;

    while (m_state.sendingRunning() && m_state.internetChannel() && !m_state.abortWaits()) {
        std::optional<QueueRow> row;
        try {
            row = queue.nextDueForGateway(m_state.now());
            if (!row)
                break;
            if (!account) {
                account = GatewayAccountRecord::load(m_store.db());
                network = NetworkSettings::load(m_store.db());
            }
            if (!queue.claim(row->id))
                continue; // a modem sender took it first
        } catch (const DbError &) {
            break; // skipped; the next tick tries again
        }

        const QUrl url = HttpClient::url(network.gatewayHost, QStringLiteral("/mess/message.asp"),
                                         {{QStringLiteral("userid"), account->username.trimmed()},
                                          {QStringLiteral("pwd"), account->password.trimmed()},
                                          {QStringLiteral("messageid"), row->message},
                                          {QStringLiteral("senderid"), isCdmaNumber(row->mobileNo)
                                                                           ? account->cdmaId.trimmed()
                                                                           : account->gsmId.trimmed()},
                                          {QStringLiteral("sendto"), row->mobileNo},
                                          {QStringLiteral("flash"), QStringLiteral("no")}});
        const HttpReply reply = co_await m_client.get(url);

        try {
            // No answer at all, or a server error: the gateway is not there
            // to take the message. Give the row back as it was and rest.
            if (!reply.received || reply.statusCode >= 500) {
                queue.release(row->id);
                pauseAfter(reply.received ? reply.statusLine : reply.error);
                break;
            }
            if (m_pause.count() > 0) {
                m_pause = std::chrono::milliseconds{0};
                m_log.writeEvent(QStringLiteral(" Internet SMS gateway reachable again"));
            }
            const QDateTime now = m_state.now();
            const QString stamp = QStringLiteral(" at") + DateTimeText::display(now);
            if (isSuccessReply(reply.body))
                queue.markDelivered(row->id, kRouteGateway, reply.body + stamp, now);
            else
                queue.markFailed(row->id, QStringLiteral("Reason: ") + reply.body + stamp, kRouteGateway, now);
        } catch (const DbError &) {
            try {
                queue.release(row->id);
            } catch (const DbError &) {
                // Left "Sending": the next port initialisation returns it.
            }
            break;
        }
    }
}

} // namespace tavsms
