// `tavsms --service` as an operator runs it: no window, no display, a
// simulated modem, messages queued through the listener, SIGTERM, restart.
#include "FakeGateway.h"
#include "ModemSimulator.h"
#include "QueueLog.h"
#include "SharedStore.h"
#include "Store.h"
#include "TestDataDirectory.h"
#include "Wait.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <csignal>

using namespace tavsms;
using Sim = sim::ModemSimulator;

class TestService : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestDataDirectory> m_dir;
    std::unique_ptr<Database> m_db;
    quint16 m_port = 0;

    // Waits with the event loop running: the simulated modem lives in this
    // process and must go on answering meanwhile.
    static bool ended(QProcess &process, int timeoutMs = 10000)
    {
        return test::waitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    }

    QString databasePath() const { return m_dir->programDir() + QStringLiteral("/tavsms.mdb"); }

    // A program process with this test's data directory and no display at all.
    std::unique_ptr<QProcess> launch(const QStringList &arguments, bool offscreenWindow = false)
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (offscreenWindow)
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(TAVSMS_BINARY), arguments);
        return process;
    }

    std::unique_ptr<QProcess> startService()
    {
        if (!QFile::exists(databasePath()))
            prepareDatabase();
        auto service = launch({QStringLiteral("--service")});
        [&] { QVERIFY(service->waitForStarted()); }();
        (void)test::waitFor([&] { return service->peek(4096).contains("service running")
                                     || service->state() != QProcess::Running; },
                        10000);
        return service;
    }

    // One request to the service's listener; its reply.
    QByteArray queueThroughListener(const QByteArray &target)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (!socket.waitForConnected(3000))
            return "not connected: " + socket.errorString().toUtf8();
        // Read to the end of the connection: ask the listener to end it.
        socket.write("GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
        QByteArray reply;
        while (socket.waitForReadyRead(3000))
            reply += socket.readAll();
        return reply;
    }

    QByteArray debugLog() const
    {
        QFile log(m_dir->programDir() + QStringLiteral("/debug.txt"));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }

    // The program's database, a copy of the test program's shared store
    // (keyed once for all tests) with the listener on this test's port and
    // whatever `more` writes.
    void prepareDatabase(const std::function<void(Store &)> &more = {})
    {
        Store &store = test::freshStore();
        store.db().exec(QStringLiteral("UPDATE config_network SET listenerPort = ?"), {int(m_port)});
        if (more)
            more(store);
        QDir().mkpath(m_dir->programDir());
        test::copyStoreTo(databasePath());
    }

    // The program's queue, read beside it through a connection of the test's own.
    test::QueueLog queueLog()
    {
        if (!m_db)
            m_db = Database::open(databasePath(), QByteArray(Store::kKey));
        return test::QueueLog(*m_db);
    }
    QString statusOf(const QString &message) { return queueLog().statusOf(message); }

    static QByteArray hashOf(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                           : QByteArray();
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        // A port free now, for the service to listen on. It is taken below
        // the kernel's ephemeral range (32768 and up), so no client socket of a
        // test running beside this one can be given it before the service binds.
        m_port = 0;
        for (int attempt = 0; attempt < 100 && m_port == 0; ++attempt) {
            QTcpServer probe;
            const auto candidate = quint16(QRandomGenerator::global()->bounded(20000, 32000));
            if (probe.listen(QHostAddress::Any, candidate))
                m_port = candidate;
        }
        QVERIFY(m_port != 0);
    }
    void cleanup()
    {
        m_db.reset();
        m_dir.reset();
    }

    void deliversStopsInOrderAndLosesNothing()
    {
        Sim modem(Sim::Kind::Gsm);
        QVERIFY(modem.start(m_dir->root() + QStringLiteral("/ttyGSM1")));
        prepareDatabase([&](Store &store) {
            store.db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = ?, "
                                           "deviceType = 'GSM Modem - TAV', mobileOperator = 'Sim', allowRouting = 1 "
                                           "WHERE softwarePortNo = 'COM1'"),
                            {modem.linkPath()});
        });

        auto service = startService();
        QVERIFY2(service->state() == QProcess::Running, service->readAll().constData());

        // SIGTERM while the modem has yet to answer a send: the program waits
        // for the answer, marks the row, then runs the closing steps.
        modem.setFault(QStringLiteral("<Ctrl-Z>"), Sim::Fault::Silence);
        QVERIFY(queueThroughListener("/?com=COM1&mobile=9876543210&message=first").contains("Status:OK"));
        WAIT_VERIFY_WITHIN(modem.received().contains("first\x1A"), 10000);
        service->terminate();
        WAIT_VERIFY_WITHIN(debugLog().contains(" Shutting down - waiting for the messages being sent\r\n"), 5000);
        QCOMPARE(service->state(), QProcess::Running);
        modem.inject("\r\n+CMGS: 2\r\n\r\nOK\r\n");
        QVERIFY(ended(*service));
        QCOMPARE(service->exitStatus(), QProcess::NormalExit);
        QCOMPARE(service->exitCode(), 0);
        QVERIFY(service->readAllStandardOutput().contains("TAVSMS service stopped"));
        QCOMPARE(statusOf(QStringLiteral("first")), QStringLiteral("Delivered"));

        // Started again: nothing is sent twice, and new work goes out.
        modem.clearFaults();
        auto again = startService();
        QVERIFY(again->state() == QProcess::Running);
        QVERIFY(queueThroughListener("/?com=COM1&mobile=9876543210&message=second").contains("Status:OK"));
        WAIT_VERIFY_WITHIN(modem.received().contains("second\x1A"), 10000);
        WAIT_COMPARE(statusOf(QStringLiteral("second")), QStringLiteral("Delivered"));
        QCOMPARE(modem.sent().size(), 2);
        ::kill(pid_t(again->processId()), SIGINT);
        QVERIFY(ended(*again));
        QCOMPARE(again->exitCode(), 0);

        QCOMPARE(debugLog().count(" Service started\r\n"), 2);
    }

    void oneProgramPerDataDirectory()
    {
        auto service = startService();
        QVERIFY(service->state() == QProcess::Running);
        const QByteArray before = hashOf(databasePath());

        auto second = launch({QStringLiteral("--service")});
        QVERIFY(ended(*second));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 1);
        QVERIFY(second->readAllStandardOutput().contains("[Application Error] Application Already Running"));
        QCOMPARE(hashOf(databasePath()), before);
        QCOMPARE(service->state(), QProcess::Running);
    }

    // The program killed (SIGKILL) again and again while the gateway drains
    // the queue with 8 requests in flight, each answered after 50 ms: after
    // each kill, the only messages sent again are those whose requests the
    // gateway held unanswered at that moment. Each kill comes once every
    // answer the gateway gave is in the program's hands, its row no longer
    // "Sending": in the middle of the drain, with 8 requests held, and at
    // its end, with none. Each start after a kill also shows that the lock
    // the dead program left blocks nothing.
    void gatewayMessagesAnsweredBeforeAKillAreNotSentAgain()
    {
        constexpr int kRows = 59; // not a whole number of eights
        constexpr int kInFlight = 8;
        test::FakeGateway gateway;
        // Held answers: the requests in flight at the kill.
        const auto holding = [&gateway](bool hold) { gateway.replyWith("Message Sent! Success", 50, hold); };
        holding(false);
        QVERIFY(gateway.start());
        prepareDatabase([&](Store &store) {
            store.db().exec(QStringLiteral("UPDATE config_network SET gatewayHost = ?, parallelRequests = ?"),
                            {gateway.host(), kInFlight});
            store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = 'u', TAVpassword = 'p', "
                                           "TAVisActive = 1"));
            Transaction batch(store.db()); // one commit, not one per row
            for (int i = 0; i < kRows; ++i)
                QVERIFY(store.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("m%1").arg(i),
                                                 kRouteGateway));
            batch.commit();
        });
        const test::QueueLog log = queueLog();
        const auto sending = [&] { return log.count(QueueStatus::Sending); };
        QHash<QString, int> times; // requests per message
        int seen = 0;
        int sentAgain = 0; // requests for a message asked for before, since the last kill
        const auto look = [&] {
            for (; seen < gateway.requestCount(); ++seen)
                sentAgain += times[gateway.requests().at(seen).query.value(QStringLiteral("messageid"))]++ > 0;
        };

        int held = 0; // at the last kill
        for (const int requestsBeforeKill : {16, 36, kRows}) {
            auto service = startService();
            QVERIFY(service->state() == QProcess::Running);
            // What the last kill left "Sending" goes first.
            QVERIFY(test::waitFor([&] { return gateway.requestCount() >= requestsBeforeKill; }, 10000));
            look();
            QVERIFY2(sentAgain <= held, qPrintable(QStringLiteral("%1 sent again, %2 unanswered at the kill")
                                                       .arg(sentAgain).arg(held)));
            const bool end = requestsBeforeKill == kRows;
            if (end) // every message asked for once
                QVERIFY(test::waitFor([&] { look(); return times.size() == kRows; }, 10000));
            holding(true);
            const int expectHeld = end ? 0 : kInFlight;
            QVERIFY2(test::waitFor([&] { return gateway.openNow() == expectHeld && gateway.held().size() == expectHeld
                                                  && sending() == expectHeld; }, 5000),
                     qPrintable(QStringLiteral("%1 rows sending, %2 requests open").arg(sending()).arg(gateway.openNow())));
            look();
            held = gateway.openNow();
            sentAgain = 0;
            service->kill();
            QVERIFY(ended(*service));
            gateway.answerAllHeld(); // to a dead connection: nobody reads it
            holding(false);
        }

        auto last = startService();
        QVERIFY(test::waitFor([&] { return sending() == 0; }, 5000));
        last->terminate();
        QVERIFY(ended(*last));
        look();
        QCOMPARE(sentAgain, 0); // nothing was in flight at the last kill
        QCOMPARE(log.count(QueueStatus::Delivered), kRows);
    }

    void windowEndsInOrderOnSigterm()
    {
        prepareDatabase();
        auto window = launch({}, true);
        QVERIFY(window->waitForStarted());
        // Up once it listens.
        WAIT_VERIFY_WITHIN(queueThroughListener("/?com=COM1&mobile=9876543210&message=x").contains("Status:OK"),
                                 10000);
        window->terminate();
        QVERIFY(ended(*window));
        QCOMPARE(window->exitStatus(), QProcess::NormalExit);
        QCOMPARE(window->exitCode(), 0);
        QVERIFY(!QFile::exists(m_dir->programDir() + QStringLiteral("/tavsms.lock")));
    }

    // A full disk under debug.txt: the service says so once, on standard
    // error only, and goes on taking and sending messages.
    void aDebugLogThatCannotBeWrittenIsToldOnceOnStandardError()
    {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        prepareDatabase();
        const QString log = m_dir->programDir() + QStringLiteral("/debug.txt");
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), log));
        auto service = startService();
        QCOMPARE(service->state(), QProcess::Running);
        for (const char *text : {"one", "two", "three"})
            QVERIFY(queueThroughListener(QByteArray("/?com=COM1&mobile=9876543210&message=") + text)
                        .contains("Status:OK"));
        QCOMPARE(statusOf(QStringLiteral("three")), QStringLiteral("Pending"));
        service->terminate();
        QVERIFY(ended(*service));
        QCOMPARE(service->exitCode(), 0);

        const QString told = QStringLiteral("The debug log %1 cannot be written: No space left on device\n").arg(log);
        const QString errors = QString::fromLocal8Bit(service->readAllStandardError());
        QVERIFY2(errors.count(told) == 1, qPrintable(errors));
        QVERIFY2(!service->readAllStandardOutput().contains("debug log"), qPrintable(errors));
    }

    // What the operator reads when tavsms.mdb is damaged, and the file kept as it was.
    void aDamagedDatabaseIsRefusedSayingWhatToDo()
    {
        prepareDatabase([](Store &store) {
            QVERIFY(store.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("kept"), kRouteAuto));
        });
        QFile file(databasePath());
        QVERIFY(file.resize(file.size() - 100));
        const QByteArray before = hashOf(databasePath());

        auto service = launch({QStringLiteral("--service")});
        QVERIFY(ended(*service));
        QCOMPARE(service->exitCode(), 1);
        const QString out = QString::fromUtf8(service->readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("[Critical Error] Database / The database file %1 cannot be used: it is "
                                             "damaged. The file has not been changed. To start with an empty database, "
                                             "move the file")
                                  .arg(databasePath())),
                 qPrintable(out));
        QCOMPARE(hashOf(databasePath()), before);
    }

    void serviceWithoutADisplayNeedsNone()
    {
        // The window without a display says how to run instead.
        auto window = launch({});
        QVERIFY(ended(*window));
        QCOMPARE(window->exitCode(), 1);
        QVERIFY(window->readAllStandardError().contains("--service"));
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
