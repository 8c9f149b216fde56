#include "AtDialogue.h"

#include "AppState.h"
#include "ModemPort.h"
#include "NextSignal.h"
#include "ReplyLines.h"

#include <QDeadlineTimer>
#include <QPointer>

namespace tavsms::AtDialogue {

bool writeCommand(ModemPort &port, const QString &command)
{
    port.discardInput();
    return port.writeText(command + QLatin1Char('\r'));
}

bool writeLine(ModemPort &port, const QString &command)
{
    port.discardInput();
    return port.writeText(command + QStringLiteral("\r\n"));
}

QCoro::Task<Reply> waitFor(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout,
                           StopRule rule)
{
    Reply reply;
    const QDeadlineTimer deadline(timeout);
    const quint64 session = port.session();
    QPointer<ModemPort> alive(&port);
    for (;;) {
        if (!alive) {
            reply.outcome = Outcome::PortLost;
            co_return reply;
        }
        reply.text += port.readStr();
        if (const auto outcome = rule(reply.text)) {
            reply.outcome = *outcome;
            co_return reply;
        }
        if (state.abortWaits()) {
            reply.outcome = Outcome::Aborted;
            co_return reply;
        }
        if (!port.isOpen() || port.session() != session) {
            reply.outcome = Outcome::PortLost;
            co_return reply;
        }
        const auto left = deadline.remainingTimeAsDuration();
        if (left.count() <= 0) {
            reply.outcome = Outcome::TimedOut;
            co_return reply;
        }
        NextSignal wake(&port, &ModemPort::activity,
                        std::chrono::duration_cast<std::chrono::milliseconds>(left) + std::chrono::milliseconds(1));
        co_await wake;
    }
}

QCoro::Task<Reply> waitForReply(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout)
{
    return waitFor(port, state, timeout, [](const QString &buffer) -> std::optional<Outcome> {
        if (const auto result = ReplyLines::finalResult(buffer))
            return *result == ReplyLines::Final::Ok ? Outcome::Ok : Outcome::Error;
        return std::nullopt;
    });
}

QCoro::Task<Reply> waitForPrompt(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout)
{
    return waitFor(port, state, timeout, [](const QString &buffer) -> std::optional<Outcome> {
        if (ReplyLines::hasPrompt(buffer))
            return Outcome::Prompt;
        if (ReplyLines::hasErrorLine(buffer))
            return Outcome::Error;
        return std::nullopt;
    });
}

} // namespace tavsms::AtDialogue
