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
    QString text; // what was read during the wait: its last ModemPort::kInputCap characters
    qsizetype scanned = 0; // characters the wait looked at, each once
    bool ok() const { return outcome == Outcome::Ok; }
};

// Decides, one complete line at a time, whether the wait is over. It is
// called once for each line of the answer, in order, with the complete line
// before it (empty for the first); no line is shown to it twice. A rule
// that counts lines keeps its count itself.
using LineRule = std::function<std::optional<Outcome>(const QString &line, const QString &previous)>;

// The command and CR. Input still unread from earlier is dropped first, so a
// late answer to an earlier command cannot be taken for this one's.
bool writeCommand(ModemPort &port, const QString &command);
// The same with CR LF, as the listings and the console write them.
bool writeLine(ModemPort &port, const QString &command);

QCoro::Task<Reply> waitFor(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout,
                           LineRule rule);

// A command's answer: ends on a line "OK" or an error line.
QCoro::Task<Reply> waitForReply(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout);

// The text-entry prompt after AT+CMGS: ends on "> " at the start of a line,
// or on an error line (the device refused the number).
QCoro::Task<Reply> waitForPrompt(ModemPort &port, const AppState &state, std::chrono::milliseconds timeout);

} // namespace AtDialogue
} // namespace tavsms
