// The send listener's desk without sockets (what each request of a batch
// is answered, what is queued and what the debug log says), and the
// listener through real loopback sockets: what only a socket shows (order,
// framing on a connection, caps, slow clients, allowed networks, resets).
#include "AllowedNetworks.h"
#include "DebugLog.h"
#include "HttpSendListener.h"
#include "QueueLog.h"
#include "RefusalNotes.h"
#include "SendRequestDesk.h"
#include "SendRequestParser.h"
#include "SharedStore.h"
#include "Store.h"
#include "Wait.h"
#include "TestDataDirectory.h"

#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace tavsms;
using namespace std::chrono_literals;

namespace {

QHostAddress loopback(quint32 last)
{
    return QHostAddress(0x7f000000 + last);
}

// A client on a plain socket, which unlike QTcpSocket tells a reset from the
// closing handshake. What has come is taken whenever it is asked about.
class Client
{
public:
    Client(quint16 port, const QByteArray &bytes, const QHostAddress &from = loopback(1),
           const QHostAddress &to = QHostAddress::LocalHost)
    {
        const auto at = [](const QHostAddress &address, quint16 port) {
            sockaddr_in6 s{};
            s.sin6_family = AF_INET6;
            s.sin6_port = htons(port);
            const Q_IPV6ADDR bytes = address.toIPv6Address(); // IPv4 as ::ffff:a.b.c.d
            std::memcpy(&s.sin6_addr, &bytes, sizeof bytes);
            return s;
        };
        const sockaddr_in6 local = at(from, 0), remote = at(to, port);
        // A connect the listener's full backlog holds up fails instead of hanging the test.
        const timeval second{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &second, sizeof second);
        if (::bind(m_fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0
            || ::connect(m_fd, reinterpret_cast<const sockaddr *>(&remote), sizeof remote) != 0)
            qWarning("client: %s", std::strerror(errno));
        send(bytes);
    }
    ~Client() { ::close(m_fd); }
    void send(const QByteArray &bytes)
    {
        // A reset may be told here first.
        if (::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_DONTWAIT | MSG_NOSIGNAL) < 0 && errno != EAGAIN)
            take(errno);
    }
    // Once it has, end() is 0 after the closing handshake, else the error
    // (ECONNRESET after a reset).
    bool ended() { return take(), m_end >= 0; }
    bool answered() { return !replies().isEmpty(); }
    int end() const { return m_end; }
    const QByteArray &received() { return take(), m_received; }
    // The bodies of the whole replies so far.
    QByteArrayList replies()
    {
        QByteArrayList bodies;
        const QByteArray &in = received();
        for (qsizetype at = 0, head; (head = in.indexOf("\r\n\r\n", at)) >= 0;) {
            const qsizetype from = in.indexOf("Content-Length: ", at) + 16;
            const qsizetype length = in.mid(from, in.indexOf('\r', from) - from).toLongLong();
            if (in.size() < head + 4 + length)
                break;
            bodies << in.mid(head + 4, length);
            at = head + 4 + length;
        }
        return bodies;
    }

private:
    void take(int error = 0)
    {
        char buffer[4096];
        ssize_t got = -1;
        while (!error && (got = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            m_received.append(buffer, got);
        if (!error && got < 0 && errno != EAGAIN && errno != EINTR)
            error = errno;
        if (m_end < 0 && (error || got == 0))
            m_end = error;
    }

    int m_fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QByteArray m_received;
    int m_end = -1;
};
using Clients = std::vector<std::unique_ptr<Client>>;

bool all(const Clients &clients, const std::function<bool(Client &)> &is)
{
    return std::all_of(clients.begin(), clients.end(), [&](const auto &c) { return is(*c); });
}

QByteArray request(const QByteArray &message, const QByteArray &mobile = "9876543210")
{
    return "GET /?com=c&mobile=" + mobile + "&message=" + message + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

QByteArray sentTo(const QByteArray &mobile = "9876543210")
{
    return "Status:OK <br>Message Sent to " + mobile;
}

// A whole reply as the desk writes it.
QByteArray reply(const QByteArray &body, bool keepAlive = true)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: "
        + (keepAlive ? "keep-alive" : "close") + "\r\n\r\n" + body;
}

const QByteArray kWrongMobile = "<b>Error Occured:</b> " + SendRequestParser::mobileLengthError().toUtf8();

} // namespace

class TestHttpSendListener : public QObject
{
    Q_OBJECT

    test::TestDataDirectory m_dir;
    Store *m_store = nullptr;
    DebugLog m_log;
    std::unique_ptr<HttpSendListener> m_listener;
    std::unique_ptr<SendRequestDesk> m_desk;
    int m_logs = 0;

    quint16 port() const { return m_listener->port(); }
    int held() const { return m_listener->connectionCount(); }
    QStringList queued() { return test::QueueLog(m_store->db()).rows(QStringLiteral("outgoing_message")); }
    QString logText()
    {
        QFile f(m_log.path());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    // The debug log's lines, without the time each was written.
    QStringList logLines()
    {
        static const QRegularExpression time(QStringLiteral(R"(- \d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d\d:\d\d [AP]M )"));
        return logText().replace(time, QStringLiteral("- ")).split(QStringLiteral("\r\n"));
    }
    QByteArrayList serve(const QByteArrayList &heads, bool keepAlive = true)
    {
        std::vector<SendRequestDesk::Request> batch;
        for (const QByteArray &head : heads)
            batch.push_back({head, keepAlive});
        const std::vector<QByteArray> replies = m_desk->serve(batch);
        return {replies.begin(), replies.end()};
    }
    // The time-outs in use, longer than any wait here: only the tests of
    // running out shorten the arrival time-out.
    void restart(InternetTimeouts timeouts = {}, const QString &allowed = AllowedNetworks::kDefault,
                 const QHostAddress &address = QHostAddress::LocalHost)
    {
        m_listener = std::make_unique<HttpSendListener>(m_log, timeouts);
        m_listener->setStore(m_store);
        m_listener->setAllowedNetworks(*AllowedNetworks::parse(allowed));
        const QString why = m_listener->listen(0, address);
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    // Clients that send the first byte of a request and no more, held by the
    // listener once this returns; `inTurn`, each is taken before the next
    // comes, so that they wait in this order. (One that sends nothing stays
    // in the kernel: see silentConnectionsTakeNoPlace.)
    Clients dawdling(int count, const std::function<quint32(int)> &from, bool inTurn = false)
    {
        Clients out;
        const int before = held();
        for (int i = 0; i < count; ++i) {
            out.push_back(std::make_unique<Client>(port(), "G", loopback(from(i))));
            if (inTurn && !test::waitFor([&] { return held() == before + i + 1; }))
                qWarning("client %d was not taken", i);
        }
        if (!test::waitFor([&] { return held() == before + count; }))
            qWarning("the listener holds %d connections", held());
        return out;
    }

private Q_SLOTS:
    void init()
    {
        m_store = &test::freshStore();
        QVERIFY(m_log.open(m_dir.root() + QStringLiteral("/debug%1.txt").arg(++m_logs)).isEmpty());
        m_desk = std::make_unique<SendRequestDesk>(m_log);
        m_desk->setStore(m_store);
        restart();
    }
    void cleanup() { m_listener.reset(); }

    // Quotes, a trailing percent sign, a line break and outer spaces: the row
    // has the message decoded and trimmed, the log line as decoded, on one line.
    void requestIsAnsweredQueuedAndLogged_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<bool>("keepAlive");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("rows"); // mobile|message|route|status
        QTest::addColumn<QString>("logged");
        QTest::newRow("sent") << request("Hello%20World", "9876543210") << true
                              << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 40\r\nConnection: keep-alive\r\n\r\n"
                                            "Status:OK <br>Message Sent to 9876543210")
                              << QStringList{"9876543210|Hello World|Auto|Pending"}
                              << "HTTP MSG Sent - Mobile= 9876543210 Message= Hello World";
        QTest::newRow("decoded") << request("%20don%27t%20say%20%22no%22%0D%0A50%%20", "9876543210") << false
                                 << reply(sentTo(), false)
                                 << QStringList{"9876543210|don't say \"no\"\r\n50%|Auto|Pending"}
                                 << "HTTP MSG Sent - Mobile= 9876543210 Message=  don't say \"no\"\\r\\n50% ";
        QTest::newRow("refused") << request("Hello%20World", "98765") << false << reply(kWrongMobile, false)
                                 << QStringList() << "HTTP MSG Failed - Mobile= 98765 Message= Hello World Error= "
                + SendRequestParser::mobileLengthError();
    }
    void requestIsAnsweredQueuedAndLogged()
    {
        QFETCH(QByteArray, head);
        QFETCH(bool, keepAlive);
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, rows);
        QFETCH(QString, logged);
        QCOMPARE(serve({head}, keepAlive), QByteArrayList{reply});
        QCOMPARE(test::QueueLog(m_store->db()).rows(QStringLiteral("outgoing_mobileNo, outgoing_message, com_port, status")),
                 rows);
        QCOMPARE(logLines(), (QStringList{logged, QString()}));
    }

    // A batch is queued in one transaction. When its commit fails, none is
    // answered as queued before each has been queued alone: only the one
    // that fails itself is refused, and the replies keep the batch's order.
    // When an insert is refused, the rows before it stay queued, once.
    void batchIsAnsweredOnlyAsCommitted_data()
    {
        QTest::addColumn<QString>("fault");
        // A row for 9000000000 breaks a deferred rule: its insert passes
        // inside a transaction and the commit fails.
        QTest::newRow("commit refused") << QStringLiteral(
            "PRAGMA foreign_keys = ON;"
            "CREATE TABLE known (id INTEGER PRIMARY KEY);"
            "CREATE TABLE checked (ref INTEGER REFERENCES known (id) DEFERRABLE INITIALLY DEFERRED);"
            "CREATE TRIGGER refused AFTER INSERT ON q_logs WHEN NEW.outgoing_mobileNo = '9000000000' "
            "BEGIN INSERT INTO checked VALUES (1); END;");
        QTest::newRow("insert refused") << QStringLiteral(
            "CREATE TABLE known (id INTEGER PRIMARY KEY); CREATE TABLE checked (ref INTEGER);"
            "CREATE TRIGGER refused BEFORE INSERT ON q_logs WHEN NEW.outgoing_mobileNo = '9000000000' "
            "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    }
    void batchIsAnsweredOnlyAsCommitted()
    {
        QFETCH(QString, fault);
        m_store->db().execScript(fault);
        const auto undo = qScopeGuard([this] {
            m_store->db().execScript(QStringLiteral("DROP TRIGGER refused; DROP TABLE checked; DROP TABLE known;"));
        });
        const QByteArrayList replies = serve({request("m0", "9876543210"), request("m1", "98765"),
                                              request("m2", "9000000000"), request("m3", "9876543213")});
        QCOMPARE(replies.size(), 4);
        QCOMPARE(replies[0], reply(sentTo()));
        QCOMPARE(replies[1], reply(kWrongMobile));
        QVERIFY2(replies[2].contains("<b>Error Occured:</b> The message to 9000000000 could not be queued: "),
                 replies[2].constData());
        QCOMPARE(replies[3], reply(sentTo("9876543213")));
        QCOMPARE(queued(), (QStringList{"m0", "m3"}));
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 5);
        for (int i = 0; i < 4; ++i)
            QVERIFY2(lines[i].startsWith(i % 3 == 0 ? "HTTP MSG Sent - " : "HTTP MSG Failed - ")
                         && lines[i].contains(QStringLiteral("Message= m%1").arg(i)),
                     qPrintable(lines[i]));
    }

    void withoutAStoreNothingIsQueued()
    {
        m_desk->setStore(nullptr);
        QCOMPARE(serve({request("hi", "9876543210"), request("hi", "98765")}),
                 (QByteArrayList{reply("<b>Error Occured:</b> The message store is not open."), reply(kWrongMobile)}));
        QCOMPARE(queued(), QStringList());
    }

    // Each request is served when it is complete, not when its connection
    // came: a connection that says next to nothing, or half, holds up nobody.
    void requestsAreServedInTheOrderTheyCompleted()
    {
        Client silent(port(), "G");
        Client half(port(), "GET /?com=c&mobile=9876543210&message=first");
        WAIT_COMPARE(held(), 2);
        const auto mobile = [](int i) { return QByteArray::number(9876543200LL + i); };
        Clients clients;
        for (int i = 0; i < 12; ++i) // from four addresses, below the cap per address
            clients.push_back(std::make_unique<Client>(port(), request("m", mobile(i)), loopback(2 + i % 4)));
        WAIT_VERIFY(all(clients, &Client::answered));
        for (int i = 0; i < 12; ++i)
            QCOMPARE(clients[size_t(i)]->replies(), QByteArrayList{sentTo(mobile(i))});
        QVERIFY(!silent.ended() && !half.ended());
        half.send(" HTTP/1.1\r\n\r\n");
        WAIT_VERIFY(half.answered());
        QCOMPARE(queued().size(), 13);
        QCOMPARE(queued().last(), QStringLiteral("first"));
    }

    // Requests sent back to back on one connection (one with a body to skip),
    // and one more later, are each answered in turn on it.
    void everyRequestOnAConnectionIsAnsweredInOrder()
    {
        Client c(port(), request("one", "9876543211") + request("two", "98765")
                             + "POST /?com=c&mobile=9876543213&message=three HTTP/1.1\r\nContent-Length: 9\r\n\r\nGET / x\r\n"
                             + request("four", "9876543214"));
        WAIT_COMPARE(c.replies().size(), 4);
        c.send(request("five", "9876543215"));
        WAIT_COMPARE(c.replies().size(), 5);
        QCOMPARE(c.replies(), (QByteArrayList{sentTo("9876543211"),
                                              "<b>Error Occured:</b> Wrong number of arguments passed. Mobile number "
                                              "should be 10 digit long only.",
                                              sentTo("9876543213"), sentTo("9876543214"), sentTo("9876543215")}));
        QCOMPARE(queued(), (QStringList{"one", "three", "four", "five"}));
    }

    // A connection is closed after the reply, gently, when the client asks or
    // speaks HTTP/1.0 without asking to keep it; what it sent after is ignored.
    void clientSaysWhetherTheConnectionStays_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<bool>("stays");
        QTest::newRow("1.1") << QByteArray("HTTP/1.1\r\nHost: x") << true;
        QTest::newRow("1.1, close") << QByteArray("HTTP/1.1\r\nConnection: close") << false;
        QTest::newRow("1.0") << QByteArray("HTTP/1.0\r\nHost: x") << false;
        QTest::newRow("1.0, keep-alive") << QByteArray("HTTP/1.0\r\nconnection: Keep-Alive") << true;
    }
    void clientSaysWhetherTheConnectionStays()
    {
        QFETCH(QByteArray, head);
        QFETCH(bool, stays);
        Client c(port(), "GET /?com=c&mobile=9876543210&message=first " + head + "\r\n\r\n" + request("second"));
        WAIT_VERIFY(c.replies().size() == 2 || c.ended());
        QCOMPARE(c.replies().size(), stays ? 2 : 1);
        QCOMPARE(c.end(), stays ? -1 : 0);
        QVERIFY(c.received().startsWith("HTTP/1.1 200 OK\r\nContent-Length: 40\r\nConnection: "
                                        + QByteArray(stays ? "keep-alive" : "close") + "\r\n\r\n" + sentTo()));
        QCOMPARE(queued(), stays ? (QStringList{"first", "second"}) : QStringList{"first"});
    }

    // A request that arrives in pieces is answered wherever it was cut, the
    // empty line that ends it included.
    void requestInPiecesIsAnswered_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("cut"); // bytes from the end
        for (int cut : {1, 2, 3, 4, 5, 40})
            QTest::addRow("CR LF, %d from the end", cut) << request("pieces") << cut;
        for (int cut : {1, 2})
            QTest::addRow("LF, %d from the end", cut)
                << QByteArray("GET /?com=c&mobile=9876543210&message=pieces HTTP/1.1\nHost: x\n\n") << cut;
    }
    void requestInPiecesIsAnswered()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, cut);
        Client c(port(), request.chopped(cut));
        WAIT_COMPARE(held(), 1); // taken once its first bytes came, and read then
        c.send(request.right(cut));
        WAIT_VERIFY(c.answered());
        QCOMPARE(c.replies().size(), 1);
        QCOMPARE(queued(), QStringList{"pieces"});
    }

    // More than 8 KiB, head or body, is reset unanswered, as is a request
    // whose client goes away before it is whole; one that is whole is served
    // even when its client has gone. Nothing stops the listening.
    void oversizedOrBrokenOffRequests_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("hangUp"); // the client goes away once it has sent them
        QTest::addColumn<bool>("served");
        const QByteArray head = "GET /?com=c&mobile=9876543210&message=sized HTTP/1.1\r\nX: ";
        const auto sized = [&](qsizetype size) { return head + QByteArray(size - head.size() - 4, 'x') + "\r\n\r\n"; };
        QTest::newRow("8 KiB") << sized(8 * 1024) << false << true;
        QTest::newRow("8 KiB and a byte") << sized(8 * 1024 + 1) << false << false;
        QTest::newRow("body past 8 KiB") << "POST" + head.sliced(3) + "\r\nContent-Length: 8192\r\n\r\n" << false << false;
        QTest::newRow("a megabyte") << head + QByteArray(1 << 20, 'a') << false << false;
        QTest::newRow("half, then gone") << head << true << false;
        QTest::newRow("whole, then gone") << request("sized") << true << true;
    }
    void oversizedOrBrokenOffRequests()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, hangUp);
        QFETCH(bool, served);
        auto c = std::make_unique<Client>(port(), bytes);
        if (hangUp) {
            WAIT_COMPARE(held(), 1);
            c.reset();
            WAIT_COMPARE(held(), 0);
        } else {
            WAIT_VERIFY(c->ended() || c->answered());
            QCOMPARE(c->end(), served ? -1 : ECONNRESET);
            QCOMPARE(c->received().isEmpty(), !served);
        }
        QCOMPARE(queued(), served ? QStringList{"sized"} : QStringList());
        Client next(port(), request("next"));
        WAIT_VERIFY(next.answered());
    }

    // Twenty that said a byte and nothing more and three sending a byte at a
    // time hold up nobody: a good request behind them is answered while they
    // are all still open. They are reset when their time is up; the good
    // client's connection, kept and left idle, is closed then too.
    void dawdlingClientsHoldUpNobody()
    {
        restart({.requestArrival = 500ms});
        // From addresses of their own: a cap per address is another test's matter.
        Clients others = dawdling(23, [](int i) { return 16 + i / 4; });
        const QByteArray slow = request("slow");
        qsizetype dripped = 1; // the "G" is out already
        QTimer drip;
        connect(&drip, &QTimer::timeout, this, [&] {
            for (size_t i = 20; i < others.size(); ++i)
                others[i]->send(slow.mid(dripped, 1));
            ++dripped;
        });
        drip.start(20);

        Client good(port(), request("good"));
        WAIT_VERIFY(good.answered());
        QVERIFY(all(others, [](Client &c) { return !c.ended(); }));
        WAIT_VERIFY(all(others, &Client::ended));
        QVERIFY(all(others, [](Client &c) { return c.end() == ECONNRESET && c.received().isEmpty(); }));
        QVERIFY(dripped < slow.size());
        WAIT_VERIFY(good.ended());
        QCOMPARE(good.end(), 0);
        QCOMPARE(good.replies().size(), 1);
        QCOMPARE(queued(), QStringList{"good"});
    }

    // Eight connections from one address have waited past the grace for
    // their requests: a ninth from there pushes out the one that has waited
    // longest and is served; another address is not counted against it. One
    // that has sent its request by then is served instead.
    void connectionsPerAddressAreCapped()
    {
        restart({.promptRequest = 0ms});
        Clients idle = dawdling(8, [](int) { return 1; }, true);
        idle[0]->send(request("first").mid(1));
        Client ninth(port(), request("ninth"));
        WAIT_VERIFY(ninth.answered() && idle[0]->answered());
        // Pushed out when the ninth came, before it was answered.
        QVERIFY(idle[1]->ended() && idle[1]->received().isEmpty());

        Client other(port(), request("other"), loopback(2));
        WAIT_VERIFY(other.answered());
        QCOMPARE(held(), 9); // the six left idle, the first, the ninth and the other
        QCOMPARE(queued(), (QStringList{"first", "ninth", "other"}));
        QVERIFY(logText().contains(" HTTP listener - closed the longest waiting connection of 127.0.0.1 to make room\r\n"));
    }

    // 256 connections from 32 addresses are waiting, none for long: one more
    // pushes out the one that has waited longest, and is served.
    void connectionsInAllAreCapped()
    {
        Clients first = dawdling(1, [](int) { return 0x101; });
        Clients idle = dawdling(255, [](int i) { return 0x101 + (i + 1) / 8; });
        Client good(port(), request("good"));
        WAIT_VERIFY(good.answered());
        QVERIFY(first[0]->ended()); // pushed out when the good one came
        QCOMPARE(held(), 256);
        QCOMPARE(queued(), QStringList{"good"});
    }

    // Connections that send nothing are not handed to the listener before
    // the arrival time-out: more of them than the cap in all push out
    // nobody, and a good client is served beside them.
    void silentConnectionsTakeNoPlace()
    {
        Clients silent;
        for (int i = 0; i < 260; ++i)
            silent.push_back(std::make_unique<Client>(port(), QByteArray(), loopback(0x101 + i / 8)));
        Client good(port(), request("good"));
        WAIT_VERIFY(good.answered());
        // Past the kernel's backlog a few may come in, and take their places.
        QVERIFY(held() < ListenerConnections::kMaxConnections);
        QVERIFY(all(silent, [](Client &c) { return !c.ended(); }));
        QVERIFY2(!logText().contains("to make room"), qPrintable(logText()));
    }

    // A client with more connections at once than the cap per address,
    // none of them old, loses none: with ab -c 16 the sixteen connections
    // come before their requests do.
    void promptClientMayExceedTheCapPerAddress()
    {
        Clients clients = dawdling(12, [](int) { return 1; });
        for (int i = 0; i < 12; ++i)
            clients[size_t(i)]->send(request("m" + QByteArray::number(i)).mid(1));
        WAIT_VERIFY(all(clients, &Client::answered));
        QCOMPARE(queued().size(), 12);
    }

    // Clients outside the allowed networks are reset before anything is read.
    // A listener on every interface has one socket for IPv4 and IPv6, which
    // sees an IPv4 client as ::ffff:a.b.c.d: IPv4 entries match it. A flood
    // of refusals writes one line, then a count per window.
    void onlyAllowedNetworksAreServed()
    {
        restart({.refusalReport = 100ms}, "127.0.0.2/31, ::1", QHostAddress::Any);
        Clients outside;
        for (int i = 0; i < 20; ++i)
            outside.push_back(std::make_unique<Client>(port(), request("outside")));
        Client inside(port(), request("inside"), loopback(3));
        Client six(port(), request("six"), QHostAddress::LocalHostIPv6, QHostAddress::LocalHostIPv6);
        WAIT_VERIFY(all(outside, &Client::ended));
        QVERIFY(all(outside, [](Client &c) { return c.end() == ECONNRESET && c.received().isEmpty(); }));
        WAIT_VERIFY(inside.answered() && six.answered());
        QCOMPARE(queued(), (QStringList{"inside", "six"}));

        static const QRegularExpression more(QStringLiteral(" HTTP listener - (\\d+) more connections refused"));
        const auto counted = [&] {
            int sum = 0;
            for (auto m = more.globalMatch(logText()); m.hasNext();)
                sum += m.next().captured(1).toInt();
            return sum;
        };
        WAIT_COMPARE(counted(), 19);
        QCOMPARE(logText().count(" HTTP listener - refused 127.0.0.1: not in the allowed networks\r\n"), 1);
    }

    // A window without refusals ends the counting: the next has its line.
    void refusalLineAgainAfterAQuietWindow()
    {
        RefusalNotes notes(m_log, 50ms);
        int composed = 0;
        const auto note = [&] { notes.note([&] { return QStringLiteral(" refused %1").arg(++composed); }); };
        for (int i = 0; i < 3; ++i)
            note();
        QCOMPARE(composed, 1); // the others are counted, not composed
        WAIT_VERIFY(logText().endsWith(" HTTP listener - 2 more connections refused or closed to make room\r\n"));
        WAIT_VERIFY(notes.quiet());
        note();
        QVERIFY(logText().endsWith(" refused 2\r\n"));
        QCOMPARE(logText().count("\r\n"), 3);
    }
};

QTEST_GUILESS_MAIN(TestHttpSendListener)
#include "tst_httpsendlistener.moc"
