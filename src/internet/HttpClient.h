#pragma once

#include "InternetTimeouts.h"

#include <QCoroTask>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QUrl>

#include <coroutine>
#include <memory>
#include <utility>
#include <vector>

class QNetworkReply;

namespace tavsms {

// What came back from one GET.
struct HttpReply
{
    bool received = false; // an HTTP response arrived (whatever its status)
    QString error;         // why not, when nothing arrived; never the address itself
    int statusCode = 0;
    QString statusLine;    // "HTTP/1.1 200 OK"
    QString headers;       // the status line, then every header line, CR LF between
    QString body;

    bool isOk() const { return received && statusCode >= 200 && statusCode < 300; }
};

using QueryItems = QList<std::pair<QString, QString>>;

// The one HTTP client of the program, with two ways in:
//  - get(): the account requests and the auto-reply pushes. They run one at
//    a time in the order they were made: a caller that finds the client busy
//    waits its turn (suspended, the event loop running on).
//  - getInSlot(): the gateway sender's messages, many at once. Slots 0-5
//    share one set of kept-alive connections, 6-11 the next, and so on (a
//    Qt 6.4 manager opens at most six per host); a caller with one request
//    per slot at a time never has a request queued inside Qt, and each set
//    keeps about as many connections as its slots in use (a set of fewer
//    than six may now and then open a spare: Qt allows it six).
// The two never share connections, so an account check is never queued
// behind a drain of the queue.
class HttpClient : public QObject
{
    Q_OBJECT
public:
    explicit HttpClient(InternetTimeouts timeouts = {}, QObject *parent = nullptr);
    // Requests still running or waiting are abandoned: their callers are
    // never resumed, so nothing touches objects that are going away.
    ~HttpClient() override;

    QCoro::Task<HttpReply> get(QUrl url);
    QCoro::Task<HttpReply> getInSlot(QUrl url, int slot);
    static constexpr int kSlotsPerConnectionSet = 6;

    // http://host/path?name=value&..., every value percent-encoded, so
    // that &, #, + or spaces in a message arrive as they were typed.
    static QUrl url(const QString &host, const QString &path, const QueryItems &query = {});
    // scheme://host:port/path: what a log may say about a request. The query
    // and any user name or password stay out; they carry the account's
    // password and the messages.
    static QString addressForLog(const QUrl &url);

    bool isBusy() const { return m_busy; }
    int waiting() const { return int(m_waiting.size()); }

private:
    // Awaitable: resumes when this caller may send its request.
    struct Turn
    {
        HttpClient *client;
        bool await_ready() const noexcept { return !client->m_busy; }
        void await_suspend(std::coroutine_handle<> waiter) { client->m_waiting.enqueue(waiter); }
        void await_resume() const noexcept { client->m_busy = true; }
    };
    void handOver();
    QCoro::Task<HttpReply> fetch(QNetworkAccessManager &manager, QUrl url);
    static HttpReply readReply(QNetworkReply &reply);

    InternetTimeouts m_timeouts;
    QNetworkAccessManager m_manager;
    std::vector<std::unique_ptr<QNetworkAccessManager>> m_slotManagers;
    bool m_busy = false;
    QQueue<std::coroutine_handle<>> m_waiting;
    QList<QPointer<QNetworkReply>> m_running;
};

} // namespace tavsms
