#pragma once

#include "ModemTimeouts.h"

#include <QCoroTask>
#include <QList>
#include <QString>

#include <optional>

namespace tavsms {

class AppState;
class ModemPort;

// Hands one message to a GSM device in PDU mode, part by part: AT+CMGS with
// the part's length, its PDU after the "> " prompt, then the outcome, with
// the waits and time-outs of text mode. The message is sent only when every
// part was accepted. The parts of a long message share a concatenation
// reference this port counts up; a message sent again through the same port
// keeps its reference, so a phone that kept the parts it got can complete it.
class PduSender
{
public:
    enum class Result {
        Delivered,
        Retry,   // a part failed: the whole message goes again
        Refused, // can never go in PDU mode (too long, no number)
        Aborted, // shut-down during a wait
    };
    struct Outcome
    {
        Result result = Result::Retry;
        int part = 0;  // the part that failed (1-based), with Retry
        int parts = 0; // how many the message takes
        QString why;   // what went wrong, for the debug log or the row's comments
        QList<int> references; // with Delivered: each part's message reference (-1 when none was given)
    };

    PduSender(ModemPort &port, const AppState &state, const ModemTimeouts &timeouts);

    // `row` tells a message sent again from a new one. With `statusReport`
    // every part asks for a status report.
    QCoro::Task<Outcome> send(qint64 row, const QString &number, const QString &text, bool statusReport = false);

private:
    // Empty when the part was accepted, else why not; `aborted` on shut-down.
    // The part's message reference goes to `reference`.
    QCoro::Task<QString> sendPart(const QByteArray &hex, int tpduLength, bool &aborted, int &reference);

    ModemPort &m_port;
    const AppState &m_state;
    const ModemTimeouts &m_timeouts;
    quint8 m_nextReference;
    std::optional<qint64> m_retryRow;
    quint8 m_retryReference = 0;
};

} // namespace tavsms
