#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

namespace tavsms::test {

// A small HTTP server on 127.0.0.1 (a free port) standing in for the SMS
// gateway and the update host. It answers GET requests, keep-alive or not,
// with whatever the handler says, and records what it was asked.
class FakeGateway : public QObject
{
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

    explicit FakeGateway(QObject *parent = nullptr)
        : QObject(parent)
    {
        replyWith("Message Sent! Success");
        m_clock.start();
        connect(&m_server, &QTcpServer::newConnection, this, &FakeGateway::onConnection);
    }
    bool start()
    {
        if (!m_server.listen(QHostAddress::LocalHost, m_port))
            return false;
        m_port = m_server.serverPort();
        return true;
    }
    void stop()
    {
        m_server.close();
        m_open -= int(m_held.size());
        m_held.clear();
        for (QTcpSocket *s : findChildren<QTcpSocket *>())
            s->abort();
    }
    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Every request gets this body with 200 OK, `delayMs` later or, held,
    // when the test says.
    void replyWith(const QByteArray &body, int delayMs = 0, bool hold = false)
    {
        m_handler = [=](const Request &) { return Reply{200, "OK", body, delayMs, false, hold}; };
    }

    const QList<Request> &requests() const { return m_requests; }
    int requestCount() const { return int(m_requests.size()); }
    // Most requests that were open (received, not yet answered) at once.
    int mostOpenAtOnce() const { return m_mostOpen; }
    // Requests received and not yet answered, now.
    int openNow() const { return m_open; }
    // When each request of requests() was answered, in microseconds on the
    // gateway's clock (-1: not yet), and that clock now.
    const QList<qint64> &answeredAt() const { return m_answeredAt; }
    qint64 clockUs() const { return m_clock.nsecsElapsed() / 1000; }
    // TCP connections accepted since the start.
    int connectionsOpened() const { return m_connections; }

    // Requests held back by their handler's `hold`, oldest first, as indexes
    // into requests().
    QList<int> held() const
    {
        QList<int> indexes;
        for (const Held &h : m_held)
            indexes << h.request;
        return indexes;
    }
    // Sends the answer of requests()[index], held until now; or of all held.
    void answerHeld(int index)
    {
        for (qsizetype i = 0; i < m_held.size(); ++i) {
            if (m_held[i].request != index)
                continue;
            const Held h = m_held.takeAt(i);
            --m_open;
            m_answeredAt[index] = clockUs();
            if (h.socket)
                h.socket->write(h.response);
            return;
        }
    }
    void answerAllHeld()
    {
        for (int index : held())
            answerHeld(index);
    }

private:
    void onConnection()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            socket->setParent(this);
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
                *buffer += socket->readAll();
                qsizetype end;
                while ((end = buffer->indexOf("\r\n\r\n")) >= 0) {
                    const QByteArray head = buffer->left(end);
                    buffer->remove(0, end + 4);
                    answer(socket, head.left(head.indexOf("\r\n")).split(' ').value(1));
                }
            });
        }
    }
    void answer(QTcpSocket *socket, const QByteArray &target)
    {
        Request request;
        const qsizetype q = target.indexOf('?');
        request.path = QString::fromUtf8(q < 0 ? target : target.left(q));
        request.rawQuery = q < 0 ? QByteArray() : target.mid(q + 1);
        for (const QByteArray &item : request.rawQuery.split('&')) {
            const qsizetype eq = item.indexOf('=');
            if (eq > 0)
                request.query.insert(QString::fromUtf8(item.left(eq)), QUrl::fromPercentEncoding(item.mid(eq + 1)));
        }
        m_requests.append(request);
        m_answeredAt.append(-1);
        const qsizetype index = m_requests.size() - 1;
        const Reply reply = m_handler(request);
        if (reply.hang)
            return;
        m_mostOpen = std::max(m_mostOpen, ++m_open);
        const QByteArray response = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reply.reason
            + "\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(reply.body.size()) + "\r\n\r\n"
            + reply.body;
        QPointer<QTcpSocket> guard(socket);
        if (reply.hold) {
            m_held.append({int(index), guard, response});
            return;
        }
        QTimer::singleShot(reply.delayMs, this, [this, guard, response, index] {
            --m_open;
            m_answeredAt[index] = clockUs();
            if (guard)
                guard->write(response);
        });
    }

    QTcpServer m_server;
    quint16 m_port = 0;
    Handler m_handler;
    QList<Request> m_requests;
    int m_open = 0;
    QElapsedTimer m_clock;
    QList<qint64> m_answeredAt;
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
