#pragma once

#include "InternetTimeouts.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QQueue>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>

namespace tavsms {

class DebugLog;
class MessageQueue;

// The send listener: other programs queue a message with
//   GET /?com=COM1&mobile=9876543210&message=Hello%20World HTTP/1.1
// Connections are served one at a time, in the order they arrived; the rest
// wait their turn and none is dropped. Each connection carries one request,
// is answered and closed. A request larger than kMaxRequestBytes, or not
// complete within the arrival time-out, is closed unanswered and has no
// effect. Nothing a client sends stops the listening.
//
// Accepted connections are plain descriptors read and written directly:
// a request is one short read and the reply one short write, and this is
// the program's busiest door, so it skips the per-connection socket object.
class HttpSendListener : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kMaxRequestBytes = 8 * 1024;
    static constexpr int kWaitingConnections = 256;

    explicit HttpSendListener(DebugLog &log, InternetTimeouts timeouts = {}, QObject *parent = nullptr);
    ~HttpSendListener() override;

    // Where accepted messages go; without one, requests are refused.
    void setQueue(MessageQueue *queue) { m_queue = queue; }

    // Empty on success, else why not. Port 0 picks a free port (see port()).
    QString listen(quint16 port, const QHostAddress &address = QHostAddress::Any);
    void close();
    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }

    // The replies, as sent.
    static QByteArray successReply(const QString &mobile);
    static QByteArray failureReply(const QString &error);

Q_SIGNALS:
    // One connection is done with: answered (queued or refused) or dropped.
    void connectionDone(bool answered);

private:
    // Hands accepted descriptors to the listener instead of wrapping them.
    class Acceptor : public QTcpServer
    {
    public:
        explicit Acceptor(HttpSendListener &owner)
            : m_owner(owner)
        {
        }

    protected:
        void incomingConnection(qintptr descriptor) override { m_owner.enqueue(descriptor); }

    private:
        HttpSendListener &m_owner;
    };

    void enqueue(qintptr descriptor);
    void serveNext();
    void readRequest();
    void answer();
    void finish(bool answered);
    static bool isComplete(const QByteArray &data);

    DebugLog &m_log;
    InternetTimeouts m_timeouts;
    MessageQueue *m_queue = nullptr;
    Acceptor m_server{*this};
    QQueue<qintptr> m_waiting;
    qintptr m_peer = -1;
    QSocketNotifier m_readable{QSocketNotifier::Read};
    QByteArray m_data;
    QTimer m_deadline;
    bool m_nextScheduled = false;
};

} // namespace tavsms
