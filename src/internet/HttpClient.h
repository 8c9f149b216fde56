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
#include <utility>

class QNetworkReply;

namespace tavsms {

// What came back from one GET.
struct HttpReply
{
    bool received = false; // an HTTP response arrived (whatever its status)
    QString error;         // why not, when nothing arrived
    int statusCode = 0;
    QString statusLine;    // "HTTP/1.1 200 OK"
    QString headers;       // the status line, then every header line, CR LF between
    QString body;

    bool isOk() const { return received && statusCode >= 200 && statusCode < 300; }
};

using QueryItems = QList<std::pair<QString, QString>>;

// The one HTTP client of the program. Requests run one at a time in the
// order they were made: a caller that finds the client busy waits its turn
// (suspended, the event loop running on).
class HttpClient : public QObject
{
    Q_OBJECT
public:
    explicit HttpClient(InternetTimeouts timeouts = {}, QObject *parent = nullptr);
    // Requests still running or waiting are abandoned: their callers are
    // never resumed, so nothing touches objects that are going away.
    ~HttpClient() override;

    QCoro::Task<HttpReply> get(QUrl url);

    // http://host/path?name=value&..., every value percent-encoded, so
    // that &, #, + or spaces in a message arrive as they were typed.
    static QUrl url(const QString &host, const QString &path, const QueryItems &query = {});

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
    static HttpReply readReply(QNetworkReply &reply);

    InternetTimeouts m_timeouts;
    QNetworkAccessManager m_manager;
    bool m_busy = false;
    QQueue<std::coroutine_handle<>> m_waiting;
    QPointer<QNetworkReply> m_current;
};

} // namespace tavsms
