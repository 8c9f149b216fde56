// The send listener through real loopback sockets.
#include "AllowedNetworks.h"
#include "DebugLog.h"
#include "HttpSendListener.h"
#include "SendRequestParser.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTimer>
#include <QTest>

using namespace tavsms;
using namespace std::chrono_literals;

namespace {

// Events in the order the test saw them, to tell what came before what.
int g_clock = 0;

// A client that sends its bytes and collects everything the server sends.
struct Client
{
    QTcpSocket socket;
    QByteArray received;
    bool closed = false;
    int firstBytesAt = 0; // g_clock when something first came
    int closedAt = 0;

    explicit Client(quint16 port, const QHostAddress &from = {}, const QHostAddress &to = QHostAddress::LocalHost)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] {
            received += socket.readAll();
            if (!firstBytesAt)
                firstBytesAt = ++g_clock;
        });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] {
            if (socket.isOpen()) // else closed by this side
                received += socket.readAll();
            closed = true;
            closedAt = ++g_clock;
        });
        if (!from.isNull())
            socket.bind(from);
        socket.connectToHost(to, port);
    }
    void send(const QByteArray &bytes) { socket.write(bytes); }
    bool connected() const { return socket.state() == QAbstractSocket::ConnectedState; }
    // Still open when `event` happened.
    bool openAt(int event) const { return !closed || closedAt > event; }
};

struct Reply
{
    QByteArray statusLine;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

// The whole replies in what a client received. A reply without a length
// runs to the end of the connection.
QList<Reply> repliesIn(const QByteArray &stream, bool closed)
{
    QList<Reply> out;
    qsizetype at = 0;
    while (at < stream.size()) {
        const qsizetype headEnd = stream.indexOf("\r\n\r\n", at);
        if (headEnd < 0)
            break;
        Reply r;
        const QList<QByteArray> lines = stream.mid(at, headEnd - at).split('\n');
        r.statusLine = lines.first().trimmed();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            r.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype bodyAt = headEnd + 4;
        if (r.headers.contains("content-length")) {
            const qsizetype length = r.headers.value("content-length").toLongLong();
            if (stream.size() < bodyAt + length)
                break;
            r.body = stream.mid(bodyAt, length);
            at = bodyAt + length;
        } else {
            if (!closed)
                break;
            r.body = stream.mid(bodyAt);
            at = stream.size();
        }
        out << r;
    }
    return out;
}

QList<Reply> repliesOf(const Client &c)
{
    return repliesIn(c.received, c.closed);
}

QByteArray requestFor(const QByteArray &target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: test\r\n\r\n";
}

} // namespace

class TestHttpSendListener : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestDataDirectory> m_dir;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<DebugLog> m_log;
    std::unique_ptr<HttpSendListener> m_listener;

    quint16 port() const { return m_listener->port(); }
    qint64 rows() { return m_store->db().scalar(QStringLiteral("SELECT count(*) FROM q_logs")).toLongLong(); }
    QString logText()
    {
        QFile f(m_log->path());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    // The body of the reply to what one connection sends; empty when the
    // listener closes it unanswered.
    QByteArray exchange(const QByteArray &bytes)
    {
        Client c(port());
        c.send(bytes);
        if (!QTest::qWaitFor([&] { return c.closed || !repliesOf(c).isEmpty(); }, 5000))
            qWarning("the listener neither answered nor closed the connection");
        const QList<Reply> replies = repliesOf(c);
        return replies.isEmpty() ? QByteArray() : replies.first().body;
    }

    void restart(InternetTimeouts timeouts, const QString &allowed = AllowedNetworks::kDefault,
                 const QHostAddress &address = QHostAddress::LocalHost)
    {
        m_listener = std::make_unique<HttpSendListener>(*m_log, timeouts);
        m_listener->setStore(m_store.get());
        m_listener->setAllowedNetworks(*AllowedNetworks::parse(allowed));
        const QString why = m_listener->listen(0, address);
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    // A listener with a longer arrival time-out, for tests that open many
    // connections before the one that matters.
    void restartWithArrival(std::chrono::milliseconds arrival, std::chrono::milliseconds prompt = 100ms)
    {
        InternetTimeouts timeouts;
        timeouts.requestArrival = arrival;
        timeouts.promptRequest = prompt;
        restart(timeouts);
    }
    // Opens clients that send the first byte of a request and no more, one
    // after another, each taken by the listener before the next comes, so
    // that it sees them in this order. (One that sends nothing at all stays
    // in the kernel: see silentConnectionsTakeNoPlace.)
    std::vector<std::unique_ptr<Client>> openDawdling(int count, const std::function<QHostAddress(int)> &from)
    {
        std::vector<std::unique_ptr<Client>> out;
        for (int i = 0; i < count; ++i) {
            out.push_back(std::make_unique<Client>(port(), from(i)));
            out.back()->send("G");
            if (!QTest::qWaitFor([&] { return out.back()->connected() && out.back()->socket.bytesToWrite() == 0; }, 5000))
                qWarning("client %d did not connect", i);
            QTest::qWait(2);
        }
        return out;
    }
    QStringList queuedMessages()
    {
        QStringList out;
        Statement st = m_store->db().prepare(QStringLiteral("SELECT outgoing_message FROM q_logs ORDER BY id"));
        while (st.next())
            out << st.text(QStringLiteral("outgoing_message"));
        return out;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        m_store = std::make_unique<Store>(m_dir->root() + QStringLiteral("/l.mdb"));
        m_log = std::make_unique<DebugLog>();
        QVERIFY(m_log->open(m_dir->root() + QStringLiteral("/debug.txt")).isEmpty());
        InternetTimeouts timeouts;
        timeouts.requestArrival = 400ms;
        m_listener = std::make_unique<HttpSendListener>(*m_log, timeouts);
        m_listener->setStore(m_store.get());
        const QString why = m_listener->listen(0, QHostAddress::LocalHost);
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    void cleanup()
    {
        m_listener.reset();
        m_log.reset();
        m_store.reset();
        m_dir.reset();
    }

    void validRequestIsQueuedForAutoAnsweredAndLogged()
    {
        Client c(port());
        c.send(requestFor("/?com=COM1&mobile=9876543210&message=Hello%20World"));
        QVERIFY(QTest::qWaitFor([&] { return !repliesOf(c).isEmpty(); }, 5000));
        QCOMPARE(c.received, QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 40\r\nConnection: keep-alive\r\n\r\n"
                                        "Status:OK <br>Message Sent to 9876543210"));
        QCOMPARE(rows(), 1);
        const auto row = m_store->queue().nextDueForGateway(QDateTime::currentDateTime().addSecs(1));
        QVERIFY(row);
        QCOMPARE(row->comPort, QStringLiteral("Auto"));
        QCOMPARE(row->mobileNo, QStringLiteral("9876543210"));
        QCOMPARE(row->message, QStringLiteral("Hello World"));
        QCOMPARE(row->status, QStringLiteral("Pending"));
        const QRegularExpression line(QStringLiteral(
            R"(^HTTP MSG Sent - \d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d\d:\d\d [AP]M Mobile= 9876543210 Message= Hello World\r\n$)"));
        QVERIFY2(line.match(logText()).hasMatch(), qPrintable(logText()));
    }

    void listedCasesThroughTheSocket_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("error"); // empty: accepted
        QTest::addColumn<QString>("queued");
        const QByteArray n = "9876543210";
        const QByteArray a131(131, 'a');
        QTest::newRow("hello world") << "/?com=COM1&mobile=" + n + "&message=Hello%20World" << QString()
                                     << QStringLiteral("Hello World");
        QTest::newRow("five-character mobile") << QByteArray("/?com=COM1&mobile=98765&message=Hello%20World")
                                               << SendRequestParser::mobileLengthError() << QString();
        QTest::newRow("131 accepted") << "/?com=1&mobile=" + n + "&message=" + a131 << QString() << QString(a131);
        QTest::newRow("132 refused") << "/?com=1&mobile=" + n + "&message=b" + a131
                                     << SendRequestParser::messageLengthError(132) << QString();
        QTest::newRow("%20 counts once") << "/?com=1&mobile=" + n + "&message=" + a131.left(129) + "%20b" << QString()
                                         << QString(a131.left(129)) + QStringLiteral(" b");
        QTest::newRow("empty message") << "/?com=1&mobile=" + n + "&message=" << SendRequestParser::messageLengthError(0)
                                       << QString();
        QTest::newRow("too long and wrong mobile") << "/?com=1&mobile=12&message=" + a131 + "bb"
                                                   << SendRequestParser::messageLengthError(133) << QString();
        QTest::newRow("two parameters") << "/?mobile=" + n + "&message=Hi" << SendRequestParser::parameterCountError()
                                        << QString();
        QTest::newRow("two plus x=1") << "/?mobile=" + n + "&message=Hi&x=1" << QString() << QStringLiteral("Hi");
        QTest::newRow("any order, fourth ignored") << "/?message=Hi&com=c&mobile=" + n + "&message=no" << QString()
                                                   << QStringLiteral("Hi");
        QTest::newRow("plus, %2b, %0D%0A") << "/?com=1&mobile=" + n + "&message=a+b%2bc%0D%0Ad" << QString()
                                           << QStringLiteral("a+b%2bc\r\nd");
        QTest::newRow("upper-case %2B") << "/?com=1&mobile=" + n + "&message=1%2B1%3D2" << QString()
                                        << QStringLiteral("1+1=2");
        QTest::newRow("com not validated") << "/?com=%%%&mobile=" + n + "&message=x" << QString() << QStringLiteral("x");
        QTest::newRow("longer path") << "/send?message=Hi&com=1&mobile=" + n << SendRequestParser::messageLengthError(0)
                                     << QString();
    }
    void listedCasesThroughTheSocket()
    {
        QFETCH(QByteArray, target);
        QFETCH(QString, error);
        QFETCH(QString, queued);
        const QByteArray reply = exchange(requestFor(target));
        if (error.isEmpty()) {
            QCOMPARE(reply, SendRequestDesk::successText(QString::fromLatin1(target.mid(target.indexOf("mobile=") + 7, 10))));
            QCOMPARE(rows(), 1);
            QCOMPARE(m_store->queue().row(1)->message, queued);
        } else {
            QCOMPARE(reply, SendRequestDesk::failureText(error));
            QCOMPARE(rows(), 0);
        }
    }

    void messageIsQueuedAsDecodedAndTrimmed()
    {
        // Quotes, a trailing percent sign, a line break and outer spaces.
        exchange(requestFor("/?com=x&mobile=9876543210&message=%20don%27t%20say%20%22no%22%0D%0A50%%20"));
        const auto row = m_store->queue().row(1);
        QVERIFY(row);
        QCOMPARE(row->message, QStringLiteral("don't say \"no\"\r\n50%"));
        // The line break stays inside the one line logged for it.
        QCOMPARE(logText().count(QStringLiteral("\r\n")), 1);
        QVERIFY2(logText().contains(QStringLiteral(" Message=  don't say \"no\"\\r\\n50% \r\n")), qPrintable(logText()));
    }

    void refusedRequestIsAnsweredLoggedAndNotQueued()
    {
        const QByteArray reply = exchange(requestFor("/?com=COM1&mobile=98765&message=Hello%20World"));
        QCOMPARE(reply, QByteArray("<b>Error Occured:</b> ") + SendRequestParser::mobileLengthError().toUtf8());
        QCOMPARE(rows(), 0);
        QVERIFY2(logText().contains(QStringLiteral(" Mobile= 98765 Message= Hello World Error= ")
                                    + SendRequestParser::mobileLengthError() + QStringLiteral("\r\n")),
                 qPrintable(logText()));
        QVERIFY(logText().startsWith(QStringLiteral("HTTP MSG Failed - ")));
    }

    // Each request is served when it is complete, not when its connection
    // came: a connection that says next to nothing, or half, holds up nobody.
    void requestsAreServedInTheOrderTheyCompleted()
    {
        restartWithArrival(3s);
        Client silent(port());
        silent.send("G");
        Client half(port());
        half.send("GET /?com=c&mobile=9876543210&message=first");
        QVERIFY(QTest::qWaitFor([&] { return half.connected(); }, 5000));
        QTest::qWait(50);
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 12; ++i) {
            // Four addresses, so that the cap per address is not reached.
            clients.push_back(std::make_unique<Client>(port(), QHostAddress(quint32(0x7f000002 + i % 4))));
            clients.back()->send(requestFor("/?com=c&mobile=98765432" + QByteArray::number(10 + i) + "&message=m"
                                            + QByteArray::number(i)));
        }
        QVERIFY(QTest::qWaitFor([&] {
            return std::all_of(clients.begin(), clients.end(), [](const auto &c) { return !repliesOf(*c).isEmpty(); });
        }, 5000));
        for (int i = 0; i < 12; ++i)
            QCOMPARE(repliesOf(*clients[size_t(i)]).first().body,
                     "Status:OK <br>Message Sent to 98765432" + QByteArray::number(10 + i));
        QVERIFY(!silent.closed && !half.closed);
        half.send(" HTTP/1.1\r\n\r\n");
        QVERIFY(QTest::qWaitFor([&] { return !repliesOf(half).isEmpty(); }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return silent.closed; }, 5000));
        QVERIFY(silent.received.isEmpty());

        QStringList expected;
        for (int i = 0; i < 12; ++i)
            expected << QStringLiteral("m%1").arg(i);
        QStringList queued = queuedMessages();
        QCOMPARE(queued.size(), 13);
        QCOMPARE(queued.takeLast(), QStringLiteral("first"));
        queued.sort();
        expected.sort();
        QCOMPARE(queued, expected);
    }

    void hostileClientsChangeNothingAndTheListenerStaysUp()
    {
        // Random bytes ending like a request; random bytes that never end one.
        QByteArray noise(2000, Qt::Uninitialized);
        for (char &c : noise)
            c = char(QRandomGenerator::global()->bounded(256));
        noise.replace("\n", "x");
        QVERIFY(exchange(noise + "\r\n\r\n").startsWith("<b>Error Occured:</b> "));
        QVERIFY(exchange(noise).isEmpty()); // closed when its time is up

        // A request line without a target.
        QCOMPARE(exchange("GET\r\n\r\n"), SendRequestDesk::failureText(SendRequestParser::messageLengthError(0)));

        // Over 8 KiB, and a megabyte: closed unanswered.
        QVERIFY(exchange(requestFor("/?com=c&mobile=9876543210&message=" + QByteArray(9000, 'a'))).isEmpty());
        Client big(port());
        big.send("GET /?com=c&mobile=9876543210&message=" + QByteArray(1 << 20, 'a'));
        QVERIFY(QTest::qWaitFor([&] { return big.closed; }, 5000));
        QVERIFY(big.received.isEmpty());

        // Connects, says half a request and goes away.
        {
            Client gone(port());
            gone.send("GET /?com=c&mobile=9876543210&message=hi HTTP/1.1\r\n");
            QTest::qWait(50);
        }
        // A number with quotes around it.
        QVERIFY(exchange(requestFor("/?com=c&mobile=%229876543210%22&message=hi")).endsWith(
            SendRequestParser::mobileLengthError().toUtf8()));

        QCOMPARE(rows(), 0);
        QVERIFY(m_listener->isListening());
        QVERIFY(exchange(requestFor("/?com=c&mobile=9876543210&message=still%20here")).contains("Status:OK"));
        QCOMPARE(rows(), 1);
    }

    // Twenty that said a byte and nothing more and three sending a byte at a
    // time hold up nobody: a good request behind them is answered while they
    // are all still open, and they are closed unanswered when their time is up.
    void dawdlingClientsHoldUpNobody()
    {
        restartWithArrival(2s); // a request at a byte per 40 ms takes longer
        // From addresses of their own: a cap per address is another test's matter.
        auto others = openDawdling(23, [](int i) { return QHostAddress(quint32(0x7f000010 + i / 4)); });
        const QByteArray slow = requestFor("/?com=c&mobile=9876543210&message=slow");
        qsizetype dripped = 1; // the "G" is out already
        QTimer drip;
        connect(&drip, &QTimer::timeout, this, [&] {
            for (size_t i = 20; i < others.size(); ++i)
                others[i]->send(slow.mid(dripped, 1));
            ++dripped;
        });
        drip.start(40);
        QTest::qWait(100);

        Client good(port());
        good.send(requestFor("/?com=c&mobile=9876543210&message=good"));
        QVERIFY(QTest::qWaitFor([&] { return !repliesOf(good).isEmpty(); }, 5000));
        QCOMPARE(repliesOf(good).first().body, QByteArray("Status:OK <br>Message Sent to 9876543210"));
        for (const auto &c : others)
            QVERIFY(c->openAt(good.firstBytesAt));

        QVERIFY(QTest::qWaitFor([&] {
            return std::all_of(others.begin(), others.end(), [](const auto &c) { return c->closed; });
        }, 5000));
        for (const auto &c : others)
            QVERIFY(c->received.isEmpty());
        QVERIFY(dripped < slow.size());
        QCOMPARE(queuedMessages(), QStringList{QStringLiteral("good")});
    }

    // Eight connections from one address have waited past the grace for
    // their requests: a ninth from there pushes out the one that has waited
    // longest and is served; another address is not counted against it. One
    // that has sent its request by then, unread, is served instead.
    void connectionsPerAddressAreCapped()
    {
        restartWithArrival(3s, 100ms);
        auto idle = openDawdling(8, [](int) { return QHostAddress(QStringLiteral("127.0.0.1")); });
        QTest::qWait(200);
        // The longest waiting sends its request just before the ninth comes,
        // with the listener not looking.
        idle[0]->send(requestFor("/?com=c&mobile=9876543210&message=first").mid(1));
        idle[0]->socket.flush();
        Client ninth(port());
        ninth.send(requestFor("/?com=c&mobile=9876543210&message=ninth"));
        QVERIFY(QTest::qWaitFor([&] { return !repliesOf(ninth).isEmpty() && !repliesOf(*idle[0]).isEmpty(); }, 2000));
        QVERIFY(QTest::qWaitFor([&] { return idle[1]->closed; }, 2000));
        QVERIFY(idle[1]->received.isEmpty());
        QVERIFY(!idle[0]->closed);
        for (size_t i = 2; i < idle.size(); ++i)
            QVERIFY2(!idle[i]->closed, qPrintable(QString::number(i)));

        Client other(port(), QHostAddress(QStringLiteral("127.0.0.2")));
        other.send(requestFor("/?com=c&mobile=9876543210&message=other"));
        QVERIFY(QTest::qWaitFor([&] { return !repliesOf(other).isEmpty(); }, 2000));
        QTest::qWait(50);
        for (size_t i = 2; i < idle.size(); ++i)
            QVERIFY(!idle[i]->closed);
        QCOMPARE(queuedMessages(), (QStringList{"first", "ninth", "other"}));
        QVERIFY(logText().contains(
            QStringLiteral(" HTTP listener - closed the longest waiting connection of 127.0.0.1 to make room\r\n")));
    }

    // 256 connections from 32 addresses are waiting, none for long: one more
    // pushes out the one that has waited longest, and is served.
    void connectionsInAllAreCapped()
    {
        restartWithArrival(5s, 5s);
        auto idle = openDawdling(256, [](int i) { return QHostAddress(quint32(0x7f000100 + 1 + i / 8)); });
        QTest::qWait(50);
        QVERIFY(std::none_of(idle.begin(), idle.end(), [](const auto &c) { return c->closed; }));
        Client good(port());
        good.send(requestFor("/?com=c&mobile=9876543210&message=good"));
        QVERIFY(QTest::qWaitFor([&] { return !repliesOf(good).isEmpty(); }, 3000));
        QVERIFY(QTest::qWaitFor([&] { return idle.front()->closed; }, 2000));
        QTest::qWait(50);
        QCOMPARE(std::count_if(idle.begin(), idle.end(), [](const auto &c) { return c->closed; }), 1);
        QCOMPARE(queuedMessages(), QStringList{QStringLiteral("good")});
    }

    // Connections that send nothing are not handed to the listener before
    // the arrival time-out: more of them than the cap in all push out
    // nobody, and a good client is served beside them.
    void silentConnectionsTakeNoPlace()
    {
        restartWithArrival(5s);
        std::vector<std::unique_ptr<Client>> silent;
        for (int i = 0; i < 300; ++i)
            silent.push_back(std::make_unique<Client>(port(), QHostAddress(quint32(0x7f000100 + 1 + i / 8))));
        QVERIFY(QTest::qWaitFor([&] {
            return std::all_of(silent.begin(), silent.end(), [](const auto &c) { return c->connected(); });
        }, 5000));
        QTest::qWait(100);
        QCOMPARE(exchange(requestFor("/?com=c&mobile=9876543210&message=good")),
                 SendRequestDesk::successText(QStringLiteral("9876543210")));
        QVERIFY(std::none_of(silent.begin(), silent.end(), [](const auto &c) { return c->closed; }));
        QVERIFY2(!logText().contains(QStringLiteral("to make room")), qPrintable(logText()));
    }

    // A client with more connections at once than the cap per address,
    // none of them old, loses none: with ab -c 16 the sixteen connections
    // come before their requests do.
    void promptClientMayExceedTheCapPerAddress()
    {
        restartWithArrival(5s, 2s);
        auto clients = openDawdling(12, [](int) { return QHostAddress(QStringLiteral("127.0.0.1")); });
        QTest::qWait(50);
        for (int i = 0; i < 12; ++i)
            clients[size_t(i)]->send(requestFor("/?com=c&mobile=9876543210&message=m" + QByteArray::number(i)).mid(1));
        QVERIFY(QTest::qWaitFor([&] {
            return std::all_of(clients.begin(), clients.end(), [](const auto &c) { return !repliesOf(*c).isEmpty(); });
        }, 5000));
        QCOMPARE(rows(), 12);
    }

    // A request that arrives in pieces is answered wherever it was cut, the
    // empty line that ends it included.
    void requestInPiecesIsAnswered_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("cut"); // bytes from the end
        const QByteArray crlf = requestFor("/?com=c&mobile=9876543210&message=pieces");
        const QByteArray lf = "GET /?com=c&mobile=9876543210&message=pieces HTTP/1.1\nHost: x\n\n";
        for (int cut : {1, 2, 3, 4, 5, 40})
            QTest::addRow("CR LF, %d from the end", cut) << crlf << cut;
        for (int cut : {1, 2})
            QTest::addRow("LF, %d from the end", cut) << lf << cut;
    }
    void requestInPiecesIsAnswered()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, cut);
        Client c(port());
        c.send(request.chopped(cut));
        QTest::qWait(60); // read by the listener before the rest comes
        QVERIFY(repliesOf(c).isEmpty());
        c.send(request.right(cut));
        QVERIFY(QTest::qWaitFor([&] { return !repliesOf(c).isEmpty(); }, 3000));
        QCOMPARE(queuedMessages(), QStringList{QStringLiteral("pieces")});
    }

    // Requests that complete in the same turn are queued in one transaction.
    // When its commit fails, none of them is answered as queued before each
    // has been queued alone: only the one that fails itself is refused.
    void requestsOfOneTurnAreAnsweredOnlyAsCommitted()
    {
        // A row for 9000000000 breaks a deferred rule: its insert passes
        // inside a transaction and the commit fails.
        m_store->db().execScript(QStringLiteral(
            "PRAGMA foreign_keys = ON;"
            "CREATE TABLE known (id INTEGER PRIMARY KEY);"
            "CREATE TABLE checked (ref INTEGER REFERENCES known (id) DEFERRABLE INITIALLY DEFERRED);"
            "CREATE TRIGGER refused AFTER INSERT ON q_logs WHEN NEW.outgoing_mobileNo = '9000000000' "
            "BEGIN INSERT INTO checked VALUES (1); END;"));
        const QList<QByteArray> mobiles{"9876543210", "9000000000", "9876543212", "9876543213"};
        auto clients = openDawdling(4, [](int i) { return QHostAddress(quint32(0x7f000002 + i)); });
        QTest::qWait(100); // taken, and waiting for the rest of their requests
        // Written all at once, before the listener looks again: one turn.
        for (int i = 0; i < 4; ++i) {
            clients[size_t(i)]->send(
                requestFor("/?com=c&mobile=" + mobiles[i] + "&message=m" + QByteArray::number(i)).mid(1));
            clients[size_t(i)]->socket.flush();
        }
        QVERIFY(QTest::qWaitFor([&] {
            return std::all_of(clients.begin(), clients.end(), [](const auto &c) { return !repliesOf(*c).isEmpty(); });
        }, 5000));
        for (int i = 0; i < 4; ++i) {
            const QByteArray body = repliesOf(*clients[size_t(i)]).first().body;
            if (i == 1)
                QVERIFY2(body.startsWith("<b>Error Occured:</b> The message to 9000000000 could not be queued: "),
                         body.constData());
            else
                QCOMPARE(body, "Status:OK <br>Message Sent to " + mobiles[i]);
        }
        QCOMPARE(queuedMessages(), (QStringList{"m0", "m2", "m3"}));
    }

    // Requests sent back to back on one connection, and one more later, are
    // each answered in turn on it; the connection, idle, is closed when the
    // arrival time is up.
    void everyRequestOnAConnectionIsAnsweredInOrder()
    {
        Client c(port());
        c.send(requestFor("/?com=c&mobile=9876543211&message=one") + requestFor("/?com=c&mobile=98765&message=two")
               + "POST /?com=c&mobile=9876543213&message=three HTTP/1.1\r\nContent-Length: 9\r\n\r\nGET / x\r\n"
               + requestFor("/?com=c&mobile=9876543214&message=four"));
        QVERIFY(QTest::qWaitFor([&] { return repliesOf(c).size() == 4; }, 3000));
        QTest::qWait(100);
        QVERIFY(!c.closed);
        c.send(requestFor("/?com=c&mobile=9876543215&message=five"));
        QVERIFY(QTest::qWaitFor([&] { return repliesOf(c).size() == 5; }, 3000));
        QVERIFY(QTest::qWaitFor([&] { return c.closed; }, 3000));

        const QList<Reply> replies = repliesOf(c);
        QCOMPARE(replies.size(), 5);
        const QList<QByteArray> bodies{"Status:OK <br>Message Sent to 9876543211",
                                       "<b>Error Occured:</b> " + SendRequestParser::mobileLengthError().toUtf8(),
                                       "Status:OK <br>Message Sent to 9876543213",
                                       "Status:OK <br>Message Sent to 9876543214",
                                       "Status:OK <br>Message Sent to 9876543215"};
        for (qsizetype i = 0; i < replies.size(); ++i) {
            QCOMPARE(replies[i].statusLine, QByteArray("HTTP/1.1 200 OK"));
            QCOMPARE(replies[i].body, bodies[i]);
        }
        QCOMPARE(queuedMessages(), (QStringList{"one", "three", "four", "five"}));
    }

    // A connection is closed after the reply when the client asks, or speaks
    // HTTP/1.0 without asking to keep it; what it sent after that is ignored.
    void clientSaysWhetherTheConnectionStays_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<bool>("stays");
        QTest::newRow("1.1") << QByteArray("HTTP/1.1\r\nHost: x") << true;
        QTest::newRow("1.1, close") << QByteArray("HTTP/1.1\r\nConnection: close") << false;
        QTest::newRow("1.1, Close among others") << QByteArray("HTTP/1.1\r\nConnection: TE, Close") << false;
        QTest::newRow("1.0") << QByteArray("HTTP/1.0\r\nHost: x") << false;
        QTest::newRow("1.0, keep-alive") << QByteArray("HTTP/1.0\r\nconnection: Keep-Alive") << true;
        QTest::newRow("no version") << QByteArray("") << false;
    }
    void clientSaysWhetherTheConnectionStays()
    {
        QFETCH(QByteArray, head);
        QFETCH(bool, stays);
        Client c(port());
        const QByteArray target = "/?com=c&mobile=9876543210&message=";
        c.send("GET " + target + "first " + head + "\r\n\r\n" + requestFor(target + "second"));
        QVERIFY(QTest::qWaitFor([&] { return repliesOf(c).size() == (stays ? 2 : 1); }, 3000));
        QTest::qWait(100);
        QCOMPARE(c.closed, !stays);
        const QList<Reply> replies = repliesOf(c);
        QCOMPARE(replies.size(), stays ? 2 : 1);
        QCOMPARE(replies.first().body, QByteArray("Status:OK <br>Message Sent to 9876543210"));
        QCOMPARE(replies.first().headers.value("content-length"), QByteArray::number(replies.first().body.size()));
        QCOMPARE(replies.first().headers.value("connection"), QByteArray(stays ? "keep-alive" : "close"));
        QCOMPARE(queuedMessages(), stays ? (QStringList{"first", "second"}) : QStringList{"first"});
    }

    // Clients outside the allowed networks are closed before anything is
    // read. A listener on every interface has one socket for IPv4 and IPv6,
    // which sees an IPv4 client as ::ffff:a.b.c.d: IPv4 entries match it.
    void onlyAllowedNetworksAreServed()
    {
        InternetTimeouts timeouts;
        timeouts.requestArrival = 400ms;
        restart(timeouts, QStringLiteral("127.0.0.2/31, ::1"), QHostAddress::Any);
        const QByteArray request = requestFor("/?com=c&mobile=9876543210&message=hi");
        Client outside(port(), QHostAddress(QStringLiteral("127.0.0.1")));
        outside.send(request);
        Client inside(port(), QHostAddress(QStringLiteral("127.0.0.3")));
        inside.send(request);
        Client six(port(), QHostAddress::LocalHostIPv6, QHostAddress::LocalHostIPv6);
        six.send(request);
        QVERIFY(QTest::qWaitFor([&] { return outside.closed; }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return !repliesOf(inside).isEmpty() && !repliesOf(six).isEmpty(); }, 5000));
        QVERIFY(outside.received.isEmpty());
        QCOMPARE(rows(), 2);
        QVERIFY2(logText().contains(QStringLiteral(" HTTP listener - refused 127.0.0.1: not in the allowed networks\r\n")),
                 qPrintable(logText()));
    }

    // A flood of refused connections writes one line and then a count per
    // period, not a line each.
    void refusalsAreLoggedSparingly()
    {
        InternetTimeouts timeouts;
        timeouts.refusalReport = 300ms;
        restart(timeouts, QStringLiteral("127.0.0.2"));
        std::vector<std::unique_ptr<Client>> refused;
        for (int i = 0; i < 30; ++i) {
            refused.push_back(std::make_unique<Client>(port()));
            refused.back()->send("G");
        }
        QVERIFY(QTest::qWaitFor([&] {
            return std::all_of(refused.begin(), refused.end(), [](const auto &c) { return c->closed; });
        }, 5000));
        const QString one = QStringLiteral(" HTTP listener - refused 127.0.0.1: not in the allowed networks\r\n");
        QCOMPARE(logText().count(one), 1);
        QVERIFY(QTest::qWaitFor([&] { return logText().contains(QStringLiteral(" HTTP listener - 29 more")); }, 3000));
        QCOMPARE(logText().count(QStringLiteral("\r\n")), 2);
        // A quiet period ends the count: the next refusal has its line again.
        QTest::qWait(700);
        Client later(port());
        later.send("G");
        QVERIFY(QTest::qWaitFor([&] { return later.closed; }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return logText().count(one) == 2; }, 3000));
        QCOMPARE(logText().count(QStringLiteral("\r\n")), 3);
    }

    void curlGetsTheReplyAndTheMessageIsQueued()
    {
        const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
        if (curl.isEmpty())
            QSKIP("curl is not installed (scripts/install-deps.sh installs it)");
        QProcess p;
        p.start(curl, {QStringLiteral("-sS"), QStringLiteral("--max-time"), QStringLiteral("10"),
                       QStringLiteral("http://127.0.0.1:%1/?com=COM2&mobile=9123456789&message=Tea%20%26%20cake%21")
                           .arg(port())});
        QVERIFY(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 15000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(), QByteArray("Status:OK <br>Message Sent to 9123456789"));
        QCOMPARE(m_store->queue().row(1)->message, QStringLiteral("Tea & cake!"));
    }
};

QTEST_GUILESS_MAIN(TestHttpSendListener)
#include "tst_httpsendlistener.moc"
