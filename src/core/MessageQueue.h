#pragma once

#include "TableQuery.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantHash>

#include <array>
#include <chrono>
#include <optional>
#include <span>

namespace tavsms {

class Database;
class Statement;

// Routing values of q_logs.com_port besides the software ports COM1 … COM5.
inline const QString kRouteAuto = QStringLiteral("Auto");
inline const QString kRouteGateway = QStringLiteral("WEBGATEWAY");

// The connections a delivery is counted for, in the order the statistics
// show them: the five software ports, then the gateway.
inline const QStringList kDeliveryConnections = {QStringLiteral("COM1"), QStringLiteral("COM2"),
                                                 QStringLiteral("COM3"), QStringLiteral("COM4"),
                                                 QStringLiteral("COM5"), kRouteGateway};
using DeliveredCounts = std::array<qint64, 6>;

// Status values of q_logs.status.
namespace QueueStatus {
inline const QString Pending = QStringLiteral("Pending");
inline const QString Sending = QStringLiteral("Sending");
inline const QString Delivered = QStringLiteral("Delivered");
inline const QString Failed = QStringLiteral("Failed");
} // namespace QueueStatus

// One q_logs row as a sender holds it while it talks to a device: a copy,
// so nothing another tick does to the table changes it under the sender.
struct QueueRow
{
    qint64 id = 0;
    QDateTime dated;
    QString comPort;
    QString mobileNo;
    QString message;
    QDateTime deliveryTime;
    QString status;
    int retryNo = 0;
    QString comments;
    QDateTime sentAt;
    QString sentFrom;
    QDateTime nextAttempt; // invalid when the gateway never put the row aside
};

// What addToQueue tells its caller: the new row's id, or why there is none.
struct EnqueueResult
{
    qint64 id = 0;
    QString error;
    bool storeUnreachable = false; // a shared store's server could not be reached
    explicit operator bool() const { return error.isEmpty(); }
};

// The outgoing queue: a row's life from queued to delivered or failed, and
// the queue view's pending rows. Every statement that changes q_logs lives
// here, with its values bound as parameters; the reports read the same rows
// as the delivery log through DeliveryLog.
class MessageQueue
{
public:
    explicit MessageQueue(Database &db);

    // Queues one message as "Pending". An invalid delivery time means "now".
    // The caller has validated the number and the text already. Runs inside
    // the caller's transaction when there is one, so a bulk producer can
    // queue many rows and commit once.
    [[nodiscard]] EnqueueResult addToQueue(const QString &mobileNo, const QString &message,
                                           const QString &connection,
                                           const QDateTime &deliveryTime = {});

    // One message of addAllToQueue.
    struct Entry
    {
        QString mobileNo;
        QString message;
        QString connection;
        QDateTime deliveryTime; // invalid: now
    };
    // Queues the messages as addToQueue does; on a server many rows to a
    // statement (a round trip each, not one per row). `written` counts the
    // rows that went in. A failed statement throws DbError having written
    // none of its rows, which begin at `written`; unless the engine gave up
    // the whole transaction (inTransaction() false), the rows before stay.
    void addAllToQueue(std::span<const Entry> entries, qsizetype &written);
    // How many of `remaining` rows the next statement writes: one on the
    // local file; on a server a power of two up to kMostRowsPerStatement,
    // so that few statement texts are ever prepared.
    qsizetype rowsInStatement(qsizetype remaining) const;
    static constexpr qsizetype kMostRowsPerStatement = 256;

    // Rows waiting to go out ("Pending" or "Sending"). Throws DbError.
    qint64 queuedCount();
    // Puts rows stranded in "Sending" (by a crash or a shut-down during a
    // send) back to "Pending"; returns how many. Rows a sender is still
    // handing over (`inFlight`) are left alone, or another channel could
    // send them a second time.
    int repairSending(const QList<qint64> &inFlight = {});

    // The next row a port sender may take: routed to the port or "Auto",
    // "Pending", due at `now`; fewest retries first, then oldest, so a number
    // that always fails cannot hold up the rows behind it. Every
    // kRetryTurn-th pick of a port goes to a row that has failed before
    // (see the definition), so fresh traffic cannot hold that back for ever.
    // Without `withAuto` only the port's own rows (a port off its network).
    std::optional<QueueRow> nextDueForPort(const QString &port, const QDateTime &now, bool withAuto = true);
    // Rows routed to this port alone that wait to go out.
    qint64 pendingForPort(const QString &port);
    static constexpr int kRetryTurn = 10;
    // The same for the gateway (routed "WEBGATEWAY" or "Auto"), passing over
    // the rows it has put aside until their next_attempt.
    std::optional<QueueRow> nextDueForGateway(const QDateTime &now);
    // The next `count` of them, in the order nextDueForGateway would give
    // them one by one as each is claimed.
    QList<QueueRow> dueForGateway(const QDateTime &now, int count);

    // Takes a "Pending" row for sending, for this workstation. False when
    // someone else took it first.
    bool claim(qint64 id);
    // The next row for the port, as nextDueForPort picks it, claimed. On a
    // shared store the pick and the claim are one statement, which passes
    // over rows other workstations are claiming at that moment.
    std::optional<QueueRow> takeNextForPort(const QString &port, const QDateTime &now, bool withAuto = true);
    // Up to `count` rows for the gateway, as dueForGateway picks them, claimed.
    QList<QueueRow> takeForGateway(const QDateTime &now, int count);
    // Shared store: puts back "Sending" rows whose claim is older than
    // `lease`, whoever claimed them (a workstation that died mid-send).
    // Returns how many.
    int releaseExpiredClaims(std::chrono::milliseconds lease);
    // The workstation a row routed to `route` belongs to: this one's for
    // a port, nobody's ('') for "Auto" and the gateway.
    QString routeOwner(const QString &route) const;
    void markDelivered(qint64 id, const QString &sentFrom, const QString &comments,
                       const QDateTime &sentAt);
    // A failed modem attempt: back to "Pending" with one more retry.
    void markRetry(qint64 id);
    // Gives a claimed row back unchanged (the channel never tried it).
    void release(qint64 id);
    // Gives a claimed row back to "Pending" that the gateway does not take
    // again before `notBefore`; `counted` adds one retry.
    void deferForGateway(qint64 id, const QDateTime &notBefore, bool counted);
    void markFailed(qint64 id, const QString &comments);
    // A message a channel refused for good, stamped with when and through what.
    void markFailed(qint64 id, const QString &comments, const QString &sentFrom, const QDateTime &sentAt);

    std::optional<QueueRow> row(qint64 id);

    // The rows still waiting to go out ("Pending"), in queue order, for the
    // queue view's grid.
    static TableQuery pendingQuery();
    // Deletes every "Pending" row; rows being sent, delivered or failed stay.
    // Returns how many went. Throws DbError.
    int clearPending();

private:
    std::optional<QueueRow> nextDue(const QString &route, const QDateTime &now);
    QList<QueueRow> dueAtGateway(const QString &route, const QDateTime &now, int count);
    std::optional<QueueRow> nextRetried(const QString &route, const QDateTime &now, qint64 after);
    QList<QueueRow> claimOnServer(const QStringList &routes, const QString &condition, const QString &order,
                                  const QVariantHash &values, int count);
    QString storedNow();

    Database &m_db;
    // Per port: picks since its last retry turn, and the row that turn took.
    struct RetryTurn
    {
        int picks = 0;
        qint64 lastTaken = 0;
    };
    QHash<QString, RetryTurn> m_retryTurns;
    qint64 m_nowSecond = -1;
    QString m_nowText;
};

} // namespace tavsms
