#include "StoreWatch.h"

#include "AppState.h"
#include "DebugLog.h"
#include "MessageQueue.h"
#include "PgDatabase.h"

#include <QSocketNotifier>

namespace tavsms {

namespace {
const QString kLost = QStringLiteral("Database connection lost");
const QString kRestored = QStringLiteral("Database connection restored");
} // namespace

StoreWatch::StoreWatch(PgDatabase &db, MessageQueue &queue, AppState &state, DebugLog &log, StoreTimeouts timeouts,
                       QObject *parent)
    : QObject(parent)
    , m_db(db)
    , m_queue(queue)
    , m_state(state)
    , m_log(log)
    , m_timeouts(timeouts)
    , m_pause(timeouts.firstReconnect)
{
    m_reconnect.setSingleShot(true);
    connect(&m_reconnect, &QTimer::timeout, this, &StoreWatch::tryReconnect);
    m_leaseCheck.setInterval(m_timeouts.leaseCheck);
    connect(&m_leaseCheck, &QTimer::timeout, this, &StoreWatch::releaseExpiredClaims);
    m_leaseCheck.start();
    m_attemptLimit.setSingleShot(true);
    connect(&m_attemptLimit, &QTimer::timeout, this, [this] { failedAttempt(QStringLiteral("no answer")); });
    m_db.setLostHandler([this](const QString &why) { connectionLost(why); });
}

StoreWatch::~StoreWatch()
{
    m_db.setLostHandler({});
}

void StoreWatch::connectionLost(const QString &why)
{
    if (!m_state.storeAvailable())
        return;
    m_state.setStoreAvailable(false);
    m_state.setStoreText(kLost);
    m_log.writeEvent(QStringLiteral(" %1: %2").arg(kLost, why));
    m_pause = m_timeouts.firstReconnect;
    m_reconnect.start(m_pause);
}

// Connecting again never waits on the socket: each step of the login runs
// when the socket is ready for it, so the screens stay live meanwhile.
void StoreWatch::tryReconnect()
{
    m_attemptLimit.start(m_timeouts.attempt);
    try {
        follow(int(m_db.startReconnect()));
    } catch (const DbError &e) {
        failedAttempt(e.message());
    }
}

void StoreWatch::follow(int progress)
{
    m_socket.reset();
    switch (PgDatabase::Progress(progress)) {
    case PgDatabase::Progress::WaitRead:
    case PgDatabase::Progress::WaitWrite: {
        const auto type = PgDatabase::Progress(progress) == PgDatabase::Progress::WaitRead ? QSocketNotifier::Read
                                                                                            : QSocketNotifier::Write;
        m_socket = std::make_unique<QSocketNotifier>(m_db.socket(), type);
        connect(m_socket.get(), &QSocketNotifier::activated, this, [this] {
            try {
                follow(int(m_db.pollReconnect()));
            } catch (const DbError &e) {
                failedAttempt(e.message()); // connected, but the session could not be set up (its name taken, say)
            }
        });
        return;
    }
    case PgDatabase::Progress::Failed:
        failedAttempt({});
        return;
    case PgDatabase::Progress::Connected:
        m_attemptLimit.stop();
        m_log.writeEvent(QStringLiteral(" %1").arg(kRestored));
        m_state.setStoreText(kRestored);
        m_state.setStoreAvailable(true);
        return;
    }
}

void StoreWatch::failedAttempt(const QString &why)
{
    m_socket.reset();
    m_attemptLimit.stop();
    if (!why.isEmpty())
        m_log.writeEvent(QStringLiteral(" Database connection not restored: %1").arg(why));
    m_pause = std::min(m_pause * 2, m_timeouts.longestReconnect);
    m_reconnect.start(m_pause);
}

void StoreWatch::releaseExpiredClaims()
{
    if (!m_state.storeAvailable())
        return;
    try {
        if (const int released = m_queue.releaseExpiredClaims(m_timeouts.lease); released > 0)
            m_log.writeEvent(QStringLiteral(" %1 messages put back in the queue: their senders' claims ran out")
                                 .arg(released));
    } catch (const DbError &) {
        // A lost connection has been reported by the connection itself; the next check tries again.
    }
}

} // namespace tavsms
