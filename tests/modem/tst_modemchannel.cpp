// The modem channel over the real serial stack, against simulated devices:
// port initialisation and the port senders.
#include "DateTimeText.h"
#include "ModemPortInitializer.h"
#include "ModemTestSteps.h"
#include "PortSender.h"

#include <QSignalSpy>

using namespace tavsms;
using namespace tavsms::test;
using Kind = sim::ModemSimulator::Kind;
using Fault = sim::ModemSimulator::Fault;
using namespace std::chrono_literals;

class TestModemChannel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialisesGsmAndCdmaPorts()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        auto &cdma = rig.addDevice(Kind::Cdma, QStringLiteral("cdma"));
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem, true, false);
        rig.configure(QStringLiteral("COM2"), rig.linkPath(QStringLiteral("cdma")), kCdma, false, true);
        rig.withStore([](Store &s) {
            const qint64 id = s.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("x"), QStringLiteral("COM5")).id;
            QVERIFY(s.queue().claim(id));
        });
        rig.start(60000); // no sender ticks: only initialisation talks

        QCOMPARE(gsm.commands(), (QStringList{"ATI", "AT+CMGF=1", "AT+CNMI=0,0,0,0,0"}));
        QCOMPARE(cdma.commands(), QStringList{"AT"}); // a CDMA phone gets the probe only
        QCOMPARE(rig.state().connectedCount(), 2);
        QCOMPARE(rig.state().connectedToolTip(), QStringLiteral("2 phones/modems connected."));
        QCOMPARE(rig.state().port(0).deviceClass, QStringLiteral("GSM"));
        QCOMPARE(rig.state().port(1).deviceClass, QStringLiteral("CDMA"));
        QVERIFY(rig.state().port(0).twoWay && !rig.state().port(0).routing);
        QVERIFY(rig.controller->portTimer(0).isActive() && rig.controller->portTimer(1).isActive());
        QVERIFY(!rig.controller->portTimer(2).isActive());
        QVERIFY(rig.prompter.entries().isEmpty()); // WAVECOM on COM1: no warning
        QCOMPARE(status(rig, 1), QStringLiteral("Pending")); // the queue repair ran

        const QString log = rig.debugLog();
        for (const char *line : {" Activating COM1 - \r\n", " Status COM1 - True\r\n", " Activating COM1 for GSM Type - \r\n",
                                 " Status GSM Modem - True\r\n", " Activating COM2 - \r\n", " Status COM2 - True\r\n"})
            QVERIFY2(log.contains(QLatin1String(line)), line);
        QVERIFY(!log.contains(QLatin1String("COM2 for GSM Type")));

        // Re-initialising closes the open ports and opens them again.
        const quint64 before = rig.channel->port(0).session();
        gsm.clearRecords();
        rig.controller->reinitialize();
        QTRY_VERIFY(rig.prompter.contains(applicationTitle(), QStringLiteral("Reinitialization complete!!")));
        QVERIFY(rig.channel->port(0).session() > before);
        QVERIFY(rig.channel->port(0).isOpen());
        QCOMPARE(gsm.commands().value(0), QStringLiteral("ATI"));
    }

    void probeOutcomesAndTheNokiaCheck()
    {
        ModemRig rig;
        auto &phone = rig.addDevice(Kind::Gsm, QStringLiteral("phone"));
        phone.setIdentification({QStringLiteral("Acme Phone 3000")});
        auto &broken = rig.addDevice(Kind::Gsm, QStringLiteral("broken"));
        broken.setFault(QStringLiteral("AT"), Fault::Error);
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("phone")), QStringLiteral("GSM Mobile - Other"));
        rig.configure(QStringLiteral("COM3"), rig.linkPath(QStringLiteral("broken")), kGsmModem);
        rig.start(60000);

        QVERIFY(rig.prompter.contains(QStringLiteral("Not Nokia Phone"),
                                      QStringLiteral("Phone is connected but it is not NOKIA model and will not be "
                                                     "supported. Please ignore this if, you have connected GSM modem or "
                                                     "else please recheck the PORT No.")));
        QCOMPARE(rig.prompter.entries().first().icon, Prompter::Icon::Information);
        // ERROR to the probe: not counted, but the port is open and its sender runs.
        QCOMPARE(rig.state().connectedCount(), 1);
        QVERIFY(rig.channel->port(2).isOpen());
        QVERIFY(rig.controller->portTimer(2).isActive());
        QVERIFY(rig.debugLog().contains(QLatin1String(" Status COM3 - False\r\n")));
        QVERIFY(rig.debugLog().contains(QLatin1String("COM3 Status GSM Modem - False\r\n")));
    }

    void identificationIsMatchedWithoutRegardToCase_data()
    {
        QTest::addColumn<QStringList>("identification");
        QTest::newRow("lower-case wavecom") << QStringList{"wavecom modem", "multiband 900e 1800"};
        QTest::newRow("lower-case nokia") << QStringList{"nokia", "6600"};
    }
    void identificationIsMatchedWithoutRegardToCase()
    {
        QFETCH(QStringList, identification);
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        gsm.setIdentification(identification);
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem);
        rig.start(60000);
        QCOMPARE(gsm.commands().value(0), QStringLiteral("ATI"));
        QCOMPARE(rig.state().connectedCount(), 1);
        QVERIFY2(rig.prompter.entries().isEmpty(), qPrintable(rig.prompter.dump()));
    }

    void missingPortOpensNothing()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem);
        rig.configure(QStringLiteral("COM3"), QStringLiteral("/nonexistent/ttyUSB9"), kGsmModem, false, true,
                      QStringLiteral("Airtel"));
        rig.withStore([](Store &s) {
            const qint64 id = s.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("x"), kRouteAuto).id;
            QVERIFY(s.queue().claim(id));
        });
        rig.start();

        QCOMPARE(rig.prompter.count(), 1);
        QCOMPARE(rig.prompter.entries().first().icon, Prompter::Icon::Critical);
        QCOMPARE(rig.prompter.entries().first().text,
                 ModemPortInitializer::missingPortText(QStringLiteral("/nonexistent/ttyUSB9"), QStringLiteral("Airtel")));
        QVERIFY(rig.prompter.entries().first().text.contains(
            QLatin1String("COM Port No /nonexistent/ttyUSB9 used by connection name ''Airtel'' is not available.")));
        QCOMPARE(rig.tips.size(), 1);
        QCOMPARE(rig.tips.first(), (QStringList{"Tip", "You need to configure ports from File>>Configure Modem", "10"}));
        QVERIFY(!rig.channel->port(0).isOpen()); // COM1 included
        QVERIFY(gsm.received().isEmpty());
        QVERIFY(!rig.controller->portTimer(0).isActive());
        QVERIFY(rig.state().port(0).present);
        QVERIFY(!rig.state().port(2).present);
        QCOMPARE(status(rig, 1), QStringLiteral("Sending")); // no repair in this run
    }

    void portThatCannotBeOpenedEndsStartUp()
    {
        ModemRig rig;
        rig.configure(QStringLiteral("COM1"), QStringLiteral("/dev/null"), kGsmModem);
        rig.build();
        QSignalSpy fatal(rig.controller, &MainController::fatalError);
        QCOMPARE(rig.app->start(), Application::StartResult::Failed);
        QCOMPARE(fatal.count(), 1);
        QCOMPARE(rig.prompter.entries().last().title, QStringLiteral("Critical Error"));
        QVERIFY2(rig.prompter.entries().last().text.startsWith(QStringLiteral("Serial Port /dev/null (COM1)\r\n")),
                 qPrintable(rig.prompter.dump()));
    }

    void autoRowsAreDeliveredExactlyOnce()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        auto &cdma = rig.addDevice(Kind::Cdma, QStringLiteral("cdma"));
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem);
        rig.configure(QStringLiteral("COM2"), rig.linkPath(QStringLiteral("cdma")), kCdma);
        rig.withStore([](Store &s) {
            for (int i = 0; i < 20; ++i)
                QVERIFY(s.queue().addToQueue(QStringLiteral("98765432%1").arg(i, 2, 10, QLatin1Char('0')),
                                             QStringLiteral("msg %1").arg(i), kRouteAuto));
        });
        rig.start(20);
        QTRY_COMPARE_WITH_TIMEOUT(rig.count(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered'")),
                                  qint64(20), 20000);

        QStringList texts;
        for (const auto &m : gsm.sent())
            texts << m.text;
        for (const auto &m : cdma.sent())
            texts << m.text;
        QCOMPARE(texts.size(), 20);
        texts.removeDuplicates();
        QCOMPARE(texts.size(), 20);
        QVERIFY(!gsm.sent().isEmpty() && !cdma.sent().isEmpty());

        // Each row tells which port sent it, and when.
        Statement st = rig.store().db().prepare(QStringLiteral(
            "SELECT outgoing_message, sent_from, comments, sent_at, retry_no FROM q_logs"));
        int fromCom2 = 0;
        while (st.next()) {
            const QString from = st.text(QStringLiteral("sent_from"));
            QVERIFY(from == QLatin1String("COM1") || from == QLatin1String("COM2"));
            const QDateTime sentAt = DateTimeText::parse(st.text(QStringLiteral("sent_at")));
            QCOMPARE(st.text(QStringLiteral("comments")),
                     QStringLiteral("Message sent from %1 at").arg(from) + DateTimeText::display(sentAt));
            QCOMPARE(st.integer(QStringLiteral("retry_no")), 0);
            fromCom2 += from == QLatin1String("COM2");
        }
        QCOMPARE(fromCom2, int(cdma.sent().size()));
    }

    void gsmAndCdmaWireForms()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        auto &cdma = rig.addDevice(Kind::Cdma, QStringLiteral("cdma"));
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem);
        rig.configure(QStringLiteral("COM2"), rig.linkPath(QStringLiteral("cdma")), kCdma);
        rig.withStore([](Store &s) {
            QVERIFY(s.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("abc"), QStringLiteral("COM2")));
            // Echo on: a text that mentions ERROR is still one good send.
            QVERIFY(s.queue().addToQueue(QStringLiteral("9876543211"), QStringLiteral("ERROR in invoice 12, don't \"pay\""),
                                         QStringLiteral("COM1")));
        });
        rig.start(20);
        QTRY_COMPARE_WITH_TIMEOUT(rig.count(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered'")),
                                  qint64(2), 10000);
        QVERIFY(cdma.received().contains("AT+CMGS=0A393837363534333231300003616263\r"));
        QVERIFY(!cdma.received().contains('\x1A'));
        QVERIFY(gsm.received().contains("AT+CMGS=\"9876543211\"\rERROR in invoice 12, don't \"pay\"\x1A\r"));
        QCOMPARE(gsm.sent().size(), 1);
        QCOMPARE(rig.store().queue().row(2)->sentFrom, QStringLiteral("COM1"));
        QCOMPARE(rig.store().queue().row(2)->retryNo, 0);
    }

    void refusedSendGoesBackWithOneMoreRetry()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem);
        rig.start(20);
        gsm.setFault(QStringLiteral("AT+CMGS"), Fault::Error);
        enqueue(rig, QStringLiteral("9876543210"), QStringLiteral("ATD112;"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.store().queue().row(1)->retryNo >= 1, 5000);
        rig.controller->stopSending();
        QTRY_VERIFY(!rig.channel->sender(0).ticking());
        const QueueRow row = *rig.store().queue().row(1);
        QCOMPARE(row.status, QStringLiteral("Pending"));
        QVERIFY(row.sentFrom.isEmpty());
        // The text never reaches a device that refused the number.
        QVERIFY(!gsm.received().contains("ATD112;"));

        // The same device answering ERROR to the text itself.
        gsm.setFault(QStringLiteral("AT+CMGS"), Fault::None);
        gsm.setFault(QStringLiteral("<Ctrl-Z>"), Fault::Error);
        const int before = rig.store().queue().row(1)->retryNo;
        rig.controller->startSending();
        QTRY_VERIFY_WITH_TIMEOUT(rig.store().queue().row(1)->retryNo > before, 5000);
        QVERIFY(gsm.received().contains("ATD112;\x1A\r"));
        QCOMPARE(rig.store().queue().row(1)->status == QLatin1String("Delivered"), false);
    }

    void lineBreaksInATextCannotFakeAnOutcome()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        gsm.setFault(QStringLiteral("<Ctrl-Z>"), Fault::Error);
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem);
        rig.start(20);
        enqueue(rig, QStringLiteral("9876543210"), QStringLiteral("Hi\r\nOK\r\nthere"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.store().queue().row(1)->retryNo >= 1, 5000);
        QCOMPARE(gsm.sent().value(0).text, QStringLiteral("Hi OK there"));
        rig.controller->stopSending();
        QTRY_VERIFY(!rig.channel->sender(0).ticking());
        QCOMPARE(status(rig, 1), QStringLiteral("Pending"));
    }

    void silentDeviceTimesOutAndStoppedSendingTouchesNothing()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem, true, true);
        rig.start(20);
        rig.controller->stopSending();
        QTRY_VERIFY(!rig.channel->sender(0).ticking());
        gsm.clearRecords();
        enqueue(rig, QStringLiteral("9876543210"), QStringLiteral("later"), kRouteAuto);
        QTest::qWait(400);
        QVERIFY(gsm.received().isEmpty()); // no poll, no send
        QCOMPARE(status(rig, 1), QStringLiteral("Pending"));

        gsm.setFault(QStringLiteral("AT+CMGS"), Fault::Silence);
        rig.controller->startSending();
        QTRY_VERIFY_WITH_TIMEOUT(rig.store().queue().row(1)->retryNo >= 1, 5000);
        // No prompt came: the text was not written; ESC closes a late prompt.
        QVERIFY(!gsm.received().contains("later"));
        QVERIFY(gsm.received().contains('\x1B'));
    }

    void portThatDoesNotRouteSendsNothing()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem, false, false);
        rig.withStore([](Store &s) {
            QVERIFY(s.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("for COM1"), QStringLiteral("COM1")));
            QVERIFY(s.queue().addToQueue(QStringLiteral("9876543211"), QStringLiteral("for anyone"), kRouteAuto));
        });
        rig.start(20);
        QVERIFY(rig.controller->portTimer(0).isActive()); // the port is open and its sender ticks
        QSignalSpy ticks(&rig.channel->sender(0), &PortSender::tickFinished);
        QTRY_VERIFY(ticks.count() >= 10);
        QVERIFY(gsm.commands().filter(QStringLiteral("AT+CMGS")).isEmpty());
        QCOMPARE(status(rig, 1), QStringLiteral("Pending"));
        QCOMPARE(status(rig, 2), QStringLiteral("Pending"));

        // Allowed to route, the same sender delivers both.
        rig.state().port(0).routing = true;
        QTRY_COMPARE_WITH_TIMEOUT(rig.count(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered'")),
                                  qint64(2), 5000);
    }

    void shutdownDuringAWaitLeavesTheRowForTheNextStart()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        gsm.setFault(QStringLiteral("<Ctrl-Z>"), Fault::Silence);
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem);
        rig.start(20);
        rig.channel->timeouts().result = std::chrono::minutes(5);
        enqueue(rig, QStringLiteral("9876543210"), QStringLiteral("caught"), kRouteAuto);
        QTRY_VERIFY_WITH_TIMEOUT(gsm.received().contains("caught\x1A"), 5000);
        QVERIFY(rig.channel->sender(0).rowInFlight());

        QElapsedTimer clock;
        clock.start();
        rig.controller->shutdown();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.channel->sender(0).ticking(), 2000);
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(!rig.channel->port(0).isOpen());
        QVERIFY(!rig.controller->portTimer(0).isActive());
        QCOMPARE(status(rig, 1), QStringLiteral("Sending"));
        QCOMPARE(rig.store().queue().row(1)->retryNo, 0);

        // The next start puts it back and sends it.
        rig.stop();
        gsm.setFault(QStringLiteral("<Ctrl-Z>"), Fault::None);
        rig.start(20);
        QTRY_COMPARE_WITH_TIMEOUT(rig.store().queue().row(1)->status, QStringLiteral("Delivered"), 5000);
    }

    void reinitialisingLeavesARowInFlightAlone()
    {
        ModemRig rig;
        auto &first = rig.addDevice(Kind::Gsm, QStringLiteral("first"));
        auto &second = rig.addDevice(Kind::Gsm, QStringLiteral("second"));
        first.setFault(QStringLiteral("<Ctrl-Z>"), Fault::Silence);
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("first")), kGsmModem);
        rig.start(20);
        rig.channel->timeouts().result = std::chrono::minutes(5);
        enqueue(rig, QStringLiteral("9876543210"), QStringLiteral("in flight"));
        QTRY_VERIFY_WITH_TIMEOUT(first.received().contains("in flight\x1A"), 5000);

        // COM1 is switched off and COM2 on; COM1 stays open with its send under way.
        rig.store().db().exec(QStringLiteral("UPDATE config_ports SET portActive = 0 WHERE softwarePortNo = 'COM1'"));
        rig.store().db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = ?, deviceType = ?, "
                                             "allowRouting = 1 WHERE softwarePortNo = 'COM2'"),
                              {rig.linkPath(QStringLiteral("second")), kGsmModem});
        rig.controller->reinitialize();
        QTRY_VERIFY(rig.prompter.contains(applicationTitle(), QStringLiteral("Reinitialization complete!!")));
        QTest::qWait(200);
        QCOMPARE(status(rig, 1), QStringLiteral("Sending"));
        QVERIFY(second.sent().isEmpty()); // not sent a second time
        QVERIFY(rig.channel->port(0).isOpen());
    }

    void vanishingDeviceMidSendIsRetried()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        gsm.setFault(QStringLiteral("<Ctrl-Z>"), Fault::Vanish);
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem);
        rig.start(20);
        enqueue(rig, QStringLiteral("9876543210"), QStringLiteral("gone"), kRouteAuto);
        QTRY_VERIFY_WITH_TIMEOUT(!gsm.isRunning(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.store().queue().row(1)->retryNo, 1, 5000);
        QCOMPARE(status(rig, 1), QStringLiteral("Pending"));
        QTRY_VERIFY(!rig.channel->port(0).isOpen());
        // Ticks go on without the device and take nothing.
        QTest::qWait(200);
        QCOMPARE(rig.store().queue().row(1)->retryNo, 1);

        // Back again: re-initialisation finds it and the row goes out.
        auto &again = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        rig.controller->reinitialize();
        QTRY_COMPARE_WITH_TIMEOUT(rig.store().queue().row(1)->status, QStringLiteral("Delivered"), 5000);
        QCOMPARE(again.sent().size(), 1);
    }

    void lostDeviceLeavesTheCountAndComesBackByItself()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        rig.addDevice(Kind::Gsm, QStringLiteral("other"));
        const QString link = rig.linkPath(QStringLiteral("gsm"));
        rig.configure(QStringLiteral("COM1"), link, kGsmModem);
        rig.configure(QStringLiteral("COM2"), rig.linkPath(QStringLiteral("other")), kGsmModem, false, false);
        rig.start(20);
        QCOMPARE(rig.state().connectedCount(), 2);

        // Pulled out while the port is idle: no send, no poll notices it.
        gsm.stop();
        QTRY_COMPARE_WITH_TIMEOUT(rig.state().connectedCount(), 1, 5000);
        QCOMPARE(rig.state().connectedText(), QStringLiteral("Connected: 1"));
        QCOMPARE(rig.state().connectedToolTip(), QStringLiteral("1 phones/modems connected."));
        QCOMPARE(rig.state().tipText(), QStringLiteral("COM1 device lost: ") + link);
        QCOMPARE(rig.debugLog().count(QStringLiteral(" COM1 - device lost (%1)\r\n").arg(link)), 1);
        QTRY_VERIFY(!rig.channel->port(0).isOpen());
        // Nothing at the path: nothing to open, and rows for it wait.
        enqueue(rig, QStringLiteral("9876543210"), QStringLiteral("while away"), QStringLiteral("COM1"));
        QTest::qWait(400);
        QVERIFY(!rig.channel->port(0).isOpen());
        QCOMPARE(status(rig, 1), QStringLiteral("Pending"));
        QCOMPARE(rig.state().connectedCount(), 1);

        // Another device behind the same link (a by-id name that now points
        // to another node): opened, initialised and sending, untouched by hand.
        auto &again = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.state().connectedCount(), 2, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(status(rig, 1), QStringLiteral("Delivered"), 5000);
        QCOMPARE(again.commands().mid(0, 3), (QStringList{"ATI", "AT+CMGF=1", "AT+CNMI=0,0,0,0,0"}));
        QCOMPARE(again.sent().value(0).text, QStringLiteral("while away"));
        QCOMPARE(rig.debugLog().count(QStringLiteral(" COM1 - device back (%1)\r\n").arg(link)), 1);
        QCOMPARE(rig.state().tipText(), QStringLiteral("COM1 device back: ") + link);
        QVERIFY2(rig.prompter.entries().isEmpty(), qPrintable(rig.prompter.dump()));

        // Gone again and back again: the same, every time.
        again.stop();
        QTRY_COMPARE_WITH_TIMEOUT(rig.state().connectedCount(), 1, 5000);
        rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.state().connectedCount(), 2, 5000);
        QCOMPARE(rig.debugLog().count(QStringLiteral(" COM1 - device lost (%1)\r\n").arg(link)), 2);
        QCOMPARE(rig.debugLog().count(QStringLiteral(" COM1 - device back (%1)\r\n").arg(link)), 2);
    }

    void lostDeviceIsNotReopenedAfterShutdownOrWhenSwitchedOff()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem);
        rig.start(20);
        gsm.stop();
        QTRY_COMPARE_WITH_TIMEOUT(rig.state().connectedCount(), 0, 5000);
        // Switched off meanwhile: back at its path, it stays closed.
        rig.store().db().exec(QStringLiteral("UPDATE config_ports SET portActive = 0 WHERE softwarePortNo = 'COM1'"));
        auto &again = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        QTest::qWait(400);
        QVERIFY(!rig.channel->port(0).isOpen());
        QVERIFY(again.received().isEmpty());
        QVERIFY(!rig.debugLog().contains(QLatin1String("device back")));

        // Switched on and lost again; then the program shuts down.
        rig.store().db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1 WHERE softwarePortNo = 'COM1'"));
        rig.controller->reinitialize(false);
        QTRY_COMPARE_WITH_TIMEOUT(rig.state().connectedCount(), 1, 5000);
        again.stop();
        QTRY_COMPARE_WITH_TIMEOUT(rig.state().connectedCount(), 0, 5000);
        rig.controller->shutdown();
        auto &late = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        QTest::qWait(400);
        QVERIFY(late.received().isEmpty());
        QVERIFY(!rig.channel->port(0).isOpen());
    }

    void retriedRowGoesOutUnderSteadyFreshTraffic()
    {
        ModemRig rig;
        auto &gsm = rig.addDevice(Kind::Gsm, QStringLiteral("gsm"));
        rig.configure(QStringLiteral("COM1"), rig.linkPath(QStringLiteral("gsm")), kGsmModem);
        gsm.setFault(QStringLiteral("AT+CMGS=\"1111111111\""), Fault::Error);
        rig.start(20);
        enqueue(rig, QStringLiteral("1111111111"), QStringLiteral("failed once"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.store().queue().row(1)->retryNo >= 1, 5000);
        rig.controller->stopSending();
        QTRY_VERIFY(!rig.channel->sender(0).ticking());
        gsm.clearFaults();

        // A new row for the port before every tick, so there is always a
        // fresh row that has never failed.
        int ticks = 0;
        int sentAt = -1;
        enqueue(rig, QStringLiteral("9876543210"), QStringLiteral("fresh"), QStringLiteral("COM1"));
        connect(&rig.channel->sender(0), &PortSender::tickFinished, this, [&] {
            ++ticks;
            if (sentAt < 0 && status(rig, 1) == QLatin1String("Delivered"))
                sentAt = ticks;
            enqueue(rig, QStringLiteral("9876543210"), QStringLiteral("fresh"), QStringLiteral("COM1"));
        });
        rig.controller->startSending();
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3 * MessageQueue::kRetryTurn, 20000);
        rig.controller->stopSending();
        QVERIFY2(sentAt > 0 && sentAt <= MessageQueue::kRetryTurn, qPrintable(QString::number(sentAt)));
        // The fresh rows kept going out around it.
        const auto sent = gsm.sent();
        QVERIFY(sent.size() >= 2 * MessageQueue::kRetryTurn);
        QCOMPARE(std::count_if(sent.cbegin(), sent.cend(),
                               [](const auto &m) { return m.text == QLatin1String("failed once"); }),
                 1);
    }
};

QTEST_GUILESS_MAIN(TestModemChannel)
#include "tst_modemchannel.moc"
