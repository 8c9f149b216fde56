#pragma once

#include "AllowedNetworks.h"
#include "InternetTimeouts.h"
#include "SendRequestParser.h"

#include <QByteArray>
#include <QDateTime>
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
#include <vector>

namespace tavsms {

class DebugLog;
class Store;

// The send listener: other programs queue a message with
//   GET /?com=COM1&mobile=9876543210&message=Hello%20World HTTP/1.1
//
// Many connections are read at once, each with the arrival time-out to send
// a whole request of at most kMaxRequestBytes; one that does not is closed
// unanswered and has no effect. Complete requests are served one at a time,
// in the order they completed: queued, logged and answered, on this thread.
// Those that complete in the same batch of socket events are queued in one
// transaction (a commit costs far more than a row), and each is answered
// only once that has committed; when the commit fails, each is queued
// alone, so that only a request that fails itself is refused.
//
// Every complete request on a connection is answered, in order, whether the
// client sent them back to back or one after another: HTTP/1.1 keeps the
// connection unless the client says "Connection: close", HTTP/1.0 closes it
// unless the client says "Connection: keep-alive", and every reply carries
// Content-Length so that a client keeping the connection finds its end. A
// kept connection left idle is closed when the arrival time-out runs out.
//
// A connection reaches the listener when its first bytes arrive: one that
// sends nothing waits in the kernel until the arrival time-out has passed
// (TCP_DEFER_ACCEPT), and only then gets the time-out here, so that a
// flood of idle connections costs the listener nothing meanwhile.
//
// Clients outside the allowed networks are closed as soon as accepted,
// before anything is read. Connections are capped at kMaxConnections in
// all and kMaxConnectionsPerAddress from one address. A newcomer beyond a
// cap pushes out the connection (of all, or of its address) that has waited
// longest without a complete request, rather than being turned away:
// turning newcomers away would let a few hundred idle or slow connections,
// or eight from a good client's own address, lock every good client out
// for as long as they are kept up, whereas a flood that pushes out the
// longest waiting must open connections faster than a good client sends
// its request to keep that client out. What a connection has sent is read
// before it is pushed out, and a complete request in it is served instead.
// The cap in all is hard: only when every connection has a request being
// served is the newcomer closed. The cap per address pushes out only a
// connection that has waited longer than InternetTimeouts::promptRequest;
// when all of an address's connections are younger, the newcomer is let in,
// so that one machine may run more requests at once than the cap (its
// connections count against the cap once they have waited that long).
// Connections turned away or given up unanswered are reset, not closed
// with the closing handshake: they have nothing to finish, and a flood of
// them leaves no closing sockets behind. Each refusal and push-out is
// logged, but at most one line per InternetTimeouts::refusalReport and then
// a count of the rest, so that a flood does not fill the debug log. Nothing
// a client sends stops the listening.
//
// Accepted connections are plain descriptors read and written directly: a
// request is usually one short read and its reply one short write, and
// this is the program's busiest door, so it skips the per-connection socket
// object. The listening socket and the connections that wait are in one
// epoll set, watched by a single notifier: the event loop looks at one
// descriptor however many clients are connected, and learns only of those
// with something to say. At most kAcceptsPerTurn new connections are taken
// per turn of the event loop, so that a flood of them cannot hold up the
// requests already in.
class HttpSendListener : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kMaxRequestBytes = 8 * 1024;
    static constexpr int kMaxConnections = 256;
    static constexpr int kMaxConnectionsPerAddress = 8;

    explicit HttpSendListener(DebugLog &log, InternetTimeouts timeouts = {}, QObject *parent = nullptr);
    ~HttpSendListener() override;

    // Where accepted messages are queued; without a store, requests are refused.
    void setStore(Store *store) { m_store = store; }
    // Who may connect (AllowedNetworks::kDefault until set); applies to
    // connections accepted from then on.
    void setAllowedNetworks(AllowedNetworks allowed) { m_allowed = std::move(allowed); }

    // Empty on success, else why not. Port 0 picks a free port (see port()).
    QString listen(quint16 port, const QHostAddress &address = QHostAddress::Any);
    void close();
    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }

    // The reply bodies, as sent after the status line and headers.
    static QByteArray successText(const QString &mobile);
    static QByteArray failureText(const QString &error);

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
        bool peerDone = false;       // the peer will send nothing more
        bool closeWhenSent = false;  // the reply being sent is the last
        bool ready = false;          // in m_ready, else in m_waiting
        bool answered = false;       // a reply has gone out: closed gently
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
    void queueAll(std::vector<SendRequest> &requests);
    void answer(Connection &c, const SendRequest &request, const QString &when);
    void sendOn(Connection &c);
    void afterReply(Connection &c);
    void drop(Connection &c);
    void expire();
    // Whether a refusal or push-out may have its line now; else it is
    // counted for the next summary. The line is composed only when written.
    bool mayNote();
    void reportQuietNotes();

    DebugLog &m_log;
    InternetTimeouts m_timeouts;
    Store *m_store = nullptr;
    AllowedNetworks m_allowed;
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
    qint64 m_shownSecond = -1;
    QString m_shown; // the display time of m_shownSecond
    QTimer m_noteWindow;
    int m_quietNotes = 0;
};

} // namespace tavsms
