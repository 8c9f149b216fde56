// The gateway sender against a fake gateway on loopback.
#include "DateTimeText.h"
#include "GatewayFixture.h"
#include "GatewaySender.h"
#include "ManualClock.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>

using namespace tavsms;
using namespace std::chrono_literals;

class TestGatewaySender : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::GatewayFixture> f;
    std::unique_ptr<QTimer> m_timer;
    std::unique_ptr<GatewaySender> m_sender;

    void run() { m_timer->start(); }
    bool settled(qint64 id)
    {
        return QTest::qWaitFor([&] {
            const QString s = f->row(id).status;
            return s == QLatin1String("Delivered") || s == QLatin1String("Failed");
        }, 5000);
    }
    // " at" and the display date-time of about now.
    static bool stampedNow(const QString &comments, const QString &head)
    {
        if (!comments.startsWith(head + QStringLiteral(" at")))
            return false;
        const QDateTime when = DateTimeText::parse(comments.mid(head.size() + 3));
        return when.isValid() && qAbs(when.secsTo(QDateTime::currentDateTime())) < 10;
    }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<test::GatewayFixture>();
        m_timer = std::make_unique<QTimer>();
        m_timer->setInterval(10);
        m_sender = std::make_unique<GatewaySender>(f->store, *f->client, f->state, f->log, *m_timer,
                                                   test::GatewayFixture::shortTimeouts());
    }
    void cleanup()
    {
        m_sender.reset();
        m_timer.reset();
        f.reset();
    }

    void successRepliesDeliverTheRow()
    {
        f->gateway.setHandler([](const test::FakeGateway::Request &r) {
            const QString to = r.query.value(QStringLiteral("sendto"));
            QByteArray body = "Message Sent! Success";
            if (to.endsWith(QLatin1Char('2')))
                body = "Message Sent! Success: id 42 'queued'";
            else if (to.endsWith(QLatin1Char('3')))
                body = "  Message Sent! Success \r\n: 7";
            return test::FakeGateway::Reply{200, "OK", body};
        });
        const qint64 plain = f->add(QStringLiteral("9876543211"), QStringLiteral("a"));
        const qint64 withText = f->add(QStringLiteral("9876543212"), QStringLiteral("b"), QStringLiteral("WEBGATEWAY"));
        const qint64 blanks = f->add(QStringLiteral("9876543213"), QStringLiteral("c"));
        run();
        for (qint64 id : {plain, withText, blanks})
            QVERIFY(settled(id));
        QueueRow r = f->row(withText);
        QCOMPARE(r.status, QStringLiteral("Delivered"));
        QCOMPARE(r.sentFrom, QStringLiteral("WEBGATEWAY"));
        QVERIFY(qAbs(r.sentAt.secsTo(QDateTime::currentDateTime())) < 10);
        QVERIFY2(stampedNow(r.comments, QStringLiteral("Message Sent! Success: id 42 'queued'")), qPrintable(r.comments));
        QCOMPARE(f->row(plain).status, QStringLiteral("Delivered"));
        QVERIFY(stampedNow(f->row(plain).comments, QStringLiteral("Message Sent! Success")));
        QCOMPARE(f->row(blanks).status, QStringLiteral("Delivered"));
        QCOMPARE(f->gateway.requestCount(), 3);
    }

    void otherRepliesFailTheRowForGood()
    {
        f->gateway.setHandler([](const test::FakeGateway::Request &r) {
            return test::FakeGateway::Reply{200, "OK",
                                            r.query.value(QStringLiteral("sendto")).endsWith(QLatin1Char('1'))
                                                ? QByteArray("Insufficient credit: it's \"over\"")
                                                : QByteArray()};
        });
        const qint64 refused = f->add(QStringLiteral("9876543211"), QStringLiteral("a"));
        const qint64 empty = f->add(QStringLiteral("9876543212"), QStringLiteral("b"));
        run();
        QVERIFY(settled(refused));
        QVERIFY(settled(empty));
        QueueRow r = f->row(refused);
        QCOMPARE(r.status, QStringLiteral("Failed"));
        QVERIFY2(stampedNow(r.comments, QStringLiteral("Reason: Insufficient credit: it's \"over\"")),
                 qPrintable(r.comments));
        QCOMPARE(r.sentFrom, QStringLiteral("WEBGATEWAY"));
        QCOMPARE(r.retryNo, 0);
        QVERIFY(stampedNow(f->row(empty).comments, QStringLiteral("Reason: ")));
        // Failed rows stay failed: later ticks never ask again.
        QTest::qWait(300);
        QCOMPARE(f->gateway.requestCount(), 2);
        QCOMPARE(f->row(refused).status, QStringLiteral("Failed"));
    }

    void requestCarriesTheAccountAndTheTextIntact()
    {
        const QString text = QStringLiteral("Fish & chips #1 + tea = 100% \"good\" caf\u00e9?");
        const qint64 cdma = f->add(QStringLiteral("9212345678"), text);
        const qint64 cdma93 = f->add(QStringLiteral("9312345678"), QStringLiteral("x"));
        const qint64 gsm = f->add(QStringLiteral("9912345678"), QStringLiteral("y"));
        run();
        for (qint64 id : {cdma, cdma93, gsm})
            QVERIFY(settled(id));
        const auto &req = f->gateway.requests();
        QCOMPARE(req.size(), 3);
        QCOMPARE(req[0].path, QStringLiteral("/mess/message.asp"));
        QCOMPARE(req[0].query.value(QStringLiteral("messageid")), text);
        QCOMPARE(req[0].query.value(QStringLiteral("userid")), QStringLiteral("User"));
        QCOMPARE(req[0].query.value(QStringLiteral("pwd")), QStringLiteral("Pw"));
        QCOMPARE(req[0].query.value(QStringLiteral("sendto")), QStringLiteral("9212345678"));
        QCOMPARE(req[0].query.value(QStringLiteral("flash")), QStringLiteral("no"));
        QCOMPARE(req[0].query.value(QStringLiteral("senderid")), QStringLiteral("CDMAID"));
        QCOMPARE(req[1].query.value(QStringLiteral("senderid")), QStringLiteral("CDMAID"));
        QCOMPARE(req[2].query.value(QStringLiteral("senderid")), QStringLiteral("GSMID"));
        QVERIFY(req[0].rawQuery.startsWith("userid=User&pwd=Pw&messageid=Fish%20%26%20chips%20%231%20%2B%20tea"));
    }

    void onlyDueGatewayRowsGoAndOnlyWhileSendingRuns()
    {
        test::ManualClock clock;
        clock.attach(f->state);
        QSignalSpy ticks(m_timer.get(), &QTimer::timeout);
        const auto someTicksPass = [&] {
            const qsizetype seen = ticks.count();
            return QTest::qWaitFor([&] { return ticks.count() >= seen + 5; });
        };
        const qint64 port = f->add(QStringLiteral("9876543210"), QStringLiteral("modem only"), QStringLiteral("COM1"));
        const qint64 later = f->add(QStringLiteral("9876543210"), QStringLiteral("later"), QStringLiteral("Auto"),
                                    clock.now().addSecs(120));
        f->state.setSendingRunning(false);
        const qint64 now = f->add(QStringLiteral("9876543210"), QStringLiteral("now"));
        run();
        QVERIFY(someTicksPass());
        QCOMPARE(f->gateway.requestCount(), 0);
        QCOMPARE(f->row(now).status, QStringLiteral("Pending"));

        f->state.setSendingRunning(true);
        QVERIFY(settled(now));
        QVERIFY(someTicksPass());
        QCOMPARE(f->row(later).status, QStringLiteral("Pending")); // not yet due
        clock.advance(119s);
        QVERIFY(someTicksPass());
        QCOMPARE(f->row(later).status, QStringLiteral("Pending"));
        clock.advance(1s);
        QVERIFY(settled(later));
        QCOMPARE(f->row(later).sentAt, clock.now());
        QCOMPARE(f->row(port).status, QStringLiteral("Pending"));
        QCOMPARE(f->gateway.requestCount(), 2);

        // The Internet channel switched off: nothing more goes out.
        f->state.setInternetChannel(false);
        const qint64 off = f->add(QStringLiteral("9876543210"), QStringLiteral("off"));
        QVERIFY(someTicksPass());
        QCOMPARE(f->row(off).status, QStringLiteral("Pending"));
    }

    void rowIsClaimedWhileItsRequestRuns()
    {
        f->gateway.setHandler([](const test::FakeGateway::Request &) {
            return test::FakeGateway::Reply{200, "OK", "Message Sent! Success", 400};
        });
        const qint64 id = f->add(QStringLiteral("9876543210"), QStringLiteral("a"));
        run();
        QTRY_COMPARE(f->gateway.requestCount(), 1);
        QCOMPARE(f->row(id).status, QStringLiteral("Sending"));
        // A modem sender looking for work does not see it.
        QVERIFY(!f->store.queue().nextDueForPort(QStringLiteral("COM1"), QDateTime::currentDateTime()));
        QVERIFY(settled(id));
        QCOMPARE(f->row(id).status, QStringLiteral("Delivered"));
    }

    void unreachableGatewayLeavesRowsAloneAndBacksOff()
    {
        // The pauses as the program has them, on a clock that moves only when told.
        test::ManualClock clock;
        clock.attach(f->state);
        InternetTimeouts t;
        t.request = 2s;
        m_sender = std::make_unique<GatewaySender>(f->store, *f->client, f->state, f->log, *m_timer, t);
        const quint16 port = f->gateway.port();
        f->gateway.stop(); // nothing listens there any more
        const qint64 id = f->add(QStringLiteral("9876543210"), QStringLiteral("a"));
        const qint64 second = f->add(QStringLiteral("9876543210"), QStringLiteral("b"));
        QSignalSpy ticks(m_timer.get(), &QTimer::timeout);
        const auto attempts = [this] {
            return int(f->logText().count(QStringLiteral("Internet SMS gateway not reachable")));
        };
        // Ticks come and go; none may try before the pause is over.
        const auto noAttemptFor = [&](int expected) {
            const qsizetype seen = ticks.count();
            QTRY_VERIFY(ticks.count() >= seen + 5);
            QCOMPARE(attempts(), expected);
        };
        run();
        QTRY_COMPARE(attempts(), 1);
        QueueRow r = f->row(id);
        QCOMPARE(r.status, QStringLiteral("Pending"));
        QCOMPARE(r.retryNo, 0);
        QVERIFY(r.comments.isEmpty());
        QVERIFY(r.sentFrom.isEmpty());
        QCOMPARE(f->row(second).status, QStringLiteral("Pending"));

        // 1 s, doubling on each failure, up to a minute.
        int tries = 1;
        for (const int pause : {1, 2, 4, 8, 16, 32, 60, 60}) {
            QVERIFY2(f->logText().endsWith(QStringLiteral("next attempt in %1 s\r\n").arg(pause)),
                     qPrintable(f->logText().right(200)));
            QCOMPARE(m_sender->currentPause(), std::chrono::seconds(pause));
            clock.advance(std::chrono::seconds(pause) - 1ms);
            noAttemptFor(tries);
            clock.advance(1ms);
            ++tries;
            QTRY_COMPARE(attempts(), tries);
        }
        QCOMPARE(f->row(id).status, QStringLiteral("Pending"));
        clock.advance(60s);

        // The gateway comes back: both rows go out and the log says so.
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, port))
            QSKIP("the old port was taken meanwhile");
        probe.close();
        f->pointAt(QStringLiteral("127.0.0.1:%1").arg(port));
        f->gateway.start(); // same port again
        QVERIFY(settled(id));
        QVERIFY(settled(second));
        QCOMPARE(f->row(id).status, QStringLiteral("Delivered"));
        QVERIFY(f->logText().contains(QStringLiteral("Internet SMS gateway reachable again")));
        QCOMPARE(m_sender->currentPause(), 0ms);
    }

    void gatewayThatNeverAnswersTimesOutAndTheRowStays()
    {
        InternetTimeouts t = test::GatewayFixture::shortTimeouts();
        t.request = 300ms;
        f->client = std::make_unique<HttpClient>(t);
        m_sender = std::make_unique<GatewaySender>(f->store, *f->client, f->state, f->log, *m_timer, t);
        f->gateway.setHandler([](const test::FakeGateway::Request &) {
            test::FakeGateway::Reply r;
            r.hang = true;
            return r;
        });
        const qint64 id = f->add(QStringLiteral("9876543210"), QStringLiteral("a"));
        run();
        QTRY_VERIFY(f->logText().contains(QStringLiteral("not reachable")));
        QCOMPARE(f->row(id).status, QStringLiteral("Pending"));
        QVERIFY(m_timer->isActive()); // the tick ended and gave the timer back
    }

    void serverErrorCountsAsUnreachable()
    {
        f->gateway.setHandler([](const test::FakeGateway::Request &) {
            return test::FakeGateway::Reply{503, "Service Unavailable", "busy"};
        });
        const qint64 id = f->add(QStringLiteral("9876543210"), QStringLiteral("a"));
        run();
        QTRY_VERIFY(f->logText().contains(QStringLiteral("HTTP/1.1 503 Service Unavailable")));
        QCOMPARE(f->row(id).status, QStringLiteral("Pending"));
    }

    void oneTickDrainsEveryDueRow()
    {
        for (int i = 0; i < 40; ++i)
            f->add(QStringLiteral("98765432%1").arg(10 + i), QStringLiteral("m%1").arg(i));
        QSignalSpy ticks(m_sender.get(), &GatewaySender::tickFinished);
        m_sender->tick();
        QVERIFY(ticks.wait(5000));
        QCOMPARE(f->gateway.requestCount(), 40);
        QCOMPARE(f->store.db().scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered'")).toInt(),
                 40);
        // In queue order.
        QCOMPARE(f->gateway.requests().first().query.value(QStringLiteral("messageid")), QStringLiteral("m0"));
        QCOMPARE(f->gateway.requests().last().query.value(QStringLiteral("messageid")), QStringLiteral("m39"));
    }

    void replyRulesAndNumberClasses()
    {
        QVERIFY(GatewaySender::isSuccessReply(QStringLiteral("Message Sent! Success")));
        QVERIFY(GatewaySender::isSuccessReply(QStringLiteral(" Message Sent! Success :x:y")));
        QVERIFY(!GatewaySender::isSuccessReply(QStringLiteral("Message Sent! Successful")));
        QVERIFY(!GatewaySender::isSuccessReply(QStringLiteral("message sent! success")));
        QVERIFY(!GatewaySender::isSuccessReply(QStringLiteral("Error: Message Sent! Success")));
        QVERIFY(!GatewaySender::isSuccessReply(QString()));
        QVERIFY(GatewaySender::isCdmaNumber(QStringLiteral("9200000000")));
        QVERIFY(!GatewaySender::isCdmaNumber(QStringLiteral("9100000000")));
        QVERIFY(!GatewaySender::isCdmaNumber(QStringLiteral("9")));
    }
};

QTEST_GUILESS_MAIN(TestGatewaySender)
#include "tst_gatewaysender.moc"
