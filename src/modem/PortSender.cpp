#include "PortSender.h"

#include "AppState.h"
#include "AtDialogue.h"
#include "CdmaFormat.h"
#include "Database.h"
#include "DateTimeText.h"
#include "DebugLog.h"
#include "DeliveryConfirmations.h"
#include "ModemHealth.h"
#include "ReplyLines.h"
#include "StatusReportDesk.h"
#include "IncomingPoller.h"
#include "MessageQueue.h"
#include "ModemPort.h"
#include "Store.h"

#include <QTimer>

namespace tavsms {

using AtDialogue::Outcome;

namespace {

// A double quote would end the number inside AT+CMGS="…" early.
QString safeNumber(const QString &number)
{
    QString out;
    for (QChar c : number)
        if (c != QLatin1Char('"') && c.unicode() >= 0x20)
            out += c;
    return out;
}

// Ctrl-Z would end the text early and ESC would cancel it. A line break
// would open a new prompt line, and an echoed line of its own reading "OK"
// could pass for the outcome: line breaks go as single spaces, as the
// sending screens queue them.
QString safeText(const QString &text)
{
    QString out = text;
    out.remove(QChar(0x1A));
    out.remove(QChar(0x1B));
    out.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    out.replace(QLatin1Char('\r'), QLatin1Char(' '));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return out;
}

} // namespace

PortSender::PortSender(int portIndex, ModemPort &port, QTimer &timer, AppState &state, StoreAccess store,
                       IncomingPoller &poller, StatusReportDesk &reports, const ModemTimeouts &timeouts,
                       DebugLog &log, QObject *parent)
    : QObject(parent)
    , m_index(portIndex)
    , m_name(kSoftwarePorts.at(portIndex))
    , m_port(port)
    , m_timer(timer)
    , m_state(state)
    , m_store(std::move(store))
    , m_poller(poller)
    , m_reports(reports)
    , m_timeouts(timeouts)
    , m_log(log)
    , m_pdu(port, state, timeouts)
{
}

void PortSender::onTimer()
{
    // The task runs on by itself once started; everything it uses outlives it.
    tick();
}

bool PortSender::pollDue() const
{
    const QDateTime last = m_state.port(m_index).lastPoll;
    if (last == DateTimeText::neverPolled() || !last.isValid())
        return true;
    // Whole seconds (10 of them by design) compare the same in milliseconds.
    const qint64 elapsed = last.msecsTo(m_state.now());
    return elapsed >= m_timeouts.pollPeriod.count() || elapsed < 0;
}

bool PortSender::healthDue() const
{
    const PortState &ps = m_state.port(m_index);
    if (ps.deviceClass != QLatin1String("GSM") || !ps.connected)
        return false;
    if (!ps.lastHealthRead.isValid())
        return true;
    const qint64 elapsed = ps.lastHealthRead.msecsTo(m_state.now());
    return elapsed >= m_timeouts.healthPeriod.count() || elapsed < 0;
}

QCoro::Task<void> PortSender::tick()
{
    if (!m_state.sendingRunning() || m_ticking)
        co_return;
    // The phone console has the device: this tick waits for the next one.
    if (m_port.inUse())
        co_return;
    m_timer.stop();
    m_ticking = true;
    co_await m_port.acquire();
    {
        PortHold hold(m_port);
        // Whatever fails in here, the port is let go and the timer runs on.
        try {
            if (m_state.port(m_index).twoWay && pollDue()) {
                m_state.port(m_index).lastPoll = m_state.now();
                co_await m_poller.poll(m_index, m_port);
            }
            if (m_reports.hasStored(m_index))
                co_await m_reports.readStored(m_index, m_port);
            // Sending may have been stopped during the poll: take no new row then.
            // Nor while a shared store's server is away: the row could not be claimed.
            if (m_state.port(m_index).routing && m_state.sendingRunning() && m_state.storeAvailable()
                && !m_state.abortWaits())
                co_await sendOne();
            // After the row, before the next: a health read never holds one up.
            if (healthDue() && m_port.isOpen() && !m_state.abortWaits())
                co_await ModemHealth::readSignal(m_port, m_state, m_index, m_timeouts.health, m_log);
        } catch (const std::exception &) {
            m_inFlight.reset();
        }
    }
    m_ticking = false;
    // After a shut-down the timer stays off.
    if (!m_state.abortWaits())
        m_timer.start();
    Q_EMIT tickFinished();
}

QCoro::Task<void> PortSender::sendOne()
{
    // A device that has gone away takes nothing: its rows stay for the
    // other channels, or until the port is initialised again.
    if (!m_port.isOpen())
        co_return;
    MessageQueue &queue = m_store().queue();
    std::optional<QueueRow> row;
    try {
        // A port off its network keeps to its own rows; "Auto" goes elsewhere.
        row = queue.takeNextForPort(m_name, m_state.now(), m_state.port(m_index).health.takesAuto());
        if (!row)
            co_return;
    } catch (const DbError &) {
        co_return; // nothing was written to the device; the next tick tries again
    }
    m_inFlight = row->id;
    m_aborted = false;

    const bool cdma = m_state.port(m_index).deviceClass == QLatin1String("CDMA");
    m_reference = -1;
    if (!cdma && m_state.port(m_index).pdu) {
        co_await sendPdu(row->id, row->mobileNo, row->message);
        m_inFlight.reset();
        co_return;
    }
    const bool delivered = cdma ? co_await handOverCdma(row->mobileNo, row->message)
                                : co_await handOverGsm(row->mobileNo, row->message);
    try {
        if (m_aborted) {
            // Shut-down: the row stays "Sending" and the next start puts it back.
        } else if (delivered) {
            const QDateTime now = m_state.now();
            queue.markDelivered(row->id, m_name,
                                  QStringLiteral("Message sent from %1 at").arg(m_name) + DateTimeText::display(now),
                                  now);
            if (!cdma)
                recordParts(row->id, row->mobileNo, {m_reference}, now);
        } else {
            queue.markRetry(row->id);
        }
    } catch (const DbError &) {
        // Skipped; the row is repaired at the next initialisation.
    }
    m_inFlight.reset();
}

QCoro::Task<void> PortSender::sendPdu(qint64 id, const QString &number, const QString &text)
{
    const PduSender::Outcome outcome = co_await m_pdu.send(id, number, text, m_state.port(m_index).reports);
    MessageQueue &queue = m_store().queue();
    try {
        switch (outcome.result) {
        case PduSender::Result::Aborted:
            break; // shut-down: the row stays "Sending" and the next start puts it back
        case PduSender::Result::Delivered: {
            const QDateTime now = m_state.now();
            queue.markDelivered(id, m_name,
                                QStringLiteral("Message sent from %1 at").arg(m_name) + DateTimeText::display(now), now);
            recordParts(id, number, outcome.references, now);
            break;
        }
        case PduSender::Result::Refused:
            queue.markFailed(id, outcome.why, m_name, m_state.now());
            break;
        case PduSender::Result::Retry:
            m_log.writeEvent(QStringLiteral(" Outgoing SMS %1 - part %2 of %3 to %4 failed: %5; the whole message "
                                            "goes again")
                                 .arg(m_name)
                                 .arg(outcome.part)
                                 .arg(outcome.parts)
                                 .arg(number, outcome.why));
            queue.markRetry(id);
            break;
        }
    } catch (const DbError &) {
        // Skipped; the row is repaired at the next initialisation.
    }
}

void PortSender::recordParts(qint64 id, const QString &number, const QList<int> &references, const QDateTime &sentAt)
{
    if (!m_state.port(m_index).reports)
        return;
    if (references.contains(-1)) {
        // Without its reference a part's report can never be told apart.
        m_log.writeEvent(QStringLiteral(" %1 - the device gave no message reference for the message to %2; its "
                                        "delivery cannot be confirmed")
                             .arg(m_name, number));
        return;
    }
    // The row is delivered whatever happens here; only its confirmation is lost.
    try {
        DeliveryConfirmations(m_store().db()).recordSent(id, m_name, number, references, sentAt);
    } catch (const DbError &e) {
        m_log.writeEvent(QStringLiteral(" %1 - the parts of the message to %2 could not be recorded: %3")
                             .arg(m_name, number, e.message()));
    }
}

QCoro::Task<bool> PortSender::handOverGsm(const QString &number, const QString &text)
{
    if (!AtDialogue::writeCommand(m_port, QStringLiteral("AT+CMGS=\"%1\"").arg(safeNumber(number))))
        co_return false;
    const AtDialogue::Reply prompt = co_await AtDialogue::waitForPrompt(m_port, m_state, m_timeouts.prompt);
    if (prompt.outcome == Outcome::Aborted) {
        m_aborted = true;
        co_return false;
    }
    if (prompt.outcome != Outcome::Prompt) {
        // No prompt: the text is not written, since a device in command mode
        // would take it for a command. ESC closes a text entry that opens late.
        if (prompt.outcome == Outcome::TimedOut)
            m_port.write(QByteArray(1, '\x1B'));
        co_return false;
    }
    m_port.discardInput();
    if (!m_port.writeText(safeText(text) + QChar(0x1A) + QLatin1Char('\r')))
        co_return false;
    const AtDialogue::Reply result = co_await AtDialogue::waitForReply(m_port, m_state, m_timeouts.result);
    m_aborted = result.outcome == Outcome::Aborted;
    m_reference = ReplyLines::messageReference(result.text);
    co_return result.ok();
}

QCoro::Task<bool> PortSender::handOverCdma(const QString &number, const QString &text)
{
    if (!AtDialogue::writeCommand(m_port, QStringLiteral("AT+CMGS=") + CdmaFormat::submitForm(number, text)))
        co_return false;
    const AtDialogue::Reply result = co_await AtDialogue::waitForReply(m_port, m_state, m_timeouts.result);
    m_aborted = result.outcome == Outcome::Aborted;
    co_return result.ok();
}

} // namespace tavsms
