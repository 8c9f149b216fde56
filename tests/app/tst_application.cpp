// The program without its window: an orderly end that finishes what is being
// sent, and how far it waits; where the listener listens; and messages
// received, stored, answered by the auto-reply rules and the replies sent
// back through the same phone (what each rule does is the auto-reply test's
// matter).
#include "FakeGateway.h"
#include "GatewaySender.h"
#include "InternetServices.h"
#include "LoopbackHttpServer.h"
#include "ModemRig.h"
#include "NetworkSettings.h"

#include <QElapsedTimer>
#include <QTcpSocket>

using namespace tavsms;
using namespace tavsms::test;
using namespace std::chrono_literals;
using Sim = sim::ModemSimulator;

class TestApplication : public QObject
{
    Q_OBJECT

    // Every row for the gateway, which holds its answers until told.
    static void holdingGateway(ModemRig &rig, FakeGateway &gateway, const QString &route)
    {
        QVERIFY(gateway.start());
        gateway.replyWith("Message Sent! Success", 0, true);
        rig.withStore([&](Store &s) {
            NetworkSettings n = NetworkSettings::load(s.db());
            n.gatewayHost = gateway.host();
            n.save(s.db());
            s.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVisActive = 1"));
            // Three out at once (the default allows eight).
            for (int i = 0; i < 3; ++i)
                QVERIFY(s.queue().addToQueue(QStringLiteral("987654321%1").arg(i), QStringLiteral("by web"), route));
        });
        rig.start();
        WAIT_COMPARE(gateway.held().size(), 3);
    }

    static QStringList sentBy(const Sim &sim)
    {
        QStringList out;
        for (const auto &m : sim.sent())
            out << m.number + QLatin1Char('|') + m.text;
        return out;
    }

private Q_SLOTS:
    void quitLetsTheSendUnderWayFinish()
    {
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1")); // it answers when the test says so
        QVERIFY(rig.startSilent(gsm, QStringLiteral("last words")));
        rig.enqueue(QStringLiteral("9876543211"), QStringLiteral("next"));

        QSignalSpy finished(rig.app.get(), &Application::quitFinished);
        rig.app->requestQuit();
        // Nothing new is taken: no listener, no further rows; the send goes on.
        QVERIFY(!rig.app->internet().listener().isListening());
        QVERIFY(!rig.state().sendingRunning());
        QVERIFY(!rig.controller->isShutDown());
        QVERIFY(rig.channel->port(0).isOpen());
        QCOMPARE(finished.count(), 0);

        gsm.inject("\r\n+CMGS: 7\r\n\r\nOK\r\n"); // the phone took it
        WAIT_COMPARE(finished.count(), 1);
        QVERIFY(rig.controller->isShutDown());
        QVERIFY(!rig.channel->port(0).isOpen());
        QCOMPARE(rig.status(1), QStringLiteral("Delivered"));
        QCOMPARE(rig.status(2), QStringLiteral("Pending"));
        QCOMPARE(gsm.sent().size(), 1);
        QVERIFY(rig.debugLog().contains(QLatin1String(" Shutting down - waiting for the messages being sent\r\n")));
    }

    // Asked twice, the program ends at once; asked once, when the drain
    // limit is up. The row stays with its channel's claim; the next start
    // puts it back.
    void aSecondRequestOrTheDrainLimitEndsTheWait_data()
    {
        QTest::addColumn<bool>("twice");
        QTest::newRow("drain limit") << false;
        QTest::newRow("asked twice") << true;
    }
    void aSecondRequestOrTheDrainLimitEndsTheWait()
    {
        QFETCH(bool, twice);
        ModemRig rig;
        QVERIFY(rig.startSilent(rig.device(QStringLiteral("COM1")), QStringLiteral("stuck")));
        QSignalSpy finished(rig.app.get(), &Application::quitFinished);
        rig.app->setDrainLimit(twice ? 5min : 100ms);
        QElapsedTimer clock;
        clock.start();
        rig.app->requestQuit();
        QCOMPARE(finished.count(), 0);
        if (twice) {
            rig.app->requestQuit();
            QCOMPARE(finished.count(), 1);
        } else {
            WAIT_COMPARE(finished.count(), 1);
            QVERIFY(clock.elapsed() >= 95); // a coarse timer may fire 5% early
            QVERIFY(rig.debugLog().contains(QLatin1String("a message was still being sent")));
        }
        QVERIFY(rig.controller->isShutDown());
        QCOMPARE(rig.status(1), QStringLiteral("Sending"));
    }

    void quitWaitsForEveryGatewayAnswer()
    {
        ModemRig rig;
        FakeGateway gateway;
        holdingGateway(rig, gateway, kRouteGateway);
        QSignalSpy finished(rig.app.get(), &Application::quitFinished);
        rig.app->requestQuit();
        QVERIFY(rig.app->internet().sender()->isSending());
        const QList<int> held = gateway.held();
        for (int answered = 1; answered <= held.size(); ++answered) {
            QCOMPARE(finished.count(), 0);
            gateway.answerHeld(held.at(answered - 1));
            WAIT_COMPARE(rig.queue().count(QStringLiteral("Delivered")), qint64(answered));
        }
        WAIT_COMPARE(finished.count(), 1);
        QCOMPARE(gateway.requestCount(), 3);
    }

    // Re-initialisation while gateway requests are out leaves their rows
    // claimed: putting them back would send them a second time.
    void reinitialisationLeavesTheGatewaysRowsClaimed()
    {
        ModemRig rig;
        FakeGateway gateway;
        holdingGateway(rig, gateway, kRouteAuto);
        QVERIFY(finish(rig.controller->reinitialize(false)));
        QCOMPARE(rig.queue().count(QStringLiteral("Sending")), qint64(3));
        gateway.answerAllHeld();
        WAIT_COMPARE(rig.queue().count(QStringLiteral("Delivered")), qint64(3));
        // Ticks later, none has gone a second time.
        QSignalSpy ticks(rig.app->internet().sender(), &GatewaySender::tickFinished);
        WAIT_VERIFY(ticks.count() >= 3);
        QCOMPARE(gateway.requestCount(), 3);
    }

    // The listener binds where the settings say and serves only the
    // allowed networks; settings it cannot take stop the start, saying why.
    void listenerTakesItsAddressAndNetworksFromTheSettings()
    {
        ModemRig rig;
        rig.withStore([](Store &s) {
            NetworkSettings n = NetworkSettings::load(s.db());
            n.listenAddress = QStringLiteral("127.0.0.2");
            n.allowedNetworks = QStringLiteral("127.0.0.3");
            n.save(s.db());
        });
        rig.start();
        const quint16 port = rig.app->internet().listener().port();
        const auto ask = [port](const char *from, const char *to) {
            QTcpSocket socket;
            socket.bind(QHostAddress(QString::fromLatin1(from)));
            socket.connectToHost(QHostAddress(QString::fromLatin1(to)), port);
            socket.write("GET /?com=c&mobile=9876543210&message=hi HTTP/1.0\r\n\r\n");
            QByteArray reply;
            QObject::connect(&socket, &QTcpSocket::readyRead, [&] { reply += socket.readAll(); });
            // The listener runs on this thread: wait with the event loop turning.
            if (!waitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }))
                return QByteArray("still open");
            return reply + socket.errorString().toUtf8();
        };
        QVERIFY(ask("127.0.0.3", "127.0.0.2").contains("Status:OK"));
        QVERIFY(!ask("127.0.0.2", "127.0.0.2").contains("Status:OK"));
        QVERIFY(ask("127.0.0.3", "127.0.0.1").contains("refused"));
        QCOMPARE(rig.queue().count(), qint64(1));
        rig.stop();

        ModemRig bad;
        bad.withStore([](Store &s) {
            s.db().exec(QStringLiteral("UPDATE config_network SET allowedNetworks = '10.0.0.0/33'"));
        });
        bad.build();
        QCOMPARE(bad.app->start(), Application::StartResult::Failed);
        QVERIFY2(bad.prompter.dump().contains(QStringLiteral("Allowed networks: '10.0.0.0/33' is not a network.")),
                 qPrintable(bad.prompter.dump()));
    }

    void joinHelloPushAndAPortWithoutRules()
    {
        ModemRig rig;
        LoopbackHttpServer pushTarget;
        Sim &com1 = rig.device(QStringLiteral("COM1"), Sim::Kind::Gsm, true, true);
        Sim &com2 = rig.device(QStringLiteral("COM2"), Sim::Kind::Gsm, true, true);
        rig.withStore([&pushTarget](Store &store) {
            Database &db = store.db();
            db.exec(QStringLiteral("INSERT INTO groups (dated, group_name) VALUES ('2026-12-01 10:00:00', 'Friends')"));
            const QString rule = QStringLiteral(
                "INSERT INTO auto_reply (auto_reply_keyword, com_port, auto_reply_response, group_add, group_delete, "
                "group_name, auto_reply_action, auto_reply_push_url) VALUES (?, 'COM1', ?, ?, 0, ?, ?, ?)");
            db.exec(rule, {QStringLiteral("join"), QStringLiteral("Welcome"), 1, QStringLiteral("Friends"),
                           QStringLiteral("NOPUSH"), QString()});
            db.exec(rule, {QStringLiteral("a"), QStringLiteral("unused"), 0, QStringLiteral("TAVNA"),
                           QStringLiteral("PUSH"),
                           pushTarget.baseUrl() + QStringLiteral("/sms?from=@@sender@@&msg=@@message@@")});
        });
        const QDateTime stamp(QDate(2026, 12, 6), QTime(9, 30));
        com1.addInbox(QStringLiteral("+919000000001"), stamp, QStringLiteral("JOIN me"));
        com2.addInbox(QStringLiteral("+919000000001"), stamp.addSecs(30), QStringLiteral("JOIN me"));

        rig.start();
        QCOMPARE(rig.state().connectedCount(), 2);
        Database &db = rig.store().db();

        // JOIN: stored, deleted from the phone, answered through the same phone, member added.
        WAIT_COMPARE(sentBy(com1), QStringList{"9000000001|Welcome"});
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM groups_mem WHERE group_mem_mobile = '9000000001'")), 1);
        QVERIFY(com1.inbox().isEmpty());
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM incoming_logs WHERE com_port = 'COM1'")).toInt(), 1);

        // The push rule forwards the message and queues no reply.
        com1.addInbox(QStringLiteral("+919000000001"), stamp.addSecs(60), QStringLiteral("a b&c"));
        WAIT_COMPARE(pushTarget.targets(), QList<QByteArray>{"/sms?from=+919000000001&msg=a%20b%26c"});

        // COM2 has no rules: its message was stored and deleted, nothing answered.
        WAIT_VERIFY(com2.inbox().isEmpty());
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM incoming_logs WHERE com_port = 'COM2'")).toInt(), 1);
        QVERIFY(rig.ticks(1, 3));
        QCOMPARE(sentBy(com2), QStringList());
        QCOMPARE(sentBy(com1).size(), 1);
        QCOMPARE(rig.queue().rows(QStringLiteral("com_port, status, sent_from")), QStringList{"COM1|Delivered|COM1"});
    }
};

QTEST_GUILESS_MAIN(TestApplication)
#include "tst_application.moc"
