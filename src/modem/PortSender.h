#pragma once

#include "ModemTimeouts.h"
#include "PduSender.h"
#include "StoreAccess.h"

#include <QCoroTask>
#include <QObject>

#include <optional>

class QTimer;

namespace tavsms {

class AppState;
class DebugLog;
class IncomingPoller;
class ModemPort;
class StatusReportDesk;

// The tick of one port's sender timer: the incoming poll every so often when
// the port is two-way, then, when the port routes traffic, one due queue row
// for the port or "Auto" handed to the device with AT+CMGS (part by part on
// a port in PDU mode).
//
// The row is claimed ("Sending") before anything is written to the device,
// so no other sender can take it; it ends "Delivered" on OK, otherwise back
// in "Pending" with one more retry. A shut-down during a wait leaves it in
// "Sending" for the next start to put back.
class PortSender : public QObject
{
    Q_OBJECT
public:
    PortSender(int portIndex, ModemPort &port, QTimer &timer, AppState &state, StoreAccess store,
               IncomingPoller &poller, StatusReportDesk &reports, const ModemTimeouts &timeouts, DebugLog &log,
               QObject *parent = nullptr);

    // Connected to the timer's timeout.
    void onTimer();
    // One tick, for callers that want to await it.
    QCoro::Task<void> tick();

    bool ticking() const { return m_ticking; }
    // The row this sender holds in "Sending", if any.
    std::optional<qint64> rowInFlight() const { return m_inFlight; }

Q_SIGNALS:
    void tickFinished();

private:
    QCoro::Task<void> sendOne();
    QCoro::Task<bool> handOverGsm(const QString &number, const QString &text);
    QCoro::Task<bool> handOverCdma(const QString &number, const QString &text);
    QCoro::Task<void> sendPdu(qint64 id, const QString &number, const QString &text);
    bool pollDue() const;
    bool healthDue() const;
    // Keeps each part's message reference when the port asks for reports.
    void recordParts(qint64 id, const QString &number, const QList<int> &references, const QDateTime &sentAt);

    int m_index;
    QString m_name;
    ModemPort &m_port;
    QTimer &m_timer;
    AppState &m_state;
    StoreAccess m_store;
    IncomingPoller &m_poller;
    StatusReportDesk &m_reports;
    const ModemTimeouts &m_timeouts;
    DebugLog &m_log;
    PduSender m_pdu;
    bool m_ticking = false;
    bool m_aborted = false;
    int m_reference = -1; // of the last text-mode send
    std::optional<qint64> m_inFlight;
};

} // namespace tavsms
