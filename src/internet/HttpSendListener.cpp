#include "HttpSendListener.h"

#include "DateTimeText.h"
#include "DebugLog.h"
#include "MessageQueue.h"
#include "SendRequestParser.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace tavsms {

namespace {

const QByteArray kStatusLine = QByteArrayLiteral("HTTP/1.1 200 OK\r\n\r\n");

void closeDescriptor(qintptr descriptor)
{
    while (::close(int(descriptor)) == -1 && errno == EINTR) {
    }
}

} // namespace

HttpSendListener::HttpSendListener(DebugLog &log, InternetTimeouts timeouts, QObject *parent)
    : QObject(parent)
    , m_log(log)
    , m_timeouts(timeouts)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { finish(false); });
    connect(&m_readable, &QSocketNotifier::activated, this, &HttpSendListener::readRequest);
    // Connections wait their turn in the kernel's queue behind this one.
    m_server.setListenBacklogSize(kWaitingConnections);
    // Out of descriptors, say: the server stops accepting; start again soon.
    connect(&m_server, &QTcpServer::acceptError, this, [this] {
        QTimer::singleShot(100, this, [this] { m_server.resumeAccepting(); });
    });
}

HttpSendListener::~HttpSendListener()
{
    close();
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
    if (m_peer >= 0)
        finish(false);
    while (!m_waiting.isEmpty())
        closeDescriptor(m_waiting.dequeue());
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

void HttpSendListener::enqueue(qintptr descriptor)
{
    m_waiting.enqueue(descriptor);
    // Beyond this many, further clients wait in the kernel's queue.
    if (m_waiting.size() >= kWaitingConnections)
        m_server.pauseAccepting();
    serveNext();
}

void HttpSendListener::serveNext()
{
    m_nextScheduled = false;
    if (m_peer >= 0 || m_waiting.isEmpty())
        return;
    m_peer = m_waiting.dequeue();
    m_server.resumeAccepting();
    m_data.clear();
    m_deadline.start(m_timeouts.requestArrival);
    // The request has usually arrived with the connection: read it now.
    readRequest();
}

void HttpSendListener::readRequest()
{
    if (m_peer < 0)
        return;
    char buffer[4096];
    for (;;) {
        const qsizetype want = std::min<qsizetype>(qsizetype(sizeof buffer), kMaxRequestBytes + 1 - m_data.size());
        const ssize_t got = ::recv(int(m_peer), buffer, size_t(want), MSG_DONTWAIT);
        if (got > 0) {
            m_data.append(buffer, got);
            if (m_data.size() > kMaxRequestBytes)
                return finish(false);
            continue;
        }
        if (got == -1 && errno == EINTR)
            continue;
        if (got == -1 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // The peer closed (or the connection failed): answer what is complete.
        if (isComplete(m_data))
            return answer();
        return finish(false);
    }
    if (isComplete(m_data))
        return answer();
    // Wait for the rest.
    m_readable.setSocket(m_peer);
    m_readable.setEnabled(true);
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
            const EnqueueResult queued = m_queue->addToQueue(trimSpaces(request.mobile),
                                                             trimSpaces(request.message),
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
    // A fresh connection's send buffer takes a reply this short whole; a
    // peer that has gone simply does not get it.
    ssize_t sent;
    do {
        sent = ::send(int(m_peer), reply.constData(), size_t(reply.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (sent == -1 && errno == EINTR);
    finish(true);
}

void HttpSendListener::finish(bool answered)
{
    m_deadline.stop();
    m_readable.setEnabled(false);
    if (m_peer >= 0) {
        // The close ends the reply for the client: it carries no length.
        closeDescriptor(m_peer);
        m_peer = -1;
    }
    m_data.clear();
    Q_EMIT connectionDone(answered);
    if (!m_nextScheduled && !m_waiting.isEmpty()) {
        m_nextScheduled = true;
        QMetaObject::invokeMethod(this, &HttpSendListener::serveNext, Qt::QueuedConnection);
    }
}

} // namespace tavsms
