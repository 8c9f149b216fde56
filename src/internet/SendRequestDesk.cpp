#include "SendRequestDesk.h"

#include "DateTimeText.h"
#include "DebugLog.h"
#include "MessageQueue.h"
#include "QueueBatch.h"
#include "SendRequestParser.h"
#include "Store.h"

#include <QDateTime>

#include <span>

namespace tavsms {

namespace {

QByteArray replyWith(const QByteArray &body, bool keepAlive, const char *status = "200 OK")
{
    return QByteArrayLiteral("HTTP/1.1 ") + status + QByteArrayLiteral("\r\nContent-Length: ") + QByteArray::number(body.size())
        + (keepAlive ? QByteArrayLiteral("\r\nConnection: keep-alive\r\n\r\n")
                     : QByteArrayLiteral("\r\nConnection: close\r\n\r\n"))
        + body;
}

// Queues the valid ones together; one that cannot be queued gets the reason
// as its error.
void queueAll(Store *store, std::vector<SendRequest> &requests)
{
    std::vector<SendRequest *> valid;
    for (SendRequest &r : requests)
        if (r.isValid())
            valid.push_back(&r);
    if (valid.empty())
        return;
    if (!store) {
        for (SendRequest *r : valid)
            r->error = QStringLiteral("The message store is not open.");
        return;
    }
    // A shared store whose server is away: nothing can be stored, so nothing is accepted.
    if (!store->db().isAvailable()) {
        for (SendRequest *r : valid) {
            r->error = SendRequestDesk::unavailableText();
            r->unavailable = true;
        }
        return;
    }
    // Due now: the queue stamps the row itself.
    const auto add = [store](const SendRequest &r) {
        return store->queue().addToQueue(trimSpaces(r.mobile), trimSpaces(r.message), kRouteAuto);
    };
    size_t alone = 0;
    if (valid.size() > 1) {
        // One transaction, and on a server one statement, for the lot.
        QueueBatch batch(store->db(), store->queue());
        for (const SendRequest *r : valid)
            if (!batch.add(trimSpaces(r->mobile), trimSpaces(r->message), kRouteAuto))
                break;
        if (batch.finish())
            return;
        // What the batch did commit stays (the rows before a refused one);
        // the rest are queued each alone, so that only one that fails itself
        // is refused, saying why.
        alone = size_t(batch.queued());
    }
    for (SendRequest *r : std::span(valid).subspan(alone)) {
        if (const EnqueueResult queued = add(*r); !queued) {
            r->unavailable = queued.storeUnreachable;
            r->error = r->unavailable ? SendRequestDesk::unavailableText() : queued.error;
        }
    }
}

} // namespace

QByteArray SendRequestDesk::successText(const QString &mobile)
{
    return "Status:OK <br>Message Sent to " + mobile.toUtf8();
}

QString SendRequestDesk::unavailableText()
{
    return QStringLiteral("The message store cannot be reached just now; the message was not accepted. "
                          "Send it again later.");
}

QByteArray SendRequestDesk::failureText(const QString &error)
{
    return "<b>Error Occured:</b> " + error.toUtf8();
}

std::vector<QByteArray> SendRequestDesk::serve(std::span<const Request> batch)
{
    std::vector<SendRequest> requests;
    requests.reserve(batch.size());
    for (const Request &r : batch)
        requests.push_back(SendRequestParser::parse(QString::fromUtf8(r.head)));
    queueAll(m_store, requests);
    // Local time is costly to find and format next to a request, and many
    // come within a second.
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second != m_shownSecond) {
        m_shownSecond = second;
        m_shown = DateTimeText::display(QDateTime::fromSecsSinceEpoch(second));
    }
    std::vector<QByteArray> replies;
    replies.reserve(batch.size());
    for (size_t i = 0; i < batch.size(); ++i) {
        const SendRequest &request = requests[i];
        if (request.isValid()) {
            m_log.writeLine(QStringLiteral("HTTP MSG Sent - ") + m_shown + QStringLiteral(" Mobile= ") + request.mobile
                            + QStringLiteral(" Message= ") + request.message);
            replies.push_back(replyWith(successText(request.mobile), batch[i].keepAlive));
        } else {
            m_log.writeLine(QStringLiteral("HTTP MSG Failed - ") + m_shown + QStringLiteral(" Mobile= ")
                            + request.mobile + QStringLiteral(" Message= ") + request.message
                            + QStringLiteral(" Error= ") + request.error);
            replies.push_back(replyWith(failureText(request.error), batch[i].keepAlive,
                                        request.unavailable ? "503 Service Unavailable" : "200 OK"));
        }
    }
    return replies;
}

} // namespace tavsms
