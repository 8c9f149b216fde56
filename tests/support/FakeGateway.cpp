#include "FakeGateway.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace tavsms::test {

FakeGateway::FakeGateway(QObject *parent)
    : QObject(parent)
{
    replyWith("Message Sent! Success");
    connect(&m_server, &QTcpServer::newConnection, this, &FakeGateway::onConnection);
}

bool FakeGateway::start()
{
    if (!m_server.listen(QHostAddress::LocalHost, m_port))
        return false;
    m_port = m_server.serverPort();
    return true;
}

void FakeGateway::stop()
{
    m_server.close();
    m_open -= int(m_held.size());
    m_held.clear();
    for (QTcpSocket *s : findChildren<QTcpSocket *>())
        s->abort();
}

QList<int> FakeGateway::held() const
{
    QList<int> indexes;
    for (const Held &h : m_held)
        indexes << h.request;
    return indexes;
}

void FakeGateway::answerHeld(int index)
{
    for (qsizetype i = 0; i < m_held.size(); ++i) {
        if (m_held[i].request != index)
            continue;
        const Held h = m_held.takeAt(i);
        --m_open;
        if (h.socket)
            h.socket->write(h.response);
        return;
    }
}

void FakeGateway::answerAllHeld()
{
    for (int index : held())
        answerHeld(index);
}

void FakeGateway::replyWith(const QByteArray &body, int delayMs, bool hold)
{
    m_handler = [=](const Request &) { return Reply{200, "OK", body, delayMs, false, hold}; };
}

void FakeGateway::onConnection()
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
                const QList<QByteArray> parts = head.left(head.indexOf("\r\n")).split(' ');
                const QByteArray target = parts.value(1);
                Request request;
                const qsizetype q = target.indexOf('?');
                request.path = QString::fromUtf8(q < 0 ? target : target.left(q));
                request.rawQuery = q < 0 ? QByteArray() : target.mid(q + 1);
                for (const QByteArray &item : request.rawQuery.split('&')) {
                    const qsizetype eq = item.indexOf('=');
                    if (eq > 0)
                        request.query.insert(QString::fromUtf8(item.left(eq)),
                                             QUrl::fromPercentEncoding(item.mid(eq + 1)));
                }
                m_requests.append(request);
                const Reply reply = m_handler(request);
                if (reply.hang)
                    continue;
                m_mostOpen = std::max(m_mostOpen, ++m_open);
                const QByteArray response = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reply.reason
                    + "\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(reply.body.size())
                    + "\r\n\r\n" + reply.body;
                QPointer<QTcpSocket> guard(socket);
                if (reply.hold) {
                    m_held.append({int(m_requests.size()) - 1, guard, response});
                    continue;
                }
                QTimer::singleShot(reply.delayMs, this, [this, guard, response] {
                    --m_open;
                    if (guard)
                        guard->write(response);
                });
            }
        });
    }
}

} // namespace tavsms::test
