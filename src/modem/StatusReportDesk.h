#pragma once

#include "AppState.h"
#include "DeliveryConfirmations.h"
#include "ModemTimeouts.h"
#include "StoreAccess.h"

#include <QCoroTask>
#include <QList>
#include <QObject>

#include <array>
#include <optional>

namespace tavsms {

class DebugLog;
class ModemPort;

// Takes the lines the ports pass on unasked: a +CDS status report is matched
// against the sent parts (DeliveryConfirmations) once the event loop has
// handled what else arrived with it, all of them in one commit, and not
// before its port is let go (the other ports' reports do not wait for it): a
// quick report can come with the answer to the send it is about, before the
// sender has recorded the part; a +CDSI
// notice of a report the device stored is read (AT+CMGR) and deleted
// (AT+CMGD) in the port's next sender tick, between rows; a +CMTI notice of a
// new message makes the port's incoming poll due.
class StatusReportDesk : public QObject
{
    Q_OBJECT
public:
    StatusReportDesk(AppState &state, StoreAccess store, DebugLog &log, const ModemTimeouts &timeouts,
                     QObject *parent = nullptr);

    void watch(int index, ModemPort &port);

    // Stored reports wait to be read on this port.
    bool hasStored(int index) const { return !m_stored[size_t(index)].isEmpty(); }
    // Reads and deletes them; the caller holds the port.
    QCoro::Task<void> readStored(int index, ModemPort &port);

    // A text-mode report: the fields of "+CDS: fo,mr,ra,tora,scts,dt,st", or
    // of an AT+CMGR answer ("+CMGR: stat,fo,mr,…") when `listed`.
    static std::optional<StatusReport> parseText(const QString &line, bool listed = false);

Q_SIGNALS:
    // Reports were matched and their outcomes stored.
    void matched(int count);

private:
    void take(int index, const QString &line, const QString &pdu);
    void takeReport(int index, const QString &header, const QString &pdu);
    void scheduleFlush();
    void flush();

    AppState &m_state;
    StoreAccess m_store;
    DebugLog &m_log;
    const ModemTimeouts &m_timeouts;
    std::array<ModemPort *, kPortCount> m_ports{};
    QList<StatusReport> m_batch;
    bool m_flushQueued = false;
    std::array<QList<int>, kPortCount> m_stored; // memory indexes of stored reports
};

} // namespace tavsms
