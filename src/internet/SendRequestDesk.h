#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <span>
#include <vector>

namespace tavsms {

class DebugLog;
class Store;

// Serves the listener's complete requests, apart from any socket: parses
// each, queues a batch in one transaction, logs each and composes its reply.
// Replies come back only once the rows are committed, so no client is told
// "sent" for a row a failed commit took away.
class SendRequestDesk
{
public:
    struct Request
    {
        QByteArrayView head;    // the request line and headers
        bool keepAlive = false; // the connection stays after the reply
    };

    explicit SendRequestDesk(DebugLog &log)
        : m_log(log)
    {
    }

    // Where accepted messages are queued; without a store, requests are refused.
    void setStore(Store *store) { m_store = store; }

    // The whole reply to each request of the batch, in its order.
    std::vector<QByteArray> serve(std::span<const Request> batch);

    // The reply bodies, as sent after the status line and headers.
    static QByteArray successText(const QString &mobile);
    static QByteArray failureText(const QString &error);
    // Why a request is answered 503 while a shared store's server is away.
    static QString unavailableText();

private:
    DebugLog &m_log;
    Store *m_store = nullptr;
    qint64 m_shownSecond = -1;
    QString m_shown; // the display time of m_shownSecond
};

} // namespace tavsms
