// The send listener through real loopback sockets.
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
#include <QTest>

using namespace tavsms;
using namespace std::chrono_literals;

namespace {

// A client that sends its bytes and collects everything until the server closes.
struct Client
{
    QTcpSocket socket;
    QByteArray received;
    bool closed = false;

    explicit Client(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] {
            received += socket.readAll();
            closed = true;
        });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    void send(const QByteArray &bytes) { socket.write(bytes); }
};

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
    QByteArray exchange(const QByteArray &bytes)
    {
        Client c(port());
        c.send(bytes);
        if (!QTest::qWaitFor([&] { return c.closed; }, 5000))
            qWarning("the listener did not close the connection");
        return c.received;
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
        m_listener->setQueue(&m_store->queue());
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
        const QByteArray reply = exchange(requestFor("/?com=COM1&mobile=9876543210&message=Hello%20World"));
        QCOMPARE(reply, QByteArray("HTTP/1.1 200 OK\r\n\r\nStatus:OK <br>Message Sent to 9876543210"));
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
            QVERIFY2(reply.startsWith("HTTP/1.1 200 OK\r\n\r\nStatus:OK <br>Message Sent to "), reply.constData());
            QCOMPARE(rows(), 1);
            QCOMPARE(m_store->queue().row(1)->message, queued);
        } else {
            QCOMPARE(reply, HttpSendListener::failureReply(error));
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
    }

    void refusedRequestIsAnsweredLoggedAndNotQueued()
    {
        const QByteArray reply = exchange(requestFor("/?com=COM1&mobile=98765&message=Hello%20World"));
        QCOMPARE(reply, QByteArray("HTTP/1.1 200 OK\r\n\r\n<b>Error Occured:</b> ")
                            + SendRequestParser::mobileLengthError().toUtf8());
        QCOMPARE(rows(), 0);
        QVERIFY2(logText().contains(QStringLiteral(" Mobile= 98765 Message= Hello World Error= ")
                                    + SendRequestParser::mobileLengthError() + QStringLiteral("\r\n")),
                 qPrintable(logText()));
        QVERIFY(logText().startsWith(QStringLiteral("HTTP MSG Failed - ")));
    }

    void connectionsArrivingTogetherAreAllServedInOrder()
    {
        std::vector<std::unique_ptr<Client>> clients;
        // The first says nothing: the others wait for it, then each gets its turn.
        clients.push_back(std::make_unique<Client>(port()));
        for (int i = 0; i < 12; ++i) {
            clients.push_back(std::make_unique<Client>(port()));
            clients.back()->send(requestFor("/?com=c&mobile=98765432" + QByteArray::number(10 + i) + "&message=m"
                                            + QByteArray::number(i)));
        }
        QVERIFY(QTest::qWaitFor([&] {
            return std::all_of(clients.begin(), clients.end(), [](const auto &c) { return c->closed; });
        }, 10000));
        QVERIFY(clients.front()->received.isEmpty());
        for (int i = 0; i < 12; ++i)
            QVERIFY2(clients[size_t(i) + 1]->received.endsWith("Message Sent to 98765432" + QByteArray::number(10 + i)),
                     clients[size_t(i) + 1]->received.constData());
        QCOMPARE(rows(), 12);
        // Queued in the order the connections arrived.
        for (int i = 0; i < 12; ++i)
            QCOMPARE(m_store->queue().row(i + 1)->message, QStringLiteral("m%1").arg(i));
    }

    void hostileClientsChangeNothingAndTheListenerStaysUp()
    {
        // Random bytes ending like a request; random bytes that never end one.
        QByteArray noise(2000, Qt::Uninitialized);
        for (char &c : noise)
            c = char(QRandomGenerator::global()->bounded(256));
        noise.replace("\n", "x");
        QVERIFY(exchange(noise + "\r\n\r\n").startsWith("HTTP/1.1 200 OK\r\n\r\n<b>Error Occured:</b> "));
        QVERIFY(exchange(noise).isEmpty()); // closed when its time is up

        // A request line without a target.
        QCOMPARE(exchange("GET\r\n\r\n"),
                 HttpSendListener::failureReply(SendRequestParser::messageLengthError(0)));

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
