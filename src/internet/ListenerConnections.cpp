#include "ListenerConnections.h"

#include "SendRequestDesk.h"

#include <cerrno>
#include <cstring>
#include <span>
#include <utility>
#include <vector>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavsms {

namespace {

// Closes with a reset instead of the closing handshake: for a connection
// turned away or given up unanswered, which has nothing to finish, so that
// a flood of them leaves no closing sockets behind.
void abandon(qintptr descriptor)
{
    const linger now{1, 0};
    ::setsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &now, sizeof now);
    while (::close(int(descriptor)) == -1 && errno == EINTR) {
    }
}

void closeDescriptor(qintptr descriptor)
{
    while (::close(int(descriptor)) == -1 && errno == EINTR) {
    }
}

} // namespace

ListenerConnections::ListenerConnections(SendRequestDesk &desk, DebugLog &log, InternetTimeouts timeouts,
                                         QObject *parent)
    : QObject(parent)
    , m_desk(desk)
    , m_timeouts(timeouts)
    , m_allowed(*AllowedNetworks::parse(AllowedNetworks::kDefault))
    , m_notes(log, timeouts.refusalReport)
{
    m_expiry.setSingleShot(true);
    connect(&m_expiry, &QTimer::timeout, this, &ListenerConnections::expire);
    // Connections arriving faster than they are accepted wait in the kernel.
    m_server.setListenBacklogSize(kMaxConnections);
    m_acceptAgain.setSingleShot(true);
    m_acceptAgain.setInterval(m_timeouts.acceptRetry);
    connect(&m_acceptAgain, &QTimer::timeout, this, [this] { watchListening(true); });
    m_events = ::epoll_create1(EPOLL_CLOEXEC);
    if (m_events >= 0) {
        m_eventsReady = std::make_unique<QSocketNotifier>(m_events, QSocketNotifier::Read);
        connect(m_eventsReady.get(), &QSocketNotifier::activated, this, &ListenerConnections::onEvents);
    }
}

ListenerConnections::~ListenerConnections()
{
    close();
    m_eventsReady.reset();
    if (m_events >= 0)
        closeDescriptor(m_events);
}

QString ListenerConnections::listen(quint16 port, const QHostAddress &address)
{
    close();
    if (m_events < 0)
        return QStringLiteral("Cannot listen on TCP port %1: %2").arg(port).arg(QString::fromLocal8Bit(std::strerror(errno)));
    if (!m_server.listen(address, port))
        return QStringLiteral("Cannot listen on TCP port %1: %2").arg(port).arg(m_server.errorString());
    // The server only opens the socket; connections are taken from it here,
    // a few per turn of the event loop between the others' requests.
    m_server.pauseAccepting();
    // A connection that has sent nothing is not handed over until it does,
    // or until the arrival time-out has passed: idle connections wait in the
    // kernel and take no place here.
    const int seconds = int(std::max<qint64>(1, std::chrono::ceil<std::chrono::seconds>(m_timeouts.requestArrival).count()));
    ::setsockopt(int(m_server.socketDescriptor()), IPPROTO_TCP, TCP_DEFER_ACCEPT, &seconds, sizeof seconds);
    if (!watchListening(true)) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        m_server.close();
        return QStringLiteral("Cannot listen on TCP port %1: %2").arg(port).arg(why);
    }
    return {};
}

bool ListenerConnections::watchListening(bool on)
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.ptr = nullptr; // no connection: the listening socket
    return ::epoll_ctl(m_events, on ? EPOLL_CTL_ADD : EPOLL_CTL_DEL, int(m_server.socketDescriptor()), &event) == 0;
}

void ListenerConnections::acceptSome()
{
    // A bounded number per turn: a flood of connections must not keep the
    // requests already in from being served.
    for (int i = 0; i < kAcceptsPerTurn; ++i) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int descriptor =
            ::accept4(int(m_server.socketDescriptor()), reinterpret_cast<sockaddr *>(&address), &length, SOCK_CLOEXEC);
        if (descriptor >= 0) {
            accept(descriptor, PeerAddress::from(reinterpret_cast<const sockaddr *>(&address)));
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            // Out of descriptors or memory: stop taking connections for a
            // moment rather than spin on the one that cannot be taken.
            watchListening(false);
            m_acceptAgain.start();
            return;
        }
        // A client that went away before it was taken, an interrupted call:
        // on with the next.
    }
}

void ListenerConnections::close()
{
    m_acceptAgain.stop();
    if (m_server.isListening())
        watchListening(false);
    m_server.close();
    while (!m_waiting.empty())
        drop(m_waiting.front());
    while (!m_ready.empty())
        drop(m_ready.front());
    m_expiry.stop();
}

void ListenerConnections::accept(qintptr descriptor, const std::optional<PeerAddress> &peer)
{
    if (!peer) {
        abandon(descriptor); // not an IP peer
        return;
    }
    if (!m_allowed.allows(*peer)) {
        abandon(descriptor);
        m_notes.note([&] {
            return QStringLiteral(" HTTP listener - refused %1: not in the allowed networks").arg(peer->toString());
        });
        return;
    }
    if (!makeRoom(*peer)) {
        abandon(descriptor);
        m_notes.note([&] {
            return QStringLiteral(" HTTP listener - refused %1: every connection has a request being served")
                .arg(peer->toString());
        });
        return;
    }

    ++m_perAddress[*peer];
    Connection &c = m_waiting.emplace_back();
    c.self = std::prev(m_waiting.end());
    c.descriptor = descriptor;
    c.peer = *peer;
    waitForRequest(c);
    // The request has often arrived with the connection: read it now.
    (void)readFrom(c);
}

bool ListenerConnections::makeRoom(const PeerAddress &peer)
{
    // An address at its cap gives up the connection that has waited longest
    // past the grace without a whole request. When all of its connections
    // are younger the client is a prompt one with many requests on their
    // way (ab -c 16 on one machine): it is let in, and the cap holds again
    // once they have waited that long.
    if (m_perAddress.value(peer) >= kMaxConnectionsPerAddress)
        (void)pushOutLongestWaiting(&peer, Clock::now() - m_timeouts.promptRequest + m_timeouts.requestArrival);
    // The cap in all holds at once: it is what keeps descriptors for others.
    for (;;) {
        if (m_waiting.size() + m_ready.size() < size_t(kMaxConnections))
            return true;
        // Complete requests are served now rather than on the next turn:
        // the connections that close make room.
        if (!m_ready.empty()) {
            serveReady();
            continue;
        }
        if (!pushOutLongestWaiting(nullptr, Clock::time_point::max()) && m_ready.empty())
            return false;
    }
}

bool ListenerConnections::pushOutLongestWaiting(const PeerAddress *from, Clock::time_point deadlineBy)
{
    for (auto next = m_waiting.begin(); next != m_waiting.end() && next->deadline <= deadlineBy;) {
        Connection &c = *next++; // on before `c` moves or goes
        if (from && c.peer != *from)
            continue;
        // What it has sent meanwhile may be a whole request: that is served,
        // and the next in line goes instead.
        if (c.unsent.isEmpty()) {
            switch (readFrom(c, false)) {
            case After::Ready:
                continue;
            case After::Gone:
                return true;
            case After::Waiting:
                break;
            }
        }
        m_notes.note([&] {
            return QStringLiteral(" HTTP listener - closed the longest waiting connection of %1 to make room")
                .arg(c.peer.toString());
        });
        drop(c);
        return true;
    }
    return false;
}

ListenerConnections::After ListenerConnections::readFrom(Connection &c, bool watchOn)
{
    char buffer[4096];
    for (;;) {
        const qsizetype want = std::min<qsizetype>(qsizetype(sizeof buffer), kMaxRequestBytes + 1 - c.data.size());
        const ssize_t got = ::recv(int(c.descriptor), buffer, size_t(want), MSG_DONTWAIT);
        if (got > 0) {
            c.data.append(buffer, got);
            switch (findRequest(c)) {
            case Found::Request:
                becomeReady(c);
                return After::Ready;
            case Found::TooLarge:
                drop(c);
                return After::Gone;
            case Found::Nothing:
                continue;
            }
        }
        if (got == -1 && errno == EINTR)
            continue;
        if (got == -1 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return !watchOn || watch(c, Awaits::Reading) ? After::Waiting : After::Gone;
        }
        // The peer has finished sending (or the connection failed): a
        // request that is complete is still served.
        c.peerDone = true;
        if (got == 0 && findRequest(c) == Found::Request) {
            becomeReady(c);
            return After::Ready;
        }
        drop(c);
        return After::Gone;
    }
}

ListenerConnections::Found ListenerConnections::findRequest(Connection &c)
{
    if (c.request.length == 0) {
        // Trickled bytes are searched once: from just before the new ones.
        const qsizetype end = SendRequestParser::headEnd(c.data, c.scanned - 3);
        c.scanned = c.data.size();
        if (end >= 0)
            c.request = SendRequestParser::frame(QByteArrayView(c.data).first(end));
    }
    if (c.request.length > kMaxRequestBytes || (c.request.length == 0 && c.data.size() > kMaxRequestBytes))
        return Found::TooLarge;
    return c.request.length > 0 && c.data.size() >= c.request.length ? Found::Request : Found::Nothing;
}

bool ListenerConnections::watch(Connection &c, Awaits what)
{
    // One event, then quiet until watched again: a connection is looked at
    // only while it waits for something.
    epoll_event event{};
    event.events = (what == Awaits::Reading ? EPOLLIN : EPOLLOUT) | EPOLLONESHOT;
    event.data.ptr = &c;
    if (::epoll_ctl(m_events, c.watched ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, int(c.descriptor), &event) != 0) {
        drop(c); // no room in the set: the client sees its connection end
        return false;
    }
    c.watched = true;
    c.awaits = what;
    return true;
}

void ListenerConnections::onEvents()
{
    // One batch per turn; the notifier comes again while more are pending.
    // New connections are taken last: taking them may push out a
    // connection whose event is in the batch.
    epoll_event events[64];
    const int count = ::epoll_wait(m_events, events, 64, 0);
    m_inEvents = true;
    bool listening = false;
    for (int i = 0; i < count; ++i) {
        if (!events[i].data.ptr) {
            listening = true;
            continue;
        }
        Connection &c = *static_cast<Connection *>(events[i].data.ptr);
        const Awaits what = std::exchange(c.awaits, Awaits::Nothing);
        if (what == Awaits::Reading)
            (void)readFrom(c);
        else if (what == Awaits::Writing)
            sendOn(c);
    }
    if (listening)
        acceptSome();
    m_inEvents = false;
    // What completed in this batch is served together.
    serveReady();
}

void ListenerConnections::becomeReady(Connection &c)
{
    c.awaits = Awaits::Nothing; // the rest stays in the kernel until this one is answered
    m_ready.splice(m_ready.end(), m_waiting, c.self);
    c.ready = true;
    // Served at the end of the batch of events it came in, together with
    // whatever else completes in it; else (a request that followed another
    // on its connection) on the next turn.
    if (!m_inEvents && !m_serveScheduled) {
        m_serveScheduled = true;
        QMetaObject::invokeMethod(this, &ListenerConnections::serveTurn, Qt::QueuedConnection);
    }
}

void ListenerConnections::serveTurn()
{
    m_serveScheduled = false;
    serveReady();
}

void ListenerConnections::serveReady()
{
    // Those that completed so far; a request that follows on one of their
    // connections waits behind the others.
    if (m_ready.empty())
        return;
    std::vector<Connection *> turn;
    std::vector<SendRequestDesk::Request> requests;
    turn.reserve(m_ready.size());
    requests.reserve(m_ready.size());
    for (Connection &c : m_ready) {
        turn.push_back(&c);
        requests.push_back({QByteArrayView(c.data).first(c.request.head), c.request.keepAlive});
    }
    std::vector<QByteArray> replies = m_desk.serve(requests);
    for (size_t i = 0; i < turn.size(); ++i)
        answer(*turn[i], std::move(replies[i]));
}

void ListenerConnections::answer(Connection &c, QByteArray reply)
{
    c.answered = true;
    c.closeWhenSent = !c.request.keepAlive;
    c.data.remove(0, c.request.length);
    c.request = {};
    c.scanned = 0;
    c.unsent = std::move(reply);
    // Back among the waiting: whatever comes next has the arrival time-out.
    m_waiting.splice(m_waiting.end(), m_ready, c.self);
    c.ready = false;
    waitForRequest(c);
    sendOn(c);
}

void ListenerConnections::sendOn(Connection &c)
{
    while (!c.unsent.isEmpty()) {
        const ssize_t sent = ::send(int(c.descriptor), c.unsent.constData(), size_t(c.unsent.size()),
                                    MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent > 0) {
            c.unsent.remove(0, sent);
        } else if (sent == -1 && errno == EINTR) {
            continue;
        } else if (sent == -1 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A client that sends but does not read: the rest goes out when
            // there is room, and nothing more is read from it till then.
            (void)watch(c, Awaits::Writing);
            return;
        } else {
            return drop(c); // the peer has gone: it does not get the reply
        }
    }
    afterReply(c);
}

void ListenerConnections::afterReply(Connection &c)
{
    if (c.closeWhenSent) {
        // Unread bytes would make the close a reset, and a reset can destroy
        // the reply before the client has read it.
        char discard[4096];
        for (int i = 0; i < 16 && ::recv(int(c.descriptor), discard, sizeof discard, MSG_DONTWAIT) > 0; ++i) {
        }
        return drop(c);
    }
    switch (findRequest(c)) {
    case Found::Request:
        return becomeReady(c);
    case Found::TooLarge:
        return drop(c);
    case Found::Nothing:
        break;
    }
    if (c.peerDone)
        return drop(c);
    (void)watch(c, Awaits::Reading);
}

void ListenerConnections::drop(Connection &c)
{
    const auto count = m_perAddress.find(c.peer);
    if (count != m_perAddress.end() && --*count <= 0)
        m_perAddress.erase(count);
    if (c.answered)
        closeDescriptor(c.descriptor);
    else
        abandon(c.descriptor);
    (c.ready ? m_ready : m_waiting).erase(c.self);
}

void ListenerConnections::waitForRequest(Connection &c)
{
    c.deadline = Clock::now() + m_timeouts.requestArrival;
    if (!m_expiry.isActive())
        m_expiry.start(m_timeouts.requestArrival);
}

void ListenerConnections::expire()
{
    const Clock::time_point now = Clock::now();
    while (!m_waiting.empty() && m_waiting.front().deadline <= now)
        drop(m_waiting.front());
    if (!m_waiting.empty()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_waiting.front().deadline - now);
        m_expiry.start(left);
    }
}

} // namespace tavsms
