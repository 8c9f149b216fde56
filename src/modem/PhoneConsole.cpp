#include "PhoneConsole.h"

#include "AppState.h"
#include "AtDialogue.h"
#include "Database.h"
#include "IncomingListing.h"
#include "IncomingLog.h"
#include "ModemPort.h"
#include "NextSignal.h"
#include "ReplyLines.h"
#include "Store.h"

#include <algorithm>

namespace tavsms {

using AtDialogue::Outcome;

PhoneConsole::PhoneConsole(ModemPort &port, StoreAccess store, AppState &state, const ModemTimeouts &timeouts,
                           QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_store(std::move(store))
    , m_state(state)
    , m_timeouts(timeouts)
{
}

void PhoneConsole::setBusy(bool busy)
{
    m_busy = busy;
    Q_EMIT busyChanged(busy);
}

void PhoneConsole::clearScreen()
{
    m_output.clear();
    Q_EMIT outputChanged(m_output);
}

QCoro::Task<PhoneConsole::SyncOutcome> PhoneConsole::syncronize(const QString &type)
{
    if (type.isEmpty())
        co_return SyncOutcome{0, {Prompter::Icon::Critical, QStringLiteral("Error"),
                                  QStringLiteral("Please select the message types")}};
    if (!m_port.isOpen() || m_busy)
        co_return SyncOutcome{};
    setBusy(true);
    co_await m_port.acquire();
    AtDialogue::Reply reply;
    {
        PortHold hold(m_port);
        const QString command = type == QLatin1String("Read") ? QStringLiteral("AT+CMGL=1") : QStringLiteral("AT+CMGL=0");
        if (AtDialogue::writeLine(m_port, command))
            reply = co_await AtDialogue::waitForReply(m_port, m_state, m_timeouts.listing);
    }
    setBusy(false);
    if (reply.outcome == Outcome::Aborted)
        co_return SyncOutcome{};

    const Listing listing = IncomingListing::parseCdma(reply.text);
    if (listing.error || listing.messages.isEmpty())
        co_return SyncOutcome{0, {Prompter::Icon::Information, applicationTitle(), QStringLiteral("No new message")}};
    // Copies, not a poll: no duplicate check, nothing deleted from the phone.
    IncomingLog log(m_store().db());
    int stored = 0;
    for (const ListedMessage &message : listing.messages) {
        try {
            log.insert({m_state.now(), kSoftwarePorts.at(0), message.stamp, message.sender, message.text});
            ++stored;
        } catch (const DbError &) {
            // Skipped; the others are still copied.
        }
    }
    co_return SyncOutcome{stored, {Prompter::Icon::Information, applicationTitle(), QStringLiteral("Process Complete.")}};
}

QCoro::Task<void> PhoneConsole::sendCommand(const QString &command)
{
    if (!m_port.isOpen() || m_busy)
        co_return;
    setBusy(true);
    co_await m_port.acquire();
    PortHold hold(m_port);
    if (!AtDialogue::writeLine(m_port, command)) {
        setBusy(false);
        co_return;
    }
    // Every read that brings something adds a numbered line at the top; the
    // numbering starts again after a read that held OK. The read ends on an
    // error line, at shut-down, or after a quiet spell.
    ReplyLines::Scanner scanner;
    bool errorLine = false;
    int counter = 0;
    const quint64 session = m_port.session();
    for (;;) {
        NextSignal wake(&m_port, &ModemPort::activity, m_timeouts.consoleQuiet);
        const bool got = co_await wake;
        if (!got)
            break;
        const QString chunk = m_port.readStr();
        if (!chunk.isEmpty()) {
            ++counter;
            m_output = QStringLiteral("%1. ").arg(counter) + chunk + QStringLiteral("\r\n") + m_output;
            // Newest on top: a device that will not stop pushes the oldest off the bottom.
            m_output.truncate(ModemPort::kInputCap);
            Q_EMIT outputChanged(m_output);
            const QStringList lines = scanner.feed(chunk);
            errorLine = errorLine || std::any_of(lines.cbegin(), lines.cend(), ReplyLines::isErrorLine);
            if (chunk.contains(QLatin1String("OK")))
                counter = 0;
            else if (errorLine)
                break;
        }
        if (m_state.abortWaits() || !m_port.isOpen() || m_port.session() != session)
            break;
    }
    setBusy(false);
}

} // namespace tavsms
