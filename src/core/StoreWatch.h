#pragma once

#include "StoreTimeouts.h"

#include <QObject>
#include <QTimer>

#include <memory>

class QSocketNotifier;

namespace tavsms {

class AppState;
class DebugLog;
class PgDatabase;
class MessageQueue;

// Keeps a shared store's connection: when the server goes away (a restart,
// a network drop) the program stays up, marks the store unavailable so that
// nothing new is taken or acknowledged, and connects again, backing off from
// firstReconnect to longestReconnect. It also puts back rows whose claims'
// leases have run out.
class StoreWatch : public QObject
{
    Q_OBJECT
public:
    StoreWatch(PgDatabase &db, MessageQueue &queue, AppState &state, DebugLog &log, StoreTimeouts timeouts,
               QObject *parent = nullptr);
    ~StoreWatch() override;

    // Called by the connection on every failure that lost it.
    void connectionLost(const QString &why);

private:
    void tryReconnect();
    void follow(int progress);
    void failedAttempt(const QString &why);
    void releaseExpiredClaims();

    PgDatabase &m_db;
    MessageQueue &m_queue;
    AppState &m_state;
    DebugLog &m_log;
    StoreTimeouts m_timeouts;
    QTimer m_reconnect;
    QTimer m_leaseCheck;
    QTimer m_attemptLimit; // an attempt the network swallows is given up
    std::unique_ptr<QSocketNotifier> m_socket;
    std::chrono::milliseconds m_pause;
};

} // namespace tavsms
