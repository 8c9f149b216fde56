#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

namespace tavsms::test {

// A small HTTP server on 127.0.0.1 (a free port) standing in for the SMS
// gateway and the update host. It answers GET requests, keep-alive or not,
// with whatever the handler says, and records what it was asked.
class FakeGateway : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QString path;
        QByteArray rawQuery;
        QHash<QString, QString> query; // percent-decoded values ("+" stays "+")
    };
    struct Reply
    {
        int status = 200;
        QByteArray reason = "OK";
        QByteArray body;
        int delayMs = 0;   // answer this much later
        bool hang = false; // never answer
        bool hold = false; // answer when the test says (answerHeld)
    };
    using Handler = std::function<Reply(const Request &)>;

    explicit FakeGateway(QObject *parent = nullptr);
    bool start();
    void stop();
    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Every request gets this body with 200 OK, `delayMs` later or, held,
    // when the test says.
    void replyWith(const QByteArray &body, int delayMs = 0, bool hold = false);

    const QList<Request> &requests() const { return m_requests; }
    int requestCount() const { return int(m_requests.size()); }
    // Most requests that were open (received, not yet answered) at once.
    int mostOpenAtOnce() const { return m_mostOpen; }
    // Requests received and not yet answered, now.
    int openNow() const { return m_open; }
    // TCP connections accepted since the start.
    int connectionsOpened() const { return m_connections; }

    // Requests held back by their handler's `hold`, oldest first, as indexes
    // into requests().
    QList<int> held() const;
    // Sends the answer of requests()[index], held until now; or of all held.
    void answerHeld(int index);
    void answerAllHeld();

private:
    void onConnection();

    QTcpServer m_server;
    quint16 m_port = 0;
    Handler m_handler;
    QList<Request> m_requests;
    int m_open = 0;
    int m_mostOpen = 0;
    int m_connections = 0;
    struct Held
    {
        int request;
        QPointer<QTcpSocket> socket;
        QByteArray response;
    };
    QList<Held> m_held;
};

} // namespace tavsms::test
