#include "StatusReportDesk.h"

#include "AtDialogue.h"
#include "Database.h"
#include "DateTimeText.h"
#include "DebugLog.h"
#include "ModemPort.h"
#include "ReplyLines.h"
#include "SmsPdu.h"
#include "Store.h"

namespace tavsms {

namespace {

// Comma-separated fields; commas inside double quotes (time stamps) stay.
QStringList splitFields(const QString &text)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == QLatin1Char(',') && !quoted) {
            fields << field.trimmed();
            field.clear();
        } else
            field += c;
    }
    fields << field.trimmed();
    return fields;
}

} // namespace

StatusReportDesk::StatusReportDesk(AppState &state, StoreAccess store, DebugLog &log, const ModemTimeouts &timeouts,
                                   QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_store(std::move(store))
    , m_log(log)
    , m_timeouts(timeouts)
{
}

void StatusReportDesk::watch(int index, ModemPort &port)
{
    m_ports[size_t(index)] = &port;
    connect(&port, &ModemPort::unsolicited, this,
            [this, index](const QString &line, const QString &pdu) { take(index, line, pdu); });
}

std::optional<StatusReport> StatusReportDesk::parseText(const QString &line, bool listed)
{
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return std::nullopt;
    QStringList f = splitFields(line.mid(colon + 1));
    if (listed && !f.isEmpty())
        f.removeFirst(); // the stored message's status
    if (f.size() < 7)
        return std::nullopt;
    bool mrOk = false, stOk = false;
    StatusReport report;
    report.reference = f.at(1).toInt(&mrOk);
    report.recipient = f.at(2);
    report.status = f.at(6).toInt(&stOk);
    if (!mrOk || !stOk || report.reference < 0 || report.reference > 255)
        return std::nullopt;
    return report;
}

void StatusReportDesk::take(int index, const QString &line, const QString &pdu)
{
    if (line.startsWith(QLatin1String("+CDS:"))) {
        takeReport(index, line, pdu);
    } else if (line.startsWith(QLatin1String("+CDSI:"))) {
        bool ok = false;
        const int memory = splitFields(line.mid(6)).value(1).toInt(&ok);
        if (ok && !m_stored[size_t(index)].contains(memory))
            m_stored[size_t(index)] << memory;
    } else if (line.startsWith(QLatin1String("+CMTI:"))) {
        // The poll that lists it comes at the port's next tick.
        m_state.port(index).lastPoll = DateTimeText::neverPolled();
    }
}

void StatusReportDesk::takeReport(int index, const QString &header, const QString &pdu)
{
    std::optional<StatusReport> report;
    if (pdu.isEmpty()) {
        report = parseText(header, header.startsWith(QLatin1String("+CMGR:")));
    } else if (const auto decoded = SmsPdu::decodeStatusReport(pdu.toLatin1())) {
        report = StatusReport{{}, decoded->reference, decoded->recipient, decoded->status, {}};
    }
    const QString name = kSoftwarePorts.at(index);
    if (!report) {
        m_log.writeEvent(QStringLiteral(" %1 - a status report could not be read: %2 %3").arg(name, header, pdu));
        return;
    }
    report->port = name;
    report->receivedAt = m_state.now();
    m_batch << *report;
    scheduleFlush();
}

void StatusReportDesk::scheduleFlush()
{
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(this, &StatusReportDesk::flush, Qt::QueuedConnection);
}

void StatusReportDesk::flush()
{
    m_flushQueued = false;
    // The reports of a port still held wait for it; the others go now.
    QList<StatusReport> batch;
    QList<StatusReport> held;
    std::array<bool, kPortCount> waiting{};
    for (const StatusReport &r : std::as_const(m_batch)) {
        const int index = AppState::portIndex(r.port);
        ModemPort *port = m_ports[size_t(index)];
        if (!port || !port->inUse()) {
            batch << r;
            continue;
        }
        held << r;
        if (!std::exchange(waiting[size_t(index)], true))
            connect(port, &ModemPort::released, this, &StatusReportDesk::scheduleFlush, Qt::SingleShotConnection);
    }
    m_batch = held;
    if (batch.isEmpty())
        return;
    try {
        DeliveryConfirmations confirmations(m_store().db());
        const QList<DeliveryConfirmations::Outcome> outcomes = confirmations.matchAll(batch);
        for (qsizetype i = 0; i < outcomes.size(); ++i) {
            if (outcomes.at(i) != DeliveryConfirmations::Outcome::Unmatched)
                continue;
            const StatusReport &r = batch.at(i);
            m_log.writeEvent(QStringLiteral(" %1 - status report %2 for reference %3 to %4 matches no message sent; "
                                            "kept with the unmatched")
                                 .arg(r.port)
                                 .arg(r.status)
                                 .arg(r.reference)
                                 .arg(r.recipient));
        }
    } catch (const DbError &e) {
        // Kept for the next report's commit.
        m_batch = batch + m_batch;
        m_log.writeEvent(QStringLiteral(" Status reports could not be stored: %1").arg(e.message()));
        return;
    }
    Q_EMIT matched(int(batch.size()));
}

QCoro::Task<void> StatusReportDesk::readStored(int index, ModemPort &port)
{
    const bool pdu = m_state.port(index).pdu;
    while (!m_stored[size_t(index)].isEmpty() && port.isOpen() && !m_state.abortWaits()) {
        const int memory = m_stored[size_t(index)].takeFirst();
        if (!AtDialogue::writeCommand(port, QStringLiteral("AT+CMGR=%1").arg(memory)))
            co_return;
        const AtDialogue::Reply read = co_await AtDialogue::waitForReply(port, m_state, m_timeouts.listing);
        if (read.outcome == AtDialogue::Outcome::Aborted || read.outcome == AtDialogue::Outcome::PortLost)
            co_return;
        if (read.ok()) {
            const QStringList lines = ReplyLines::completeLines(read.text);
            for (qsizetype i = 0; i < lines.size(); ++i) {
                if (!lines.at(i).startsWith(QLatin1String("+CMGR:")))
                    continue;
                takeReport(index, lines.at(i).trimmed(), pdu ? lines.value(i + 1).trimmed() : QString());
                break;
            }
        }
        // Read or not, the device's memory is not left to fill up with reports.
        if (!AtDialogue::writeCommand(port, QStringLiteral("AT+CMGD=%1").arg(memory)))
            co_return;
        const AtDialogue::Reply deleted = co_await AtDialogue::waitForReply(port, m_state, m_timeouts.deleteMessage);
        if (deleted.outcome == AtDialogue::Outcome::Aborted)
            co_return;
    }
}

} // namespace tavsms
