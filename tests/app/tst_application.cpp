// The program without its window: an orderly end that finishes what is being
// sent, and how far it waits.
#include "DebugLog.h"
#include "FakeGateway.h"
#include "GatewaySender.h"
#include "HttpSendListener.h"
#include "InternetServices.h"
#include "ModemRig.h"
#include "NetworkSettings.h"
#include "PortSender.h"

#include <QCoroTask>
#include <QSignalSpy>
#include <QTcpSocket>

using namespace tavsms;
using namespace tavsms::test;
using Kind = sim::ModemSimulator::Kind;
using Fault = sim::ModemSimulator::Fault;
using namespace std::chrono_literals;

namespace {
const QString kGsmModem = QStringLiteral("GSM Modem - TAV");
}

class TestApplication : public QObject
{
    Q_OBJECT

    // One GSM modem on COM1 that keeps the outcome of a send to itself.
    static sim::ModemSimulator &slowModem(ModemRig &rig, Fault fault)
    {
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        gsm.setFault(QStringLiteral("<Ctrl-Z>"), fault);
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem);
        return gsm;
    }

    static QString status(ModemRig &rig, qint64 id) { return rig.store().queue().row(id)->status; }

private Q_SLOTS:
    void quitLetsTheSendUnderWayFinish()
    {
        ModemRig rig;
        auto &gsm = slowModem(rig, Fault::Silence); // it answers when the test says so
        rig.start(20);
        rig.channel->timeouts().result = 5min;
        const qint64 id = rig.store().queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("last words"),
                                                         kRouteAuto).id;
        const qint64 waiting = rig.store().queue().addToQueue(QStringLiteral("9876543211"), QStringLiteral("next"),
                                                              kRouteAuto).id;
        QTRY_VERIFY_WITH_TIMEOUT(gsm.received().contains("last words\x1A"), 5000);

        QSignalSpy finished(rig.app.get(), &Application::quitFinished);
        rig.app->requestQuit();
        // Nothing new is taken: no listener, no further rows; the send goes on.
        QVERIFY(!rig.app->internet().listener().isListening());
        QVERIFY(!rig.state().sendingRunning());
        QVERIFY(!rig.controller->isShutDown());
        QVERIFY(rig.channel->port(0).isOpen());
        QTest::qWait(100);
        QCOMPARE(finished.count(), 0);

        gsm.inject("\r\n+CMGS: 7\r\n\r\nOK\r\n"); // the phone took it
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
        QVERIFY(rig.controller->isShutDown());
        QVERIFY(!rig.channel->port(0).isOpen());
        QCOMPARE(status(rig, id), QStringLiteral("Delivered"));
        QCOMPARE(status(rig, waiting), QStringLiteral("Pending"));
        QCOMPARE(gsm.sent().size(), 1);
        QVERIFY(rig.debugLog().contains(QLatin1String(" Shutting down - waiting for the messages being sent\r\n")));
    }

    void aSecondRequestOrTheDrainLimitEndsTheWait()
    {
        ModemRig rig;
        auto &gsm = slowModem(rig, Fault::Silence);
        rig.start(20);
        rig.channel->timeouts().result = 5min;
        const qint64 id = rig.store().queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("stuck"),
                                                         kRouteAuto).id;
        QTRY_VERIFY_WITH_TIMEOUT(gsm.received().contains("stuck\x1A"), 5000);

        QSignalSpy finished(rig.app.get(), &Application::quitFinished);
        rig.app->setDrainLimit(300ms);
        QElapsedTimer clock;
        clock.start();
        rig.app->requestQuit();
        QTest::qWait(100);
        QCOMPARE(finished.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 3000);
        QVERIFY(clock.elapsed() >= 300);
        // The row stays with its channel's claim; the next start puts it back.
        QCOMPARE(status(rig, id), QStringLiteral("Sending"));
        QVERIFY(rig.debugLog().contains(QLatin1String("a message was still being sent")));

        // Asked twice: at once.
        ModemRig other;
        auto &silent = slowModem(other, Fault::Silence);
        other.start(20);
        other.channel->timeouts().result = 5min;
        QVERIFY(other.store().queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("stuck"), kRouteAuto));
        QTRY_VERIFY_WITH_TIMEOUT(silent.received().contains("stuck\x1A"), 5000);
        QSignalSpy done(other.app.get(), &Application::quitFinished);
        other.app->requestQuit();
        QCOMPARE(done.count(), 0);
        other.app->requestQuit();
        QCOMPARE(done.count(), 1);
        QVERIFY(other.controller->isShutDown());
    }

    void quitWaitsForTheGatewaysAnswer()
    {
        ModemRig rig;
        FakeGateway gateway;
        QVERIFY(gateway.start());
        gateway.setHandler([](const FakeGateway::Request &) {
            return FakeGateway::Reply{200, "OK", "Message Sent! Success", 300, false};
        });
        rig.withStore([&gateway](Store &s) {
            NetworkSettings n = NetworkSettings::load(s.db());
            n.gatewayHost = gateway.host();
            n.save(s.db());
            s.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVisActive = 1"));
            // Three out at once (the default allows eight); the quit waits for every answer.
            for (int i = 0; i < 3; ++i)
                QVERIFY(s.queue().addToQueue(QStringLiteral("987654321%1").arg(i), QStringLiteral("by web"),
                                             kRouteGateway));
        });
        rig.start();
        QTRY_COMPARE_WITH_TIMEOUT(gateway.requestCount(), 3, 5000);
        QSignalSpy finished(rig.app.get(), &Application::quitFinished);
        rig.app->requestQuit();
        QVERIFY(rig.app->internet().sender()->isSending());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
        for (qint64 id = 1; id <= 3; ++id)
            QCOMPARE(status(rig, id), QStringLiteral("Delivered"));
        QCOMPARE(gateway.requestCount(), 3);
    }

    // Re-initialisation while gateway requests are out leaves their rows
    // claimed: putting them back would send them a second time.
    void reinitialisationLeavesTheGatewaysRowsClaimed()
    {
        ModemRig rig;
        FakeGateway gateway;
        QVERIFY(gateway.start());
        gateway.setHandler([](const FakeGateway::Request &) {
            FakeGateway::Reply reply{200, "OK", "Message Sent! Success"};
            reply.hold = true;
            return reply;
        });
        rig.withStore([&gateway](Store &s) {
            NetworkSettings n = NetworkSettings::load(s.db());
            n.gatewayHost = gateway.host();
            n.save(s.db());
            s.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVisActive = 1"));
            for (int i = 0; i < 3; ++i)
                QVERIFY(s.queue().addToQueue(QStringLiteral("987654321%1").arg(i), QStringLiteral("m"), kRouteAuto));
        });
        rig.start();
        QTRY_COMPARE_WITH_TIMEOUT(gateway.held().size(), 3, 5000);
        QCoro::waitFor(rig.controller->reinitialize(false));
        for (qint64 id = 1; id <= 3; ++id)
            QCOMPARE(status(rig, id), QStringLiteral("Sending"));
        for (int request : gateway.held())
            gateway.answerHeld(request);
        for (qint64 id = 1; id <= 3; ++id)
            QTRY_COMPARE_WITH_TIMEOUT(status(rig, id), QStringLiteral("Delivered"), 5000);
        QTest::qWait(200);
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
            if (!QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 5000))
                return QByteArray("still open");
            return reply + socket.errorString().toUtf8();
        };
        QVERIFY(ask("127.0.0.3", "127.0.0.2").contains("Status:OK"));
        QVERIFY(!ask("127.0.0.2", "127.0.0.2").contains("Status:OK"));
        QVERIFY(ask("127.0.0.3", "127.0.0.1").contains("refused"));
        QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM q_logs")), 1);
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
};

QTEST_GUILESS_MAIN(TestApplication)
#include "tst_application.moc"
