// The gateway sender, and "Check Balance", the Internet tab's "Apply",
// "Check for Updates" and the one-at-a-time HTTP client they share, against a
// fake gateway on loopback.
#include "AppInfo.h"
#include "AppState.h"
#include "DateTimeText.h"
#include "DebugLog.h"
#include "FakeGateway.h"
#include "GatewayAccount.h"
#include "GatewayAccountRecord.h"
#include "GatewaySender.h"
#include "HttpClient.h"
#include "HttpPushClient.h"
#include "ManualClock.h"
#include "NetworkSettings.h"
#include "QueueLog.h"
#include "RecordingPrompter.h"
#include "SharedStore.h"
#include "Store.h"
#include "TestDataDirectory.h"
#include "Wait.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>

using namespace tavsms;
using namespace std::chrono_literals;
using Reply = test::FakeGateway::Reply;
using Request = test::FakeGateway::Request;
using QCoro::waitFor;

namespace {

const QByteArray kSent = "Message Sent! Success";

QString message(const Request &r)
{
    return r.query.value(QStringLiteral("messageid"));
}

} // namespace

namespace tavsms::test {

// A store with an active gateway account pointed at a fake gateway on loopback.
struct GatewayFixture
{
    TestDataDirectory dir;
    Store &store = freshStore();
    DebugLog log;
    AppState state;
    FakeGateway gateway;
    std::unique_ptr<HttpClient> client;

    explicit GatewayFixture(InternetTimeouts timeouts = shortTimeouts())
    {
        if (!log.open(dir.root() + QStringLiteral("/debug.txt")).isEmpty() || !gateway.start())
            qFatal("fixture could not start");
        client = std::make_unique<HttpClient>(timeouts);
        pointAt(gateway.host());
        store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = ' User ', TAVpassword = ' Pw ', "
                                       "cdma_id = ' CDMAID ', gsm_id = 'GSMID', TAVisActive = 1"));
        state.setInternetChannel(true);
    }

    static InternetTimeouts shortTimeouts()
    {
        using namespace std::chrono_literals;
        InternetTimeouts t;
        t.request = 10000ms; // far beyond any answer here, however busy the machine
        t.firstPause = 200ms;
        t.longestPause = 800ms;
        return t;
    }

    void pointAt(const QString &host)
    {
        NetworkSettings s = NetworkSettings::load(store.db());
        s.gatewayHost = host;
        s.updateHost = host;
        s.save(store.db());
    }

    void setParallel(int requests)
    {
        NetworkSettings s = NetworkSettings::load(store.db());
        s.parallelRequests = requests;
        s.save(store.db());
    }

    QString logText() const
    {
        QFile f(log.path());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    qint64 add(const QString &mobile, const QString &text, const QString &route = QStringLiteral("Auto"),
               const QDateTime &due = {})
    {
        const EnqueueResult r = store.queue().addToQueue(mobile, text, route, due);
        if (!r)
            qFatal("addToQueue: %s", qPrintable(r.error));
        return r.id;
    }
    QueueRow row(qint64 id) { return *store.queue().row(id); }
};

} // namespace tavsms::test

class TestGatewaySender : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::GatewayFixture> f;
    std::unique_ptr<QTimer> m_timer;
    std::unique_ptr<GatewaySender> m_sender;

    void run() { m_timer->start(); }
    // Waits until the sender's timer has ticked five more times: what would
    // have gone out by then has.
    bool ticksPass()
    {
        QSignalSpy ticks(m_timer.get(), &QTimer::timeout);
        return test::waitFor([&] { return ticks.count() >= 5; });
    }
    qint64 count(const QString &status) { return test::QueueLog(f->store.db()).count(status); }
    // Rows "m0", "m1"... to 9876543210, 9876543211..., from the `from`th on.
    QList<qint64> addRows(int n, int from = 0)
    {
        QList<qint64> ids;
        for (int i = from; i < from + n; ++i)
            ids << f->add(QStringLiteral("98765%1").arg(43210 + i), QStringLiteral("m%1").arg(i));
        return ids;
    }
    bool settled(qint64 id)
    {
        return test::waitFor([&] {
            const QString s = f->row(id).status;
            return s == QLatin1String("Delivered") || s == QLatin1String("Failed");
        }, 5000);
    }
    // As queued: nothing about it changed by what went wrong.
    bool untouched(qint64 id)
    {
        const QueueRow r = f->row(id);
        return r.status == QLatin1String("Pending") && r.retryNo == 0 && r.comments.isEmpty() && r.sentFrom.isEmpty()
            && !r.nextAttempt.isValid();
    }
    // " at" and the display date-time of about now.
    static bool stampedNow(const QString &comments, const QString &head)
    {
        if (!comments.startsWith(head + QStringLiteral(" at")))
            return false;
        const QDateTime when = DateTimeText::parse(comments.mid(head.size() + 3));
        return when.isValid() && qAbs(when.secsTo(QDateTime::currentDateTime())) < 10;
    }

    test::RecordingPrompter m_prompter;
    std::unique_ptr<GatewayAccount> m_account;

    GatewayAccountRecord stored() { return GatewayAccountRecord::load(f->store.db()); }
    // Apply, with its box shown as the settings screen shows it.
    GatewayAccount::ApplyResult applyAndShow(const QString &username, std::optional<QString> password)
    {
        const GatewayAccount::ApplyResult result = waitFor(m_account->apply(username, std::move(password)));
        m_prompter.show(result.notice);
        return result;
    }
    void expectOnly(Prompter::Icon icon, const QString &title, const QString &text)
    {
        QCOMPARE(m_prompter.count(), 1);
        const auto e = m_prompter.entries().first();
        QCOMPARE(e.title, title);
        QCOMPARE(e.text, text);
        QCOMPARE(e.icon, icon);
    }

    QCoro::Task<void> fetch(int i, QList<QString> *answers)
    {
        const QUrl url = HttpClient::url(f->gateway.host(), QStringLiteral("/x"), {{"n", QString::number(i)}});
        answers->append((co_await f->client->get(url)).body);
    }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<test::GatewayFixture>();
        m_prompter.clear();
        m_account = std::make_unique<GatewayAccount>(f->store.db(), *f->client, m_prompter);
        m_timer = std::make_unique<QTimer>();
        m_timer->setInterval(1);
        m_sender = std::make_unique<GatewaySender>(f->store, *f->client, f->state, f->log, *m_timer,
                                                   test::GatewayFixture::shortTimeouts());
    }
    void cleanup()
    {
        m_account.reset();
        m_sender.reset();
        m_timer.reset();
        f.reset();
    }

    // "Message Sent! Success" at the start of the answer, blanks around it
    // allowed, delivers the row; any other answer fails it for good, with
    // the answer as the reason. Either way the comments say when.
    void answerDecidesTheRow_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("comments");
        QTest::newRow("success") << kSent << "Auto" << "Delivered" << "Message Sent! Success";
        QTest::newRow("success and more") << kSent + ": id 42 'queued'" << "WEBGATEWAY" << "Delivered"
                                          << "Message Sent! Success: id 42 'queued'";
        QTest::newRow("blanks around") << "  " + kSent + " \r\n: 7" << "Auto" << "Delivered"
                                       << "  Message Sent! Success \r\n: 7";
        QTest::newRow("refused") << QByteArray("Insufficient credit: it's \"over\"") << "Auto" << "Failed"
                                 << "Reason: Insufficient credit: it's \"over\"";
        QTest::newRow("empty") << QByteArray() << "Auto" << "Failed" << "Reason: ";
        QTest::newRow("longer word") << kSent + "ful" << "Auto" << "Failed" << "Reason: Message Sent! Successful";
        QTest::newRow("lower case") << kSent.toLower() << "Auto" << "Failed" << "Reason: message sent! success";
        QTest::newRow("not at the start") << "Error: " + kSent << "Auto" << "Failed" << "Reason: Error: Message Sent! Success";
    }
    void answerDecidesTheRow()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, route);
        QFETCH(QString, status);
        QFETCH(QString, comments);
        f->gateway.replyWith(answer);
        const qint64 id = f->add(QStringLiteral("9876543210"), QStringLiteral("a"), route);
        run();
        QVERIFY(settled(id));
        const QueueRow r = f->row(id);
        QCOMPARE(r.status, status);
        QVERIFY2(stampedNow(r.comments, comments), qPrintable(r.comments));
        QCOMPARE(r.sentFrom, QStringLiteral("WEBGATEWAY"));
        QVERIFY(qAbs(r.sentAt.secsTo(QDateTime::currentDateTime())) < 10);
        QCOMPARE(r.retryNo, 0);
        // Settled rows stay settled: later ticks never ask again.
        QVERIFY(ticksPass());
        QCOMPARE(f->gateway.requestCount(), 1);
    }

    void requestCarriesTheAccountAndTheTextIntact()
    {
        f->setParallel(1); // in queue order
        const QString text = QStringLiteral("Fish & chips #1 + tea = 100% \"good\" caf\u00e9?");
        f->add(QStringLiteral("9212345678"), text);
        f->add(QStringLiteral("9312345678"), QStringLiteral("x"));
        f->add(QStringLiteral("9912345678"), QStringLiteral("y"));
        run();
        WAIT_COMPARE(count(QueueStatus::Delivered), 3);
        const auto &req = f->gateway.requests();
        QCOMPARE(req.size(), 3);
        QCOMPARE(req[0].path, QStringLiteral("/mess/message.asp"));
        const QHash<QString, QString> expected{{"messageid", text}, {"userid", "User"},  {"pwd", "Pw"},
                                               {"sendto", "9212345678"}, {"flash", "no"}, {"senderid", "CDMAID"}};
        QCOMPARE(req[0].query, expected);
        QCOMPARE(req[1].query.value(QStringLiteral("senderid")), QStringLiteral("CDMAID"));
        QCOMPARE(req[2].query.value(QStringLiteral("senderid")), QStringLiteral("GSMID"));
        QVERIFY(!GatewaySender::isCdmaNumber(QStringLiteral("9"))); // too short to say
        QVERIFY(req[0].rawQuery.startsWith("userid=User&pwd=Pw&messageid=Fish%20%26%20chips%20%231%20%2B%20tea"));
    }

    void onlyDueGatewayRowsGoAndOnlyWhileSendingRuns()
    {
        test::ManualClock clock;
        clock.attach(f->state);
        const qint64 port = f->add(QStringLiteral("9876543210"), QStringLiteral("modem only"), QStringLiteral("COM1"));
        const qint64 later = f->add(QStringLiteral("9876543210"), QStringLiteral("later"), QStringLiteral("Auto"),
                                    clock.now().addSecs(120));
        f->state.setSendingRunning(false);
        const qint64 now = f->add(QStringLiteral("9876543210"), QStringLiteral("now"));
        run();
        QVERIFY(ticksPass());
        QCOMPARE(f->gateway.requestCount(), 0);
        QCOMPARE(f->row(now).status, QStringLiteral("Pending"));

        f->state.setSendingRunning(true);
        QVERIFY(settled(now));
        clock.advance(119s);
        QVERIFY(ticksPass());
        QCOMPARE(f->row(later).status, QStringLiteral("Pending")); // not yet due
        clock.advance(1s);
        QVERIFY(settled(later));
        QCOMPARE(f->row(later).sentAt, clock.now());
        QCOMPARE(f->row(port).status, QStringLiteral("Pending"));
        QCOMPARE(f->gateway.requestCount(), 2);

        // The Internet channel switched off (once the tick that sent it is
        // over: one ending with the channel off leaves the timer at rest):
        // nothing more goes out.
        WAIT_VERIFY(!m_sender->isSending());
        f->state.setInternetChannel(false);
        const qint64 off = f->add(QStringLiteral("9876543210"), QStringLiteral("off"));
        QVERIFY(ticksPass());
        QCOMPARE(f->row(off).status, QStringLiteral("Pending"));
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
        const QList<qint64> ids = addRows(12); // more than one request's worth, eight at once allowed
        const auto attempts = [this] {
            return int(f->logText().count(QStringLiteral("Internet SMS gateway not reachable")));
        };
        run();
        WAIT_COMPARE(attempts(), 1);
        WAIT_VERIFY(!m_sender->isSending()); // every request of the first tick failed
        for (qint64 id : ids)
            QVERIFY(untouched(id));

        // 1 s, doubling on each failure, up to a minute; ticks come and go
        // and none may try before the pause is over.
        int tries = 1;
        for (const int pause : {1, 2, 4, 8, 16, 32, 60, 60}) {
            QVERIFY2(f->logText().endsWith(QStringLiteral("next attempt in %1 s\r\n").arg(pause)),
                     qPrintable(f->logText().right(200)));
            QCOMPARE(m_sender->currentPause(), std::chrono::seconds(pause));
            clock.advance(std::chrono::seconds(pause) - 1ms);
            QVERIFY(ticksPass());
            QCOMPARE(attempts(), tries);
            clock.advance(1ms);
            ++tries;
            WAIT_COMPARE(attempts(), tries);
        }
        QCOMPARE(count(QueueStatus::Pending), 12);
        clock.advance(60s);

        // The gateway comes back: one probe until it answers well; then
        // eight at once again, and the log says so.
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, port))
            QSKIP("the old port was taken meanwhile");
        probe.close();
        f->pointAt(QStringLiteral("127.0.0.1:%1").arg(port));
        f->gateway.replyWith(kSent, 0, true);
        f->gateway.start(); // same port again
        WAIT_COMPARE(f->gateway.held().size(), 1);
        QCOMPARE(m_sender->inFlight(), 1); // and no more
        f->gateway.replyWith(kSent);
        f->gateway.answerAllHeld();
        WAIT_COMPARE(count(QueueStatus::Delivered), 12);
        QVERIFY(f->gateway.mostOpenAtOnce() > 1);
        QVERIFY(f->logText().contains(QStringLiteral("Internet SMS gateway reachable again")));
        QCOMPARE(m_sender->currentPause(), 0ms);
    }

    void gatewayThatNeverAnswersTimesOutAndTheRowStays()
    {
        InternetTimeouts t = test::GatewayFixture::shortTimeouts();
        t.request = 100ms;
        f->client = std::make_unique<HttpClient>(t);
        m_sender = std::make_unique<GatewaySender>(f->store, *f->client, f->state, f->log, *m_timer, t);
        f->gateway.setHandler([](const Request &) { return Reply{200, "OK", {}, 0, true}; });
        const qint64 id = f->add(QStringLiteral("9876543210"), QStringLiteral("a"));
        run();
        WAIT_VERIFY(f->logText().contains(QStringLiteral("not reachable")));
        QCOMPARE(f->row(id).status, QStringLiteral("Pending"));
        QVERIFY(m_timer->isActive()); // the tick ended and gave the timer back
    }

    // 503 for every row: the gateway, not the rows, is failing. The channel
    // pauses; rows answered after that keep their retries, and none fails
    // however long it lasts.
    void serverErrorsOnEveryRowPauseTheChannel()
    {
        test::ManualClock clock;
        clock.attach(f->state);
        f->setParallel(1);
        bool down = true;
        f->gateway.setHandler([&down](const Request &) {
            return down ? Reply{503, "Service Unavailable", "busy"} : Reply{200, "OK", kSent};
        });
        const QList<qint64> ids = addRows(6);
        const auto pauses = [this] {
            return int(f->logText().count(QStringLiteral("Internet SMS gateway not reachable (")
                                          + f->gateway.host() + QStringLiteral(": HTTP/1.1 503 Service Unavailable)")));
        };
        run();
        WAIT_COMPARE(pauses(), 1);
        QCOMPARE(f->gateway.requestCount(), GatewaySender::kFailingRows);
        // A quarter of an hour of it, each pause and each row's own wait over.
        for (int minute = 0; minute < 15; ++minute) {
            const int before = f->gateway.requestCount();
            clock.advance(61s);
            WAIT_VERIFY(f->gateway.requestCount() > before);
            WAIT_VERIFY(m_sender->isPausing());
        }
        QVERIFY(pauses() >= 15);
        QCOMPARE(count(QueueStatus::Failed), 0);
        QCOMPARE(f->store.db().scalar(QStringLiteral("SELECT sum(retry_no) FROM q_logs")).toInt(),
                 GatewaySender::kFailingRows - 1);

        down = false;
        clock.advance(61s);
        WAIT_COMPARE(count(QueueStatus::Delivered), 6);
        QVERIFY(f->logText().contains(QStringLiteral("Internet SMS gateway reachable again")));
    }

    // One message the gateway answers with 500, among good ones: the rows
    // behind it go at once; it waits its own time and, after the bound, fails.
    void serverErrorOnOneRowHoldsUpNoOther_data()
    {
        QTest::addColumn<int>("parallel");
        QTest::newRow("one at a time") << 1;
        QTest::newRow("eight at once") << 8;
    }
    void serverErrorOnOneRowHoldsUpNoOther()
    {
        QFETCH(int, parallel);
        test::ManualClock clock;
        clock.attach(f->state);
        f->setParallel(parallel);
        f->gateway.setHandler([](const Request &r) {
            return message(r) == QLatin1String("poison") ? Reply{500, "Internal Server Error", "<html>trace</html>"}
                                                         : Reply{200, "OK", kSent, 5};
        });
        const auto poisonRequests = [this] {
            const auto &all = f->gateway.requests();
            return std::count_if(all.begin(), all.end(), [](const Request &r) { return message(r) == "poison"; });
        };
        addRows(2);
        const qint64 poison = f->add(QStringLiteral("9876543200"), QStringLiteral("poison"));
        addRows(18, 2);
        run();
        // The clock stands still: nothing waits for any pause. An attempt is
        // over when its answer is written back, not when its request arrives:
        // the clock moves only then.
        const auto attemptOver = [&] {
            return test::waitFor([&] { return f->row(poison).status != QueueStatus::Sending; });
        };
        WAIT_COMPARE(count(QueueStatus::Delivered), 20);
        QVERIFY(attemptOver());
        QueueRow r = f->row(poison);
        QCOMPARE(r.status, QStringLiteral("Pending"));
        QCOMPARE(r.retryNo, 1);
        QCOMPARE(r.nextAttempt, clock.now().addSecs(60));
        QVERIFY(r.comments.isEmpty());
        QVERIFY(!f->logText().contains(QStringLiteral("not reachable")));
        QVERIFY(f->logText().contains(QStringLiteral("answered message %1 with HTTP/1.1 500 Internal Server Error").arg(poison)));

        for (int attempt = 2; attempt <= GatewaySender::kServerErrorLimit; ++attempt) {
            // Before its time it is left alone.
            clock.advance(59s);
            QVERIFY(ticksPass());
            QCOMPARE(poisonRequests(), attempt - 1);
            clock.advance(1s);
            WAIT_COMPARE(poisonRequests(), attempt);
            QVERIFY(attemptOver());
        }
        WAIT_COMPARE(f->row(poison).status, QStringLiteral("Failed"));
        r = f->row(poison);
        const QString reason = QStringLiteral("Reason: HTTP/1.1 500 Internal Server Error at");
        QVERIFY2(r.comments.startsWith(reason), qPrintable(r.comments));
        QCOMPARE(DateTimeText::parse(r.comments.mid(reason.size())), clock.now());
        QCOMPARE(r.sentFrom, QStringLiteral("WEBGATEWAY"));
        QCOMPARE(r.sentAt, clock.now());
        clock.advance(120s);
        QVERIFY(ticksPass());
        QCOMPARE(poisonRequests(), GatewaySender::kServerErrorLimit);
        QCOMPARE(f->gateway.requestCount(), 20 + GatewaySender::kServerErrorLimit);
    }

    // Whatever went wrong, debug.txt names the host and the trouble, never
    // the request's query: it carries the password and the message.
    void failuresAreLoggedWithoutTheQuery_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("status"); // 0: nothing answers
        QTest::newRow("host that is no host name") << QStringLiteral("bad host") << 0;
        QTest::newRow("port out of range") << QStringLiteral("gateway.example:99999") << 0;
        QTest::newRow("nobody listening") << QString() << 0;
        QTest::newRow("server errors") << QString() << 503;
    }
    void failuresAreLoggedWithoutTheQuery()
    {
        QFETCH(QString, host);
        QFETCH(int, status);
        f->store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVpassword = 'S3cr3t-Pa55'"));
        if (status)
            f->gateway.setHandler([status](const Request &) { return Reply{status, "Service Unavailable", "busy"}; });
        else if (host.isEmpty())
            f->gateway.stop();
        if (host.isEmpty())
            host = f->gateway.host();
        f->pointAt(host);
        f->setParallel(1);
        for (int i = 0; i < GatewaySender::kFailingRows; ++i)
            f->add(QStringLiteral("98765432%1").arg(10 + i), QStringLiteral("private words %1").arg(i));
        run();
        WAIT_VERIFY(f->logText().contains(QStringLiteral("not reachable")));
        const QString log = f->logText();
        QVERIFY2(log.contains(QStringLiteral("not reachable (") + host + QStringLiteral(": ")), qPrintable(log));
        for (const QString &secret : {QStringLiteral("S3cr3t"), QStringLiteral("pwd"), QStringLiteral("userid"),
                                      QStringLiteral("private"), QStringLiteral("?"), QStringLiteral("9876543210")})
            QVERIFY2(!log.contains(secret), qPrintable(secret + QStringLiteral(" in: ") + log));
    }

    // One tick drains every due row: with one request in flight row by row,
    // in queue order, over one connection; with eight, up to eight at once,
    // each row sent exactly once, over no more connections than that.
    void oneTickDrainsEveryDueRow_data()
    {
        QTest::addColumn<int>("stored"); // in the settings row, as an old or hand-edited file may hold it
        QTest::addColumn<int>("parallel");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("answerMs");
        QTest::newRow("one at a time") << 1 << 1 << 40 << 2;
        QTest::newRow("eight at once") << 8 << 8 << 80 << 5;
        QTest::newRow("none stored") << 0 << 1 << 10 << 2;
    }
    void oneTickDrainsEveryDueRow()
    {
        QFETCH(int, stored);
        QFETCH(int, parallel);
        QFETCH(int, rows);
        QFETCH(int, answerMs);
        f->store.db().exec(QStringLiteral("UPDATE config_network SET parallelRequests = ?"), {stored});
        f->gateway.replyWith(kSent, answerMs);
        addRows(rows);
        QSignalSpy ticks(m_sender.get(), &GatewaySender::tickFinished);
        m_sender->tick();
        QVERIFY(ticks.wait(10000));
        QCOMPARE(count(QueueStatus::Delivered), rows);
        QSet<QString> sent;
        for (const auto &r : f->gateway.requests())
            sent.insert(message(r));
        QCOMPARE(f->gateway.requestCount(), rows);
        QCOMPARE(sent.size(), rows);
        QCOMPARE(f->gateway.mostOpenAtOnce(), parallel);
        QCOMPARE(m_sender->inFlight(), 0);
        if (parallel == 1) {
            QCOMPARE(message(f->gateway.requests().first()), QStringLiteral("m0"));
            QCOMPARE(message(f->gateway.requests().last()), QStringLiteral("m%1").arg(rows - 1));
            QCOMPARE(f->gateway.connectionsOpened(), 1);
        } else {
            // Kept alive: a connection per slot, not per request. (Qt 6.4
            // allows a set six, and on the set holding slots 6 and 7 it now and
            // then opens a spare when an answer and the slot's next request cross.)
            QVERIFY2(f->gateway.connectionsOpened() <= 8 + 2, qPrintable(QString::number(f->gateway.connectionsOpened())));
        }
    }

    // Answers in another order than the requests: each goes to its own row.
    void answersOutOfOrderMarkTheirOwnRows()
    {
        f->setParallel(8);
        f->gateway.setHandler([](const Request &r) {
            Reply reply{200, "OK", kSent + ": " + message(r).toUtf8()};
            if (message(r).endsWith(QLatin1Char('3')))
                reply.body = "No credit for " + r.query.value(QStringLiteral("sendto")).toUtf8();
            reply.hold = true;
            return reply;
        });
        const QList<qint64> ids = addRows(8);
        const auto idOf = [&](int request) { return ids[message(f->gateway.requests()[request]).mid(1).toInt()]; };
        run();
        WAIT_COMPARE(f->gateway.held().size(), 8);
        const QList<int> held = f->gateway.held();
        for (qsizetype k = held.size() - 1; k >= 0; --k) {
            f->gateway.answerHeld(held[k]);
            QVERIFY(settled(idOf(held[k])));
            // Those not answered yet are still out.
            for (qsizetype j = 0; j < k; ++j)
                QCOMPARE(f->row(idOf(held[j])).status, QStringLiteral("Sending"));
        }
        for (int i = 0; i < 8; ++i) {
            const QueueRow r = f->row(ids[i]);
            QCOMPARE(r.status, i == 3 ? QStringLiteral("Failed") : QStringLiteral("Delivered"));
            const QString head = i == 3 ? QStringLiteral("Reason: No credit for 9876543213")
                                        : QStringLiteral("Message Sent! Success: m%1").arg(i);
            QVERIFY2(stampedNow(r.comments, head), qPrintable(r.comments));
        }
    }

    // Rows are claimed while their requests run. The gateway goes away with
    // eight requests out: all eight rows go back untouched, and when it
    // returns each row is sent once more, once.
    void gatewayLostWithEightInFlight()
    {
        f->setParallel(8);
        f->gateway.replyWith(kSent, 0, true);
        const QList<qint64> ids = addRows(20);
        run();
        WAIT_COMPARE(f->gateway.held().size(), 8);
        QCOMPARE(m_sender->inFlight(), 8); // and no more
        QCOMPARE(count(QueueStatus::Sending), 8);
        // A modem sender looking for work does not see the rows being sent.
        const auto next = f->store.queue().nextDueForPort(QStringLiteral("COM1"), QDateTime::currentDateTime());
        QVERIFY(next && f->row(next->id).status == QLatin1String("Pending"));

        f->gateway.stop();
        WAIT_COMPARE(m_sender->inFlight(), 0);
        WAIT_VERIFY(!m_sender->isSending());
        for (qint64 id : ids)
            QVERIFY(untouched(id));
        QCOMPARE(int(f->logText().count(QStringLiteral("not reachable"))), 1);
        QCOMPARE(f->gateway.requestCount(), 8);

        f->gateway.replyWith(kSent, 5);
        if (!f->gateway.start())
            QSKIP("the old port was taken meanwhile");
        WAIT_COMPARE(count(QueueStatus::Delivered), 20);
        QHash<QString, int> after;
        for (qsizetype i = 8; i < f->gateway.requests().size(); ++i)
            ++after[message(f->gateway.requests()[i])];
        QCOMPARE(after.size(), 20);
        QCOMPARE(f->gateway.requestCount(), 28);
    }

    // Stop Message Sending (the queue view's pause is the same switch) with
    // eight requests out: nothing new goes, the eight answers still count.
    void stopWithRequestsInFlight()
    {
        f->setParallel(8);
        f->gateway.replyWith(kSent, 0, true);
        addRows(20);
        QSignalSpy ticks(m_sender.get(), &GatewaySender::tickFinished);
        run();
        WAIT_COMPARE(f->gateway.held().size(), 8);
        f->state.setSendingRunning(false);
        QVERIFY(m_sender->isSending());
        f->gateway.answerAllHeld();
        WAIT_COMPARE(ticks.count(), 1);
        QVERIFY(!m_sender->isSending());
        QVERIFY(ticksPass());
        QCOMPARE(f->gateway.requestCount(), 8);
        QCOMPARE(count(QueueStatus::Delivered), 8);
        QCOMPARE(count(QueueStatus::Pending), 12);

        f->state.setSendingRunning(true);
        WAIT_COMPARE(f->gateway.held().size(), 8);
    }

    // A drain filling every connection it may use: the account check and a
    // push still go out, and come back, while all of it is held.
    void accountAndPushesNeverWaitBehindTheDrain()
    {
        // More than the most allowed is stored: 32 are used.
        f->store.db().exec(QStringLiteral("UPDATE config_network SET parallelRequests = 99"));
        f->gateway.setHandler([](const Request &r) {
            return Reply{200, "OK", "Credits: 5", 0, false, r.path == QLatin1String("/mess/message.asp")};
        });
        addRows(100);
        run();
        WAIT_COMPARE(f->gateway.held().size(), NetworkSettings::kMostParallel);
        QCOMPARE(m_sender->inFlight(), NetworkSettings::kMostParallel); // and no more

        waitFor(m_account->checkBalance());
        QVERIFY(m_prompter.contains(QStringLiteral("Balance Report"), QStringLiteral("Credits: 5")));
        HttpPushClient push(*f->client);
        const PushReply pushed = waitFor(push.get(QStringLiteral("http://%1/in?m=x").arg(f->gateway.host())));
        QVERIFY(pushed.ok);
        QCOMPARE(pushed.body, QByteArray("Credits: 5"));
        QCOMPARE(f->gateway.held().size(), NetworkSettings::kMostParallel); // the drain still waits
    }

    void balanceIsShownWithLineBreaks()
    {
        f->gateway.replyWith("Credits: 120<br>Valid till: 1/1/2027");
        waitFor(m_account->checkBalance());
        expectOnly(Prompter::Icon::Information, QStringLiteral("Balance Report"),
                   QStringLiteral("Credits: 120\rValid till: 1/1/2027"));
        const auto &req = f->gateway.requests().first();
        QCOMPARE(req.path, QStringLiteral("/crinfo/crinfo.asp"));
        // Sent as stored, untrimmed.
        QCOMPARE(req.query.value(QStringLiteral("userid")), QStringLiteral(" User "));
        QCOMPARE(req.query.value(QStringLiteral("pwd")), QStringLiteral(" Pw "));
    }

    void balanceWithoutAGatewaySaysSo()
    {
        f->gateway.stop();
        waitFor(m_account->checkBalance());
        expectOnly(Prompter::Icon::Critical, QStringLiteral("Error"),
                   QStringLiteral("Please check your internet connection and be sure that you have configured "
                                  "internet sms acccount from Configure>Internet SMS."));
    }

    void applyFetchesSenderIdsAndActivates()
    {
        f->store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVisActive = 0"));
        f->gateway.replyWith("Sender IDs<br> CDMA ID : 9212 <br>GSM ID:TAVSMS:extra\r\n");
        const auto result = applyAndShow(QStringLiteral(" MyUser "), QStringLiteral(" Secret "));
        QVERIFY(result.activated);
        QCOMPARE(result.cdmaId, QStringLiteral("9212"));
        QCOMPARE(result.gsmId, QStringLiteral("TAVSMS"));
        expectOnly(Prompter::Icon::Information, QStringLiteral("Success!"), QStringLiteral("Settings has been changed."));
        const auto &req = f->gateway.requests().first();
        QCOMPARE(req.path, QStringLiteral("/mess/syncids.asp"));
        QCOMPARE(req.query.value(QStringLiteral("userid")), QStringLiteral("myuser"));
        QCOMPARE(req.query.value(QStringLiteral("pwd")), QStringLiteral("secret"));
        const GatewayAccountRecord acc = stored();
        QCOMPARE(acc.username, QStringLiteral("MyUser")); // the operator's case is kept
        QCOMPARE(acc.password, QStringLiteral("Secret"));
        QCOMPARE(acc.cdmaId, QStringLiteral("9212"));
        QCOMPARE(acc.gsmId, QStringLiteral("TAVSMS"));
        QVERIFY(acc.active);
    }

    void applyWithTheUntouchedPlaceholderUsesTheStoredPassword()
    {
        f->gateway.replyWith("x<br>a:1<br>b:2");
        QVERIFY(applyAndShow(QStringLiteral("User"), std::nullopt).activated);
        QCOMPARE(f->gateway.requests().first().query.value(QStringLiteral("pwd")), QStringLiteral("pw"));
        QCOMPARE(stored().password, QStringLiteral("Pw"));
    }

    // A refused login switches the account off; a reply that cannot be
    // read, or none, changes nothing. No failure activates the account.
    void applyThatFailsNeverActivates_data()
    {
        QTest::addColumn<QByteArray>("reply"); // null: no gateway
        QTest::addColumn<QString>("said");
        const QString wrong = QStringLiteral("Error Occured!! Username or Password is incorrect.");
        const QString unread = QStringLiteral("has not been activated");
        QTest::newRow("no match") << QByteArray(" Username and Password does not match.\r\n") << wrong;
        QTest::newRow("no such user") << QByteArray("Username does not exists.") << wrong;
        QTest::newRow("two lines") << QByteArray("only<br>two:lines") << unread;
        QTest::newRow("no colon, second") << QByteArray("a<br>no colon<br>gsm:1") << unread;
        QTest::newRow("no colon, third") << QByteArray("a<br>cdma:1<br>no colon") << unread;
        QTest::newRow("empty") << QByteArray("") << unread;
        QTest::newRow("no ID") << QByteArray("a<br>cdma:<br>gsm:1") << unread;
        QTest::newRow("unreachable") << QByteArray() << GatewayAccount::connectionErrorText();
    }
    void applyThatFailsNeverActivates()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, said);
        // Active before a refusal, to see it switched off; inactive before the others.
        f->store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVisActive = ?"), {said.startsWith("Error")});
        if (reply.isNull())
            f->gateway.stop();
        else
            f->gateway.replyWith(reply);
        QVERIFY(!applyAndShow(QStringLiteral("new"), QStringLiteral("pw")).activated);
        QCOMPARE(m_prompter.count(), 1);
        QCOMPARE(m_prompter.entries().first().icon, Prompter::Icon::Critical);
        QVERIFY2(m_prompter.entries().first().text.contains(said), qPrintable(m_prompter.dump()));
        QVERIFY(!stored().active);
        QCOMPARE(stored().username, QStringLiteral(" User ")); // nothing else written
    }

    void updateCheckComparesTheVersionExactly()
    {
        f->gateway.replyWith(AppInfo::version().toUtf8());
        waitFor(m_account->checkForUpdates());
        expectOnly(Prompter::Icon::Information, QStringLiteral("Update Report"),
                   QStringLiteral("Your software is upto date!"));
        QCOMPARE(f->gateway.requests().first().path, QStringLiteral("/software/currentversion.html"));

        m_prompter.clear();
        f->gateway.replyWith(AppInfo::version().toUtf8() + "<br>");
        waitFor(m_account->checkForUpdates());
        expectOnly(Prompter::Icon::Information, QStringLiteral("Update Report"),
                   QStringLiteral("Your Software Version: ") + AppInfo::version() + QStringLiteral("\rAvailable Version: ")
                       + AppInfo::version()
                       + QStringLiteral("\r\r\rNew update is available for you. Please visit our website to download."));
    }

    void updateCheckNeedsAPlainOkStatus_data()
    {
        QTest::addColumn<int>("status"); // 0: nobody answers
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("404") << 404 << QByteArray("Not Found");
        QTest::newRow("200, not OK") << 200 << QByteArray("Fine");
        QTest::newRow("unreachable") << 0 << QByteArray();
    }
    void updateCheckNeedsAPlainOkStatus()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, reason);
        f->gateway.setHandler([=](const test::FakeGateway::Request &) { return Reply{status, reason, "2.0.0"}; });
        if (!status)
            f->gateway.stop();
        waitFor(m_account->checkForUpdates());
        expectOnly(Prompter::Icon::Critical, QStringLiteral("Error"), GatewayAccount::connectionErrorText());
    }

    void requestsRunOneAtATimeInTheirOrder()
    {
        f->gateway.setHandler([](const test::FakeGateway::Request &r) {
            return Reply{200, "OK", r.rawQuery, 20};
        });
        QList<QString> answers;
        std::vector<QCoro::Task<void>> tasks;
        for (int i = 0; i < 4; ++i)
            tasks.push_back(fetch(i, &answers));
        QVERIFY(f->client->isBusy());
        QCOMPARE(f->client->waiting(), 3);
        WAIT_COMPARE(answers.size(), 4);
        QCOMPARE(answers, (QList<QString>{QStringLiteral("n=0"), QStringLiteral("n=1"), QStringLiteral("n=2"),
                                          QStringLiteral("n=3")}));
        QCOMPARE(f->gateway.mostOpenAtOnce(), 1);
        QVERIFY(!f->client->isBusy());
    }
};

QTEST_GUILESS_MAIN(TestGatewaySender)
#include "tst_gatewaysender.moc"
