#pragma once

#include <QCoroTask>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace tavsms {

class AppState;
class ModemPort;

// Writing commands to a device and waiting for its answer. A wait suspends
// the calling coroutine (the event loop keeps running) and looks at the
// answer again whenever bytes arrive; it ends on its terminator, on its
// time-out, when the device goes away, or at once when the abort-waits flag
// is raised.
namespace AtDialogue {

enum class Outcome { Ok, Error, Prompt, Done, TimedOut, Aborted, PortLost };

struct Reply
{
    Outcome outcome = Outcome::TimedOut;
    QString text; // everything read during the wait
    bool ok() const { return outcome == Outcome::Ok; }
};

// Decides from what has been read so far whether the wait is over.
using StopRule = std::function<std::optional<Outcome>(const QString &buffer)>;

// The command and CR. Input still unread from earlier is dropped first, so a
// late answer to an earlier command cannot be taken for this one's.
bool writeCommand(ModemPort &port, const QString &command);
// The same with CR LF, as the listings and the console write them.
bool writeLine(ModemPort &port, const QString &command);

QCoro::Task<Reply> waitFor(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout,
                           StopRule rule);

// A command's answer: ends on a line "OK" or an error line.
QCoro::Task<Reply> waitForReply(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout);

// The text-entry prompt after AT+CMGS: ends on "> " at the start of a line,
// or on an error line (the device refused the number).
QCoro::Task<Reply> waitForPrompt(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout);

} // namespace AtDialogue
} // namespace tavsms
