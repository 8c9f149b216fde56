#pragma once

#include "AllowedNetworks.h"
#include "InternetTimeouts.h"
#include "RefusalNotes.h"
#include "SendRequestParser.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>

#include <chrono>
#include <list>
#include <memory>
#include <optional>

namespace tavsms {

class DebugLog;
class SendRequestDesk;

// The send listener's sockets: takes connections, reads each until it holds
// a whole request, hands the requests to the desk a batch at a time and
// writes the replies back in order. Connections are plain descriptors in one
// epoll set under one notifier, the busiest door of the program looked at
// through one descriptor; docs/architecture.md says why the caps and push-outs
// are as they are.
class ListenerConnections : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kMaxRequestBytes = 8 * 1024;
    static constexpr int kMaxConnections = 256;
    static constexpr int kMaxConnectionsPerAddress = 8;

    ListenerConnections(SendRequestDesk &desk, DebugLog &log, InternetTimeouts timeouts, QObject *parent = nullptr);
    ~ListenerConnections() override;

    // Applies to connections accepted from then on.
    void setAllowedNetworks(AllowedNetworks allowed) { m_allowed = std::move(allowed); }

    // Empty on success, else why not. Port 0 picks a free port (see port()).
    QString listen(quint16 port, const QHostAddress &address);
    void close();
    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    // Open now, waiting for a request or being served.
    int count() const { return int(m_waiting.size() + m_ready.size()); }

private:
    using Clock = std::chrono::steady_clock;
    enum class Awaits : quint8 { Nothing, Reading, Writing };

    struct Connection
    {
        qintptr descriptor = -1;
        PeerAddress peer;
        QByteArray data;       // received and not yet served
        qsizetype scanned = 0; // the end of the head is not before this
        RequestFrame request;  // length 0 until the head is complete
        QByteArray unsent;     // the rest of a reply the socket would not take yet
        Awaits awaits = Awaits::Nothing;
        bool watched = false; // in the set of m_events
        Clock::time_point deadline;
        bool peerDone = false;      // the peer will send nothing more
        bool closeWhenSent = false; // the reply being sent is the last
        bool ready = false;         // in m_ready, else in m_waiting
        bool answered = false;      // a reply has gone out: closed gently
        std::list<Connection>::iterator self;
    };
    using Connections = std::list<Connection>;

    enum class Found { Nothing, Request, TooLarge };
    enum class After { Waiting, Ready, Gone }; // what became of a connection read from

    static constexpr int kAcceptsPerTurn = 32;

    bool watchListening(bool on);
    void acceptSome();
    void accept(qintptr descriptor, const std::optional<PeerAddress> &peer);
    bool makeRoom(const PeerAddress &peer);
    // Of those that started waiting for a request early enough to be due
    // by `deadlineBy`, and come `from` that address when given.
    bool pushOutLongestWaiting(const PeerAddress *from, Clock::time_point deadlineBy);
    // Reads what has arrived; when that is not yet a whole request, the
    // connection waits for more if `watchOn`.
    [[nodiscard]] After readFrom(Connection &c, bool watchOn = true);
    Found findRequest(Connection &c);
    // False when the connection had to go instead.
    bool watch(Connection &c, Awaits what);
    void onEvents();
    void becomeReady(Connection &c);
    void serveTurn();
    void serveReady();
    void answer(Connection &c, QByteArray reply);
    void sendOn(Connection &c);
    void afterReply(Connection &c);
    void drop(Connection &c);
    void waitForRequest(Connection &c);
    void expire();

    SendRequestDesk &m_desk;
    InternetTimeouts m_timeouts;
    AllowedNetworks m_allowed;
    RefusalNotes m_notes;
    QTcpServer m_server; // opens the socket; acceptSome() takes the connections
    QTimer m_acceptAgain;
    Connections m_waiting; // without a complete request; longest waiting first
    Connections m_ready;   // with one, in the order they completed
    QHash<PeerAddress, int> m_perAddress;
    int m_events = -1; // the epoll set the connections wait in
    std::unique_ptr<QSocketNotifier> m_eventsReady;
    QTimer m_expiry; // for the first of m_waiting
    bool m_serveScheduled = false;
    bool m_inEvents = false;
};

} // namespace tavsms
