// Workstations on one shared database, as desks run them: `tavsms --service`
// programs with their own data directories and tavsms.conf, simulated
// modems and a gateway. Every "Auto" row goes out once, also when a desk is
// killed mid-run (the other sends its claimed rows once their lease runs
// out), and a server restart under load loses no acknowledged message.
#include "FakeGateway.h"
#include "ModemSimulator.h"
#include "PgServer.h"
#include "QueueLog.h"
#include "Store.h"
#include "Wait.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace tavsms;
using Sim = sim::ModemSimulator;

namespace {

quint16 freePort()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        QTcpServer probe;
        const auto candidate = quint16(QRandomGenerator::global()->bounded(20000, 32000));
        if (probe.listen(QHostAddress::Any, candidate))
            return candidate;
    }
    return 0;
}

// One workstation: its directories, tavsms.conf, modems and program.
struct Desk
{
    QString name;
    QTemporaryDir dir;
    quint16 listener = freePort();
    std::vector<std::unique_ptr<Sim>> modems;
    std::unique_ptr<QProcess> process;

    QByteArray debugLog() const
    {
        QFile log(dir.filePath(QStringLiteral("data/tavsms/debug.txt")));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }
};

} // namespace

class TestSharedStore : public QObject
{
    Q_OBJECT

    QString m_url;
    std::unique_ptr<Database> m_db; // the test's own look at the queue
    test::FakeGateway m_gateway;

    // The desk's ports, listener and tavsms.conf, written before its program starts.
    void prepare(Desk &desk, int modems)
    {
        {
            auto store = Store::openShared(m_url, desk.name);
            Database &db = store->db();
            for (int i = 0; i < modems; ++i) {
                auto sim = std::make_unique<Sim>(Sim::Kind::Gsm);
                QVERIFY(sim->start(desk.dir.filePath(QStringLiteral("ttyGSM%1").arg(i + 1))));
                db.exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = ?, "
                                       "deviceType = 'GSM Modem - TAV', mobileOperator = ?, allowRouting = 1 "
                                       "WHERE softwarePortNo = ? AND workstation = ?"),
                        {sim->linkPath(), QStringLiteral("Sim%1").arg(i), QStringLiteral("COM%1").arg(i + 1), desk.name});
                desk.modems.push_back(std::move(sim));
            }
            db.exec(QStringLiteral("UPDATE config_network SET listenerPort = ?, gatewayHost = ?, parallelRequests = 8 "
                                   "WHERE workstation = ?"),
                    {int(desk.listener), m_gateway.host(), desk.name});
            db.exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = 'u', TAVpassword = 'p', TAVisActive = 1"));
        }
        QVERIFY(QDir().mkpath(desk.dir.filePath(QStringLiteral("config/tavsms"))));
        QFile conf(desk.dir.filePath(QStringLiteral("config/tavsms/tavsms.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("# written by the test\nstore = %1\nworkstation = %2\nlease = 4\n")
                       .arg(m_url, desk.name)
                       .toUtf8());
    }

    void start(Desk &desk)
    {
        desk.process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *gone : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "TAVSMS_STORE", "TAVSMS_WORKSTATION"})
            env.remove(QString::fromLatin1(gone));
        env.insert(QStringLiteral("XDG_DATA_HOME"), desk.dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), desk.dir.filePath(QStringLiteral("config")));
        desk.process->setProcessEnvironment(env);
        desk.process->start(QStringLiteral(TAVSMS_BINARY), {QStringLiteral("--service")});
        QVERIFY(desk.process->waitForStarted());
        WAIT_VERIFY(desk.process->peek(4096).contains("service running")
                    || desk.process->state() != QProcess::Running);
        QVERIFY2(desk.process->state() == QProcess::Running, desk.process->peek(4096).constData());
        QVERIFY2(desk.process->peek(4096).contains("Shared: PostgreSQL"), desk.process->peek(4096).constData());
    }

    static void end(Desk &desk)
    {
        if (!desk.process || desk.process->state() == QProcess::NotRunning)
            return;
        desk.process->terminate();
        (void)test::waitFor([&] { return desk.process->state() == QProcess::NotRunning; }, 10000);
    }

    test::QueueLog log()
    {
        if (!m_db)
            m_db = Database::connect(m_url);
        return test::QueueLog(*m_db);
    }

    // Every send of each message: the gateway's requests and the modems' messages.
    static QHash<QString, int> sends(const test::FakeGateway &gateway, const std::vector<Desk *> &desks)
    {
        QHash<QString, int> times;
        for (const auto &request : gateway.requests())
            ++times[request.query.value(QStringLiteral("messageid"))];
        for (const Desk *desk : desks)
            for (const auto &modem : desk->modems)
                for (const Sim::SentMessage &m : modem->sent())
                    ++times[m.text];
        return times;
    }

    QByteArray post(quint16 port, const QString &message)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(3000))
            return {};
        socket.write("GET /?com=c&mobile=9876543210&message=" + message.toUtf8()
                     + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
        QByteArray reply;
        while (socket.waitForReadyRead(3000))
            reply += socket.readAll();
        return reply;
    }

private Q_SLOTS:
    void init()
    {
        m_url = test::PgServer::instance().freshDatabase();
        m_db.reset();
        m_gateway.replyWith("Message Sent! Success", 5);
        QVERIFY(m_gateway.start());
    }
    void cleanup()
    {
        m_db.reset();
        m_gateway.stop();
    }

    void twoDesksSendEveryRowOnceAndTakeOverADeadDesksRows()
    {
        constexpr int kRows = 2000;
        Desk a, b;
        a.name = QStringLiteral("desk-a");
        b.name = QStringLiteral("desk-b");
        prepare(a, 2);
        prepare(b, 3);
        test::QueueLog queue = log();
        {
            Transaction tx(*m_db);
            MessageQueue q(*m_db);
            for (int i = 0; i < kRows; ++i)
                QVERIFY(q.addToQueue(QStringLiteral("9876543210"), QStringLiteral("m%1").arg(i), kRouteAuto));
            tx.commit();
        }
        // A gateway slow enough that the modems, a message a second each, get their share.
        m_gateway.replyWith("Message Sent! Success", 40);
        start(a);
        start(b);
        const auto delivered = [&] { return queue.count(QueueStatus::Delivered); };
        const auto modemsOfASent = [&] { return !a.modems[0]->sent().isEmpty() || !a.modems[1]->sent().isEmpty(); };
        WAIT_VERIFY_WITHIN(delivered() >= kRows / 3 && modemsOfASent(), 60000);

        a.process->kill();
        QVERIFY(test::waitFor([&] { return a.process->state() == QProcess::NotRunning; }, 10000));
        const qint64 claimedByTheDead = m_db->scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = "
                                                                    "'Sending' AND claimed_by = 'desk-a'"))
                                            .toLongLong();
        WAIT_VERIFY_WITHIN(delivered() == kRows, 60000);
        QCOMPARE(queue.count(QueueStatus::Sending), 0);

        const QHash<QString, int> times = sends(m_gateway, {&a, &b});
        QCOMPARE(times.size(), kRows);
        int again = 0;
        for (int n : times)
            again += n - 1;
        QVERIFY2(again <= claimedByTheDead,
                 qPrintable(QStringLiteral("%1 sent twice, %2 in flight at the kill").arg(again).arg(claimedByTheDead)));
        // Both desks worked.
        for (const QString &desk : {a.name, b.name})
            QVERIFY(m_db->scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE claimed_by = ?"), {desk}).toLongLong()
                    > 0);
        QVERIFY(b.debugLog().contains("messages put back in the queue: their senders' claims ran out"));
        end(b);
    }

    void aServerRestartUnderLoadLosesNothingAcknowledged()
    {
        Desk desk;
        desk.name = QStringLiteral("desk-a");
        prepare(desk, 0);
        start(desk);
        QStringList acknowledged;
        int refused = 0;
        int sent = 0;
        const auto postSome = [&](int count) {
            for (int i = 0; i < count; ++i) {
                const QString message = QStringLiteral("r%1").arg(sent++);
                const QByteArray reply = post(desk.listener, message);
                if (reply.contains("Status:OK"))
                    acknowledged << message;
                else if (reply.startsWith("HTTP/1.1 503"))
                    ++refused;
                else
                    QFAIL(reply.isEmpty() ? "no answer" : reply.constData());
            }
        };
        postSome(80);
        test::PgServer::instance().stop();
        postSome(40);
        QCOMPARE(acknowledged.size(), 80);
        QCOMPARE(refused, 40);
        test::PgServer::instance().start();
        // Back by itself, within the longest pause between attempts.
        WAIT_VERIFY_WITHIN(desk.debugLog().contains("Database connection restored"), 35000);
        postSome(80);
        QCOMPARE(acknowledged.size(), 160);
        test::QueueLog queue = log();
        WAIT_VERIFY_WITHIN(queue.count(QueueStatus::Delivered) == acknowledged.size(), 30000);
        for (const QString &message : std::as_const(acknowledged))
            QCOMPARE(queue.statusOf(message), QueueStatus::Delivered);
        const QByteArray debug = desk.debugLog();
        QVERIFY(debug.indexOf("Database connection lost") < debug.indexOf("Database connection restored"));
        end(desk);
    }
};

QTEST_GUILESS_MAIN(TestSharedStore)
#include "tst_sharedstore.moc"
