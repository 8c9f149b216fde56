#pragma once

#include "MessageQueue.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <array>

namespace tavsms {

class Database;
class Statement;

// What the handset side of a message says, as the views show it.
namespace HandsetState {
inline const QString Awaiting = QStringLiteral("Awaiting");
inline const QString Confirmed = QStringLiteral("Confirmed");
inline const QString Failed = QStringLiteral("Failed");
inline const QString NotRequested = QStringLiteral("Not requested");
} // namespace HandsetState

// One status report as a device handed it over.
struct StatusReport
{
    QString port;      // the software port it came in on
    int reference = 0; // TP-MR of the part it is about
    QString recipient; // as the report gives it ("+91…" or national)
    int status = 0;    // TP-ST
    QDateTime receivedAt;
};

// Proof of delivery: the parts the ports handed over with their message
// references (delivery_parts), one line per message summing them
// (delivery_messages), and the status reports that matched nothing
// (delivery_unmatched). Every statement on those tables lives here.
//
// A report is matched by port, reference and recipient to the newest part
// still awaiting one that was sent within the validity period the parts are
// sent with: references wrap at 255, so an older part with the same one is
// never taken. Throws DbError.
class DeliveryConfirmations
{
public:
    // The validity period every part is sent with (SmsPdu, AT+CSMP): a
    // report can come no later.
    static constexpr int kValidityDays = 4;

    enum class Outcome { Confirmed, Failed, Waiting, Unmatched };

    explicit DeliveryConfirmations(Database &db);

    // A message handed over whole: one reference per part, part 1 first.
    // Runs in the caller's transaction when there is one.
    void recordSent(qint64 queueId, const QString &port, const QString &recipient, const QList<int> &references,
                    const QDateTime &sentAt);

    // Matches one report and records what it says.
    Outcome match(const StatusReport &report);
    // The same for many, in one transaction.
    QList<Outcome> matchAll(const QList<StatusReport> &reports);

    // The reports that matched nothing.
    qint64 unmatchedCount();
    // The message's state as the views show it: "Confirmed", "Failed (…)",
    // "Awaiting" or "Not requested".
    QString handsetOf(qint64 queueId);
    // Messages sent with reports in [from, until), and of them confirmed, per
    // connection in the order of kDeliveryConnections.
    DeliveredCounts confirmedCounts(const QDateTime &from, const QDateTime &until);

    // The confirmations report: sent_at, outgoing_mobileNo, outgoing_message,
    // sent_from, the handset text and the settling time of every message sent
    // with reports in [from, until), newest first.
    Statement confirmationsBetween(const QDateTime &from, const QDateTime &until);
    qint64 confirmationsBetweenCount(const QDateTime &from, const QDateTime &until);

    // An SQL expression of the handset text of the q_logs row whose id is
    // `idColumn`, for the grids.
    static QString handsetExpression(const QString &idColumn = QStringLiteral("q_logs.id"));

    // TP-ST: 0x00-0x1F done, 0x20-0x3F the centre still tries, anything
    // else final failure.
    static bool isDone(int status) { return status < 0x20; }
    static bool isTemporary(int status) { return status >= 0x20 && status < 0x40; }
    static QString statusMeaning(int status);
    // The digits a report and a queued number are compared by.
    static QString recipientKey(const QString &number);

private:
    // What one matched report does to its part and message.
    struct Settling
    {
        qint64 partId = 0;
        qint64 queueId = 0;
        int status = 0;
        Outcome outcome = Outcome::Unmatched;
        QString received;
    };
    void stamp(const QDateTime &receivedAt);
    void settleMessage(const Settling &s);
    // The handset text of the delivery_messages row named `alias`.
    static QString stateText(const QString &alias);

    Database &m_db;
    QDateTime m_stampOf; // the arrival time whose stored texts these are
    QString m_received;
    QString m_oldest;
};

} // namespace tavsms
