#include "PduSender.h"

#include "AtDialogue.h"
#include "ModemPort.h"
#include "ReplyLines.h"
#include "SmsPdu.h"

#include <QRandomGenerator>

namespace tavsms {

using Wait = AtDialogue::Outcome;

PduSender::PduSender(ModemPort &port, const AppState &state, const ModemTimeouts &timeouts)
    : m_port(port)
    , m_state(state)
    , m_timeouts(timeouts)
    // A random start: after a restart the first messages do not reuse the
    // references the last run gave the same numbers.
    , m_nextReference(quint8(QRandomGenerator::global()->bounded(256)))
{
}

QCoro::Task<PduSender::Outcome> PduSender::send(qint64 row, const QString &number, const QString &text,
                                                bool statusReport)
{
    const quint8 reference = m_retryRow == row ? m_retryReference : m_nextReference++;
    const QList<SmsPdu::SubmitPdu> parts = SmsPdu::encodeSubmit(number, text, reference, statusReport);
    Outcome outcome;
    if (parts.isEmpty()) {
        outcome.result = Result::Refused;
        outcome.why = SmsPdu::plan(text).parts == 0
            ? QStringLiteral("Not sent: the message is longer than %1 SMS parts hold.").arg(SmsPdu::kMaxParts)
            : QStringLiteral("Not sent: the number has no digits.");
        co_return outcome;
    }
    outcome.parts = int(parts.size());
    for (int i = 0; i < parts.size(); ++i) {
        bool aborted = false;
        int mr = -1;
        const QString why = co_await sendPart(parts.at(i).hex, parts.at(i).tpduLength, aborted, mr);
        outcome.references << mr;
        if (aborted) {
            outcome.result = Result::Aborted;
            co_return outcome;
        }
        if (!why.isEmpty()) {
            m_retryRow = row;
            m_retryReference = reference;
            outcome.result = Result::Retry;
            outcome.part = i + 1;
            outcome.why = why;
            co_return outcome;
        }
    }
    if (m_retryRow == row)
        m_retryRow.reset();
    outcome.result = Result::Delivered;
    co_return outcome;
}

QCoro::Task<QString> PduSender::sendPart(const QByteArray &hex, int tpduLength, bool &aborted, int &reference)
{
    if (!AtDialogue::writeCommand(m_port, QStringLiteral("AT+CMGS=%1").arg(tpduLength)))
        co_return QStringLiteral("the command could not be written");
    const AtDialogue::Reply prompt = co_await AtDialogue::waitForPrompt(m_port, m_state, m_timeouts.prompt);
    switch (prompt.outcome) {
    case Wait::Prompt: break;
    case Wait::Aborted: aborted = true; co_return QString();
    case Wait::PortLost: co_return QStringLiteral("the device went away");
    case Wait::TimedOut:
        // As in text mode: ESC closes an entry that opens late, and the PDU
        // is not written to a device that may be in command mode.
        m_port.write(QByteArray(1, '\x1B'));
        co_return QStringLiteral("no prompt came");
    default: co_return QStringLiteral("the device refused AT+CMGS");
    }
    m_port.discardInput();
    if (!m_port.write(hex + '\x1A'))
        co_return QStringLiteral("the PDU could not be written");
    const AtDialogue::Reply result = co_await AtDialogue::waitForReply(m_port, m_state, m_timeouts.result);
    switch (result.outcome) {
    case Wait::Ok: reference = ReplyLines::messageReference(result.text); co_return QString();
    case Wait::Aborted: aborted = true; co_return QString();
    case Wait::PortLost: co_return QStringLiteral("the device went away");
    case Wait::TimedOut: co_return QStringLiteral("no answer came");
    default: co_return QStringLiteral("the device refused it");
    }
}

} // namespace tavsms
