// The send listener under ApacheBench: starts the listener on a free
// loopback port with a fresh database, runs `ab -n N -c C` against it (a new
// connection per request) while the event loop serves, and prints the rate,
// the failed requests and how many rows were committed.
//
// With --idle, --partial or --slow, a thread of this program plays a flood
// while ab runs: it holds that many connections that say nothing, that send
// the start of a request and nothing more (as a slow-loris client does), and
// that send a request a byte a second; each is reopened at once when the
// listener closes it. The idle and partial ones come from 127.0.0.2,
// 127.0.0.3, ... eight to an address (all of 127/8 is loopback on Linux),
// except the first --own of them, which come from ab's own address
// 127.0.0.1. ab is then told to go on past a connection the listener has
// closed (-r), so that what the good client saw is counted, not cut short.
//
//   bench_listener [requests] [-c C] [--idle N] [--partial N] [--slow N] [--own N]
//   (default 5000 requests, -c 1; needs `ab`, package apache2-utils)
// Exits non-zero unless every request of ab has its committed row.
#include "DebugLog.h"
#include "HttpSendListener.h"
#include "Store.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace tavsms;

namespace {

// The flood: plain non-blocking sockets on a thread of their own, so that
// the listener's thread does nothing for it but what the listener does.
class Flood
{
public:
    enum class Kind { Idle, Partial, Slow };

    Flood(quint16 port, int idle, int partial, int slow, int own)
        : m_port(port)
    {
        // The first `own` of the idle or partial ones come from ab's address,
        // the rest eight to an address from 127.0.0.2 on.
        const int many = idle + partial;
        for (int i = 0; i < many; ++i)
            m_conns.push_back({-1, i < own ? 0x7f000001u : 0x7f000002u + quint32((i - own) / 8),
                               i < idle ? Kind::Idle : Kind::Partial, 0});
        for (int i = 0; i < slow; ++i)
            m_conns.push_back({-1, 0x7f0000feu, Kind::Slow, 0});
    }
    ~Flood() { stop(); }

    void start()
    {
        m_set = ::epoll_create1(EPOLL_CLOEXEC);
        for (size_t i = 0; i < m_conns.size(); ++i)
            open(i);
        m_thread = std::thread([this] { run(); });
    }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        for (Conn &c : m_conns)
            if (c.fd >= 0)
                ::close(c.fd);
        m_conns.clear();
        if (m_set >= 0)
            ::close(m_set);
        m_set = -1;
    }
    long reopened() const { return m_reopened; }

private:
    struct Conn
    {
        int fd;
        quint32 from;
        Kind kind;
        int sent; // bytes of its request sent so far
    };

    static constexpr char kRequest[] = "GET /?com=c&mobile=9876543210&message=slow HTTP/1.1\r\n\r\n";
    // What a slow-loris client sends at once: the start of a request.
    static constexpr int kPartial = 20;

    void open(size_t index)
    {
        Conn &c = m_conns[index];
        c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        c.sent = 0;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(c.from);
        ::bind(c.fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        a.sin_addr.s_addr = htonl(0x7f000001u);
        a.sin_port = htons(m_port);
        ::connect(c.fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        epoll_event event{};
        // A partial one sends its start once connected.
        event.events = EPOLLIN | EPOLLRDHUP | (c.kind == Kind::Partial ? EPOLLOUT : 0u);
        event.data.u64 = index;
        ::epoll_ctl(m_set, EPOLL_CTL_ADD, c.fd, &event);
    }

    void run()
    {
        auto nextDrip = std::chrono::steady_clock::now();
        epoll_event events[256];
        char buffer[512];
        while (!m_stop) {
            const int count = ::epoll_wait(m_set, events, 256, 50);
            for (int e = 0; e < count; ++e) {
                const size_t index = events[e].data.u64;
                Conn &c = m_conns[index];
                if (events[e].events & EPOLLOUT) {
                    if (::send(c.fd, kRequest, kPartial, MSG_DONTWAIT | MSG_NOSIGNAL) == kPartial)
                        c.sent = kPartial;
                    epoll_event event{};
                    event.events = EPOLLIN | EPOLLRDHUP;
                    event.data.u64 = index;
                    ::epoll_ctl(m_set, EPOLL_CTL_MOD, c.fd, &event);
                }
                if (!(events[e].events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)))
                    continue;
                const ssize_t got = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                    ::close(c.fd); // leaves the set with it
                    open(index);
                    ++m_reopened;
                }
            }
            if (std::chrono::steady_clock::now() >= nextDrip) {
                nextDrip += std::chrono::seconds(1);
                for (Conn &c : m_conns)
                    if (c.kind == Kind::Slow && c.sent < int(sizeof kRequest) - 1
                        && ::send(c.fd, kRequest + c.sent, 1, MSG_DONTWAIT | MSG_NOSIGNAL) == 1)
                        ++c.sent;
            }
        }
    }

    quint16 m_port;
    std::vector<Conn> m_conns;
    int m_set = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<long> m_reopened{0};
};

int option(const QStringList &args, const QString &name, int otherwise)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : otherwise;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int requests = args.size() > 1 && !args.at(1).startsWith(QLatin1Char('-')) ? args.at(1).toInt() : 5000;
    const int concurrency = option(args, QStringLiteral("-c"), 1);
    const int idle = option(args, QStringLiteral("--idle"), 0);
    const int slow = option(args, QStringLiteral("--slow"), 0);
    const int partial = option(args, QStringLiteral("--partial"), 0);
    const int own = option(args, QStringLiteral("--own"), 0);
    const QString ab = QStandardPaths::findExecutable(QStringLiteral("ab"));
    if (ab.isEmpty()) {
        std::fprintf(stderr, "ab not found (Debian package apache2-utils)\n");
        return 2;
    }

    QTemporaryDir dir;
    Store store(dir.filePath(QStringLiteral("tavsms.mdb")));
    DebugLog log;
    log.open(dir.filePath(QStringLiteral("debug.txt")));
    HttpSendListener listener(log);
    listener.setStore(&store);
    if (const QString why = listener.listen(0, QHostAddress::LocalHost); !why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }

    Flood flood(listener.port(), idle, partial, slow, own);
    const bool flooded = idle + partial + slow > 0;
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    const QString url = QStringLiteral("http://127.0.0.1:%1/?com=COM1&mobile=9876543210&message=Hello%20World")
                            .arg(listener.port());
    QStringList abArgs{QStringLiteral("-q"), QStringLiteral("-n"), QString::number(requests), QStringLiteral("-c"),
                       QString::number(concurrency)};
    if (flooded)
        abArgs << QStringLiteral("-r");
    abArgs << url;
    QObject::connect(&client, &QProcess::finished, &app, [&app] { app.quit(); });
    if (flooded) {
        flood.start();
        // Let the flood fill the listener before the good client comes.
        QTimer::singleShot(1000, &app, [&] { client.start(ab, abArgs); });
    } else {
        client.start(ab, abArgs);
    }
    app.exec();
    const long reopened = flood.reopened();
    flood.stop();

    const QString out = QString::fromLocal8Bit(client.readAll());
    const auto figure = [&out](const char *pattern) {
        const auto m = QRegularExpression(QString::fromLatin1(pattern)).match(out);
        return m.hasMatch() ? m.captured(1) : QStringLiteral("?");
    };
    const qint64 rows = store.db().scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Pending' "
                                                         "AND outgoing_message = 'Hello World'"))
                            .toLongLong();
    const QString failed = figure(R"(Failed requests:\s+(\d+))");
    std::printf("tavsms listener: %s requests/s (ab -n %d -c %d), failed requests %s, committed rows %lld",
                qPrintable(figure(R"(Requests per second:\s+([\d.]+))")), requests, concurrency, qPrintable(failed),
                rows);
    if (flooded)
        std::printf(", beside %d idle, %d partial (%d of them from ab's address) and %d slow connections, "
                    "reopened %ld times",
                    idle, partial, own, slow, reopened);
    std::printf("\n");
    // Under a flood a request the listener turned away is a failed request
    // of ab's, and has no row; every answered one must have its row.
    const bool allCommitted = flooded ? rows == requests - failed.toLongLong() : rows == requests;
    if (client.exitCode() != 0 || !allCommitted)
        std::fprintf(stderr, "%s\n", qPrintable(out));
    return client.exitCode() == 0 && allCommitted ? 0 : 1;
}
