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

namespace {

// The wait itself. With `promptEnds` an unfinished line that starts with ">"
// ends it too: the text-entry prompt is never followed by a line end.
QCoro::Task<Reply> wait(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout, LineRule rule,
                        bool promptEnds)
{
    Reply reply;
    ReplyLines::Scanner scanner;
    QString previous;
    const QDeadlineTimer deadline(timeout);
    const quint64 session = port.session();
    QPointer<ModemPort> alive(&port);
    for (;;) {
        if (!alive) {
            reply.outcome = Outcome::PortLost;
            co_return reply;
        }
        // Only what arrived since the last look is scanned.
        const QString chunk = port.readStr();
        if (!chunk.isEmpty()) {
            reply.text += chunk;
            port.keepWithinCap(reply.text);
            const QStringList lines = scanner.feed(chunk);
            reply.scanned = scanner.scanned();
            for (const QString &line : lines) {
                const std::optional<Outcome> outcome = rule(line, previous);
                previous = line;
                if (outcome) {
                    reply.outcome = *outcome;
                    co_return reply;
                }
            }
            if (promptEnds && scanner.promptInTail()) {
                reply.outcome = Outcome::Prompt;
                co_return reply;
            }
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

} // namespace

QCoro::Task<Reply> waitFor(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout,
                           LineRule rule)
{
    return wait(port, state, timeout, std::move(rule), false);
}

QCoro::Task<Reply> waitForReply(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout)
{
    return wait(port, state, timeout, [](const QString &line, const QString &) -> std::optional<Outcome> {
        if (ReplyLines::isOkLine(line))
            return Outcome::Ok;
        if (ReplyLines::isErrorLine(line))
            return Outcome::Error;
        return std::nullopt;
    }, false);
}

QCoro::Task<Reply> waitForPrompt(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout)
{
    return wait(port, state, timeout, [](const QString &line, const QString &) -> std::optional<Outcome> {
        if (line.startsWith(QLatin1Char('>')))
            return Outcome::Prompt;
        if (ReplyLines::isErrorLine(line))
            return Outcome::Error;
        return std::nullopt;
    }, true);
}

} // namespace tavsms::AtDialogue
