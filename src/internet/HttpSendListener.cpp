#include "HttpSendListener.h"

#include "DateTimeText.h"
#include "DebugLog.h"
#include "MessageQueue.h"
#include "SendRequestParser.h"

#include <QTcpSocket>

namespace tavsms {

namespace {
const QByteArray kStatusLine = QByteArrayLiteral("HTTP/1.1 200 OK\r\n\r\n");
} // namespace

HttpSendListener::HttpSendListener(DebugLog &log, InternetTimeouts timeouts, QObject *parent)
    : QObject(parent)
    , m_log(log)
    , m_timeouts(timeouts)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { finish(false); });
    connect(&m_server, &QTcpServer::newConnection, this, &HttpSendListener::serveNext);
    // Connections wait their turn here and in the kernel's queue behind it.
    m_server.setMaxPendingConnections(kWaitingConnections);
    m_server.setListenBacklogSize(kWaitingConnections);
}

QString HttpSendListener::listen(quint16 port, const QHostAddress &address)
{
    close();
    if (!m_server.listen(address, port))
        return QStringLiteral("Cannot listen on TCP port %1: %2").arg(port).arg(m_server.errorString());
    return {};
}

void HttpSendListener::close()
{
    m_server.close();
    if (m_peer)
        finish(false);
}

QByteArray HttpSendListener::successReply(const QString &mobile)
{
    return kStatusLine + "Status:OK <br>Message Sent to " + mobile.toUtf8();
}

QByteArray HttpSendListener::failureReply(const QString &error)
{
    return kStatusLine + "<b>Error Occured:</b> " + error.toUtf8();
}

bool HttpSendListener::isComplete(const QByteArray &data)
{
    return data.contains("\r\n\r\n") || data.contains("\n\n");
}

void HttpSendListener::serveNext()
{
    m_nextScheduled = false;
    if (m_peer || !m_server.hasPendingConnections())
        return;
    QTcpSocket *socket = m_server.nextPendingConnection();
    m_peer = socket;
    m_data.clear();
    m_deadline.start(m_timeouts.requestArrival);
    connect(socket, &QTcpSocket::readyRead, this, &HttpSendListener::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &HttpSendListener::onPeerClosed);
    // Whatever arrived while the connection waited its turn.
    onReadyRead();
    if (m_peer == socket && socket->state() != QAbstractSocket::ConnectedState)
        onPeerClosed();
}

void HttpSendListener::onReadyRead()
{
    if (!m_peer)
        return;
    m_data += m_peer->read(kMaxRequestBytes + 1 - m_data.size());
    if (m_data.size() > kMaxRequestBytes)
        finish(false);
    else if (isComplete(m_data))
        answer();
}

void HttpSendListener::onPeerClosed()
{
    // Gone before the request was complete: nothing to answer.
    if (m_peer)
        finish(false);
}

void HttpSendListener::answer()
{
    const QDateTime when = QDateTime::currentDateTime();
    const QString now = DateTimeText::display(when);
    SendRequest request = SendRequestParser::parse(QString::fromUtf8(m_data));
    if (request.isValid()) {
        if (!m_queue) {
            request.error = QStringLiteral("The message store is not open.");
        } else {
            const EnqueueResult queued = m_queue->addToQueue(SendRequestParser::trimSpaces(request.mobile),
                                                             SendRequestParser::trimSpaces(request.message),
                                                             kRouteAuto, when);
            if (!queued)
                request.error = queued.error;
        }
    }

    QByteArray reply;
    if (request.isValid()) {
        m_log.writeLine(QStringLiteral("HTTP MSG Sent - ") + now + QStringLiteral(" Mobile= ") + request.mobile
                        + QStringLiteral(" Message= ") + request.message);
        reply = successReply(request.mobile);
    } else {
        m_log.writeLine(QStringLiteral("HTTP MSG Failed - ") + now + QStringLiteral(" Mobile= ") + request.mobile
                        + QStringLiteral(" Message= ") + request.message + QStringLiteral(" Error= ")
                        + request.error);
        reply = failureReply(request.error);
    }
    m_peer->write(reply);
    finish(true);
}

void HttpSendListener::finish(bool answered)
{
    m_deadline.stop();
    QTcpSocket *socket = m_peer;
    m_peer = nullptr;
    m_data.clear();
    if (socket) {
        socket->disconnect(this);
        if (answered) {
            // Send the reply now rather than on the next pass of the event
            // loop, then close: the reply carries no length, so the close is
            // what ends it for the client.
            socket->flush();
            socket->disconnectFromHost();
            if (socket->state() == QAbstractSocket::UnconnectedState) {
                socket->deleteLater();
            } else {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                // A client that never reads its reply cannot keep the socket.
                QTimer::singleShot(m_timeouts.requestArrival, socket, [socket] { socket->abort(); });
            }
        } else {
            socket->abort();
            socket->deleteLater();
        }
    }
    Q_EMIT connectionDone(answered);
    if (!m_nextScheduled && m_server.hasPendingConnections()) {
        m_nextScheduled = true;
        QMetaObject::invokeMethod(this, &HttpSendListener::serveNext, Qt::QueuedConnection);
    }
}

} // namespace tavsms
