#include "IncomingPoller.h"

#include "AppState.h"
#include "AtDialogue.h"
#include "Database.h"
#include "DebugLog.h"
#include "IncomingListing.h"
#include "IncomingLog.h"
#include "ModemPort.h"
#include "ReplyLines.h"
#include "Store.h"

namespace tavsms {

using AtDialogue::Outcome;

IncomingPoller::IncomingPoller(AppState &state, StoreAccess store, DebugLog &log, const ModemTimeouts &timeouts)
    : m_state(state)
    , m_store(std::move(store))
    , m_log(log)
    , m_timeouts(timeouts)
{
}

QCoro::Task<void> IncomingPoller::poll(int portIndex, ModemPort &port)
{
    if (!port.isOpen())
        co_return;
    const QString softwarePort = kSoftwarePorts.at(portIndex);
    const bool cdma = m_state.port(portIndex).deviceClass == QLatin1String("CDMA");
    if (!cdma && m_state.port(portIndex).pdu) {
        co_await pollPdu(portIndex, port);
        co_return;
    }

    AtDialogue::Reply reply;
    if (cdma) {
        // Unread messages, then read ones; both answers end with their own OK.
        const bool written = AtDialogue::writeLine(port, QStringLiteral("AT+CMGL=0"))
            && port.writeText(QStringLiteral("AT+CMGL=1\r\n"));
        if (!written) {
            m_log.writeEvent(QStringLiteral(" Incoming SMS %1 - the listing could not be written").arg(softwarePort));
            co_return;
        }
        reply = co_await AtDialogue::waitFor(port, m_state, m_timeouts.listing,
                                             [oks = 0](const QString &line, const QString &) mutable
                                             -> std::optional<Outcome> {
                                                 if (ReplyLines::isErrorLine(line))
                                                     return Outcome::Error;
                                                 if (ReplyLines::isOkLine(line) && ++oks >= 2)
                                                     return Outcome::Ok;
                                                 return std::nullopt;
                                             });
    } else {
        if (!AtDialogue::writeLine(port, QStringLiteral("AT+CMGL=\"ALL\""))) {
            m_log.writeEvent(QStringLiteral(" Incoming SMS %1 - the listing could not be written").arg(softwarePort));
            co_return;
        }
        reply = co_await AtDialogue::waitFor(port, m_state, m_timeouts.listing,
                                             [](const QString &line, const QString &previous)
                                             -> std::optional<Outcome> {
                                                 if (IncomingListing::endsGsmListing(line, previous))
                                                     return Outcome::Done;
                                                 return std::nullopt;
                                             });
    }
    if (reply.outcome == Outcome::Aborted)
        co_return;
    if (reply.outcome == Outcome::PortLost) {
        m_log.writeEvent(QStringLiteral(" Incoming SMS %1 - the device went away during the listing").arg(softwarePort));
        co_return;
    }
    // A listing cut short by its time-out is read as far as it came.
    const Listing listing = cdma ? IncomingListing::parseCdma(reply.text) : IncomingListing::parseGsm(reply.text);
    if (listing.error)
        co_return;

    IncomingLog log(m_store().db());
    for (const ListedMessage &message : listing.messages) {
        m_state.setTipText(QStringLiteral("New SMS Arrived from: ") + message.sender);
        const QString number = IncomingLog::storedNumber(message.sender);
        bool stored = false;
        try {
            if (!log.contains(number, message.stamp)) {
                log.insert({m_state.now(), softwarePort, message.stamp, number, message.text});
                stored = true;
            }
        } catch (const DbError &e) {
            // Left in the phone: the next poll tries again.
            m_log.writeEvent(QStringLiteral(" Incoming SMS %1 - message %2 from %3 could not be stored: %4")
                                 .arg(softwarePort)
                                 .arg(message.index)
                                 .arg(message.sender, e.message()));
            continue;
        }

        Outcome deleted = Outcome::PortLost;
        if (AtDialogue::writeLine(port, QStringLiteral("AT+CMGD=%1").arg(message.index)))
            deleted = (co_await AtDialogue::waitForReply(port, m_state, m_timeouts.deleteMessage)).outcome;
        if (deleted == Outcome::Aborted)
            co_return;
        // A stored message is answered once, here, even when the device
        // went away before it confirmed the delete.
        if (stored)
            co_await answer(softwarePort, message.sender, message.text);
        if (deleted == Outcome::PortLost)
            co_return;
    }
}

QCoro::Task<void> IncomingPoller::pollPdu(int portIndex, ModemPort &port)
{
    const QString softwarePort = kSoftwarePorts.at(portIndex);
    if (!AtDialogue::writeLine(port, QStringLiteral("AT+CMGL=4"))) {
        m_log.writeEvent(QStringLiteral(" Incoming SMS %1 - the listing could not be written").arg(softwarePort));
        co_return;
    }
    // A PDU line is hexadecimal: no message can end the listing early.
    const AtDialogue::Reply reply = co_await AtDialogue::waitForReply(port, m_state, m_timeouts.listing);
    if (reply.outcome == Outcome::Aborted)
        co_return;
    if (reply.outcome == Outcome::PortLost) {
        m_log.writeEvent(QStringLiteral(" Incoming SMS %1 - the device went away during the listing").arg(softwarePort));
        co_return;
    }
    // A listing cut short by its time-out is read as far as it came.
    const PduListing::Result listing = PduListing::parse(reply.text);
    if (listing.error)
        co_return;

    QList<ReceivedPart> parts;
    QSet<QString> undecodable;
    for (const ListedPdu &entry : listing.entries) {
        if (entry.stat > 1)
            continue; // a stored outgoing message, not a received one
        QString why;
        if (std::optional<SmsPdu::Message> message = PduListing::decode(entry, &why)) {
            parts << ReceivedPart{entry.index, *message};
            continue;
        }
        // Left in the phone, and told once rather than at every poll.
        const QString key = QStringLiteral("%1|%2").arg(entry.index).arg(QString::fromLatin1(entry.hex));
        undecodable.insert(key);
        if (!m_undecodable[size_t(portIndex)].contains(key))
            m_log.writeEvent(QStringLiteral(" Incoming SMS %1 - message %2 cannot be decoded (%3); it stays in the phone")
                                 .arg(softwarePort)
                                 .arg(entry.index)
                                 .arg(why));
    }
    if (reply.outcome == Outcome::TimedOut)
        m_undecodable[size_t(portIndex)].unite(undecodable); // the rest were not listed this time
    else
        m_undecodable[size_t(portIndex)] = undecodable;

    const QList<ReceivedMessage> messages =
        m_assemblers[size_t(portIndex)].collect(parts, m_state.now(), m_timeouts.missingParts,
                                                reply.outcome != Outcome::TimedOut);
    IncomingLog log(m_store().db());
    for (const ReceivedMessage &message : messages) {
        m_state.setTipText(QStringLiteral("New SMS Arrived from: ") + message.sender);
        const QString number = IncomingLog::storedNumber(message.sender);
        // Stored as local time, as every other date-time is.
        const QDateTime stamp = message.stamp.toLocalTime();
        bool stored = false;
        try {
            if (!log.contains(number, stamp)) {
                log.insert({m_state.now(), softwarePort, stamp, number, message.text});
                stored = true;
            }
        } catch (const DbError &e) {
            // Every part stays in the phone: the next poll tries again.
            m_log.writeEvent(QStringLiteral(" Incoming SMS %1 - message %2 from %3 could not be stored: %4")
                                 .arg(softwarePort)
                                 .arg(message.indexes.value(0))
                                 .arg(message.sender, e.message()));
            continue;
        }

        // Only now that the whole message is stored do its parts go.
        Outcome deleted = Outcome::Ok;
        for (int index : message.indexes) {
            deleted = Outcome::PortLost;
            if (AtDialogue::writeLine(port, QStringLiteral("AT+CMGD=%1").arg(index)))
                deleted = (co_await AtDialogue::waitForReply(port, m_state, m_timeouts.deleteMessage)).outcome;
            if (deleted == Outcome::Aborted)
                co_return;
            if (deleted == Outcome::PortLost)
                break;
        }
        if (stored)
            co_await answer(softwarePort, message.sender, message.text);
        if (deleted == Outcome::PortLost)
            co_return;
    }
}

QCoro::Task<void> IncomingPoller::answer(QString softwarePort, QString sender, QString text)
{
    if (!m_handler)
        co_return;
    try {
        co_await m_handler(softwarePort, sender, text);
    } catch (const std::exception &e) {
        m_log.writeEvent(QStringLiteral(" Incoming SMS %1 - handling the message from %2 failed: %3")
                             .arg(softwarePort, sender, QString::fromUtf8(e.what())));
    }
}

} // namespace tavsms
