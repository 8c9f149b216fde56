// The modem channel over the real serial stack, against simulated devices:
// port initialisation, the port senders, and devices that come and go; and
// what a port keeps of its input, over a real pseudo-terminal whose far end
// writes from a thread of its own: idle ports drop what nobody asked for, a
// dialogue holds at most the cap of one answer, and a wait looks at each
// byte once.
#include "AtDialogue.h"
#include "DateTimeText.h"
#include "ModemRig.h"
#include "PtyDevice.h"

#include <QElapsedTimer>

using namespace tavsms;
using namespace tavsms::test;
using AtDialogue::Outcome;
using namespace std::chrono_literals;

namespace {

QByteArray noise()
{
    // Unsolicited lines, and bytes that are no lines at all.
    QByteArray bytes = "\r\nRING\r\n\r\n+CMTI: \"SM\",3\r\n";
    for (int i = 0; bytes.size() < 4096; ++i)
        bytes += char('!' + i % 90);
    return bytes;
}

// COM1 on a pseudo-terminal with a device behind it, and a log of its own.
struct FloodedPort
{
    TestDataDirectory dir;
    PtyDevice device;
    DebugLog log;
    AppState state;
    ModemPort port{QStringLiteral("COM1")};
    QString trouble; // why it could not be set up

    FloodedPort()
    {
        const QString link = dir.root() + QStringLiteral("/ttyNOISE");
        trouble = log.open(dir.root() + QStringLiteral("/debug.txt"));
        if (trouble.isEmpty() && !device.open(link))
            trouble = device.errorString();
        port.setDebugLog(&log);
        if (trouble.isEmpty())
            trouble = port.open(link);
    }
    int dropLines() const
    {
        QFile f(log.path());
        return f.open(QIODevice::ReadOnly)
            ? int(f.readAll().count(" COM1 - more than 65536 bytes in one answer; the oldest were dropped\r\n"))
            : -1;
    }
};

} // namespace

class TestModemChannel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialisesGsmAndCdmaPorts()
    {
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"), Kind::Gsm, true, false);
        auto &cdma = rig.device(QStringLiteral("COM2"), Kind::Cdma);
        rig.withStore([](Store &s) {
            const qint64 id = s.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("x"), QStringLiteral("COM5")).id;
            QVERIFY(s.queue().claim(id));
        });
        rig.start(60000); // no sender ticks: only initialisation talks

        QCOMPARE(gsm.commands(), (QStringList{"ATI", "AT+CMGF=1", "AT+CNMI=0,0,0,0,0"} + kHealthReads));
        QCOMPARE(cdma.commands(), QStringList{"AT"}); // a CDMA phone gets the probe only
        QCOMPARE(rig.state().connectedCount(), 2);
        QCOMPARE(rig.state().connectedToolTip(), QStringLiteral("2 phones/modems connected."));
        QCOMPARE(rig.state().port(0).deviceClass + rig.state().port(1).deviceClass, QStringLiteral("GSMCDMA"));
        QVERIFY(rig.state().port(0).twoWay && !rig.state().port(0).routing);
        QVERIFY(rig.controller->portTimer(0).isActive() && rig.controller->portTimer(1).isActive());
        QVERIFY(!rig.controller->portTimer(2).isActive());
        QVERIFY(rig.prompter.entries().isEmpty()); // WAVECOM on COM1: no warning
        QCOMPARE(rig.status(1), QStringLiteral("Pending")); // the queue repair ran

        const QString log = rig.debugLog();
        for (const char *line : {" Activating COM1 - \r\n", " Status COM1 - True\r\n", " Activating COM1 for GSM Type - \r\n",
                                 " Status GSM Modem - True\r\n", " Activating COM2 - \r\n", " Status COM2 - True\r\n"})
            QVERIFY2(log.contains(QLatin1String(line)), line);
        QVERIFY(!log.contains(QLatin1String("COM2 for GSM Type")));

        // Re-initialising closes the open ports and opens them again.
        const quint64 before = rig.channel->port(0).session();
        gsm.clearRecords();
        rig.controller->reinitialize();
        WAIT_VERIFY(rig.prompter.contains(applicationTitle(), QStringLiteral("Reinitialization complete!!")));
        QVERIFY(rig.channel->port(0).session() > before);
        QVERIFY(rig.channel->port(0).isOpen());
        QCOMPARE(gsm.commands().value(0), QStringLiteral("ATI"));
    }

    void probeOutcomesAndTheNokiaCheck()
    {
        ModemRig rig;
        auto &phone = rig.device(QStringLiteral("COM1"));
        auto &broken = rig.device(QStringLiteral("COM3"));
        broken.setFault(QStringLiteral("AT"), Fault::Error);
        rig.start(60000);
        // ERROR to the probe: not counted, but the port is open and its sender runs.
        QCOMPARE(rig.state().connectedCount(), 1);
        QVERIFY(rig.channel->port(2).isOpen());
        QVERIFY(rig.controller->portTimer(2).isActive());
        QVERIFY(rig.debugLog().contains(QLatin1String(" Status COM3 - False\r\n")));
        QVERIFY(rig.debugLog().contains(QLatin1String("COM3 Status GSM Modem - False\r\n")));

        // Only a phone on COM1 that names neither Nokia nor WAVECOM, in any case, is warned about.
        for (const QStringList &lines : {QStringList{"wavecom modem", "multiband 900e 1800"}, QStringList{"nokia", "6600"},
                                         QStringList{"Acme Phone 3000"}}) {
            rig.prompter.clear();
            phone.setIdentification(lines);
            QVERIFY(finish(rig.controller->reinitialize(false)));
            QCOMPARE(rig.state().connectedCount(), 1);
            QVERIFY2(rig.prompter.count() == (lines.first().startsWith('A') ? 1 : 0), qPrintable(rig.prompter.dump()));
        }
        QVERIFY(rig.prompter.contains(QStringLiteral("Not Nokia Phone"),
                                      QStringLiteral("Phone is connected but it is not NOKIA model and will not be "
                                                     "supported. Please ignore this if, you have connected GSM modem or "
                                                     "else please recheck the PORT No.")));
        QCOMPARE(rig.prompter.entries().last().icon, Prompter::Icon::Information);
    }

    void missingPortOpensNothing()
    {
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"));
        rig.configure(QStringLiteral("COM3"), QStringLiteral("/nonexistent/ttyUSB9"), kGsmModem, false, true,
                      QStringLiteral("Airtel"));
        rig.withStore([](Store &s) {
            const qint64 id = s.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("x"), kRouteAuto).id;
            QVERIFY(s.queue().claim(id));
        });
        rig.build();
        QSignalSpy tips(rig.app.get(), &Application::tipRequested);
        rig.start();

        QCOMPARE(rig.prompter.count(), 1);
        QCOMPARE(rig.prompter.entries().first().icon, Prompter::Icon::Critical);
        QVERIFY(rig.prompter.entries().first().text.contains(
            QLatin1String("COM Port No /nonexistent/ttyUSB9 used by connection name ''Airtel'' is not available.")));
        QCOMPARE(tips, (QList<QVariantList>{{"Tip", "You need to configure ports from File>>Configure Modem", 10}}));
        QVERIFY(!rig.channel->port(0).isOpen()); // COM1 included
        QVERIFY(gsm.received().isEmpty());
        QVERIFY(!rig.controller->portTimer(0).isActive());
        QVERIFY(rig.state().port(0).present && !rig.state().port(2).present);
        QCOMPARE(rig.status(1), QStringLiteral("Sending")); // no repair in this run
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

    void rowsAreDeliveredOnceEachInTheirWireForm()
    {
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"));
        auto &cdma = rig.device(QStringLiteral("COM2"), Kind::Cdma);
        rig.withStore([](Store &s) {
            QVERIFY(s.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("abc"), QStringLiteral("COM2")));
            // Echo on: a text that mentions ERROR is still one good send.
            QVERIFY(s.queue().addToQueue(QStringLiteral("9876543211"), QStringLiteral("ERROR in invoice 12, don't \"pay\""),
                                         QStringLiteral("COM1")));
            for (int i = 0; i < 20; ++i)
                QVERIFY(s.queue().addToQueue(QStringLiteral("98765432%1").arg(i, 2, 10, QLatin1Char('0')),
                                             QStringLiteral("msg %1").arg(i), kRouteAuto));
        });
        rig.start();
        WAIT_COMPARE(rig.queue().count(QStringLiteral("Delivered")), qint64(22));

        QSet<QString> texts;
        for (const auto &m : gsm.sent() + cdma.sent())
            texts << m.text;
        QCOMPARE(texts.size(), gsm.sent().size() + cdma.sent().size()); // none twice
        QCOMPARE(texts.size(), 22);
        QVERIFY(gsm.sent().size() > 1 && cdma.sent().size() > 1);
        QCOMPARE(rig.queue().rows(QStringLiteral("sent_from")).mid(0, 2), (QStringList{"COM2", "COM1"}));
        QVERIFY(cdma.received().contains("AT+CMGS=0A393837363534333231300003616263\r"));
        QVERIFY(!cdma.received().contains('\x1A'));
        QVERIFY(gsm.received().contains("AT+CMGS=\"9876543211\"\rERROR in invoice 12, don't \"pay\"\x1A\r"));

        // Each row tells which port sent it, and when.
        int fromCom2 = 0;
        for (const QString &row : rig.queue().rows(QStringLiteral("sent_from, retry_no, sent_at, comments"))) {
            const QStringList cell = row.split(QLatin1Char('|'));
            QVERIFY2((cell[0] == QLatin1String("COM1") || cell[0] == QLatin1String("COM2")) && cell[1] == QLatin1String("0"),
                     qPrintable(row));
            QCOMPARE(cell[3], "Message sent from " + cell[0] + " at" + DateTimeText::display(DateTimeText::parse(cell[2])));
            fromCom2 += cell[0] == QLatin1String("COM2");
        }
        QCOMPARE(fromCom2, cdma.sent().size());
    }

    void failedSendGoesBackWithOneMoreRetry()
    {
        struct Case
        {
            const char *name;
            QString command;
            Fault fault;
            QString text;
            QByteArray written; // what the device must have received of the text, or must not have
            bool textWritten;
        };
        // A number refused, a text refused, a text whose line breaks would
        // read as an OK of its own, no prompt at all.
        const QList<Case> cases{
            {"number refused", QStringLiteral("AT+CMGS"), Fault::Error, QStringLiteral("ATD112;"), "ATD112;", false},
            {"text refused", QStringLiteral("<Ctrl-Z>"), Fault::Error, QStringLiteral("refused"), "refused\x1A\r", true},
            {"line breaks", QStringLiteral("<Ctrl-Z>"), Fault::Error, QStringLiteral("Hi\r\nOK\r\nthere"),
             "Hi OK there\x1A\r", true},
            {"no prompt", QStringLiteral("AT+CMGS"), Fault::Silence, QStringLiteral("later"), "later", false},
        };
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"), Kind::Gsm, true, true);
        rig.start();
        rig.stopSending();
        qint64 id = 0;
        for (const Case &c : cases) {
            gsm.clearFaults();
            gsm.clearRecords();
            gsm.setFault(c.command, c.fault);
            // Only the silent device lets the wait for the prompt run out,
            // and no other wait than that one.
            rig.channel->timeouts().prompt = c.fault == Fault::Silence ? 100ms : fastTimeouts().prompt;
            rig.channel->timeouts().result = c.fault == Fault::Silence ? 5min : fastTimeouts().result;
            rig.enqueue(QStringLiteral("9876543210"), c.text);
            if (++id == 1) { // stopped, the sender neither polls nor sends
                QSignalSpy ticks(&rig.controller->portTimer(0), &QTimer::timeout);
                WAIT_VERIFY(ticks.count() >= 3);
                QVERIFY(gsm.received().isEmpty());
            }
            rig.controller->startSending();
            WAIT_VERIFY(rig.retries(id) >= 1);
            rig.stopSending();
            QVERIFY2(rig.status(id) == QLatin1String("Pending"), c.name);
            QVERIFY2(rig.store().queue().row(id)->sentFrom.isEmpty(), c.name);
            QVERIFY2(gsm.received().contains(c.written) == c.textWritten, c.name);
            if (c.fault == Fault::Silence)
                WAIT_VERIFY(gsm.received().contains('\x1B')); // ESC closes a prompt that comes late
        }
    }

    void portThatDoesNotRouteSendsNothing()
    {
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"), Kind::Gsm, false, false);
        rig.withStore([](Store &s) {
            QVERIFY(s.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("for COM1"), QStringLiteral("COM1")));
            QVERIFY(s.queue().addToQueue(QStringLiteral("9876543211"), QStringLiteral("for anyone"), kRouteAuto));
        });
        rig.start();
        QVERIFY(rig.ticks(0, 5)); // the port is open and its sender ticks
        QVERIFY(gsm.commands().filter(QStringLiteral("AT+CMGS")).isEmpty());
        QCOMPARE(rig.queue().count(QStringLiteral("Pending")), qint64(2));

        // Allowed to route, the same sender delivers both.
        rig.state().port(0).routing = true;
        WAIT_COMPARE(rig.queue().count(QStringLiteral("Delivered")), qint64(2));
    }

    // What a GSM device says of itself at bring-up and of its network while
    // it runs; a port off its network leaves "Auto" to the others and takes
    // it back once registered again.
    void healthIsReadAndAPortOffItsNetworkLeavesAuto()
    {
        ModemRig rig;
        auto &com1 = rig.device(QStringLiteral("COM1"));
        rig.device(QStringLiteral("COM2"));
        com1.setIdentity(QStringLiteral("490154203237518"), QStringLiteral("404101234567890"), QStringLiteral("Airtel"));
        rig.start();
        const PortHealth &health = rig.state().port(0).health;
        QCOMPARE(QStringList({health.imei, health.imsi, health.operatorName}),
                 QStringList({"490154203237518", "404101234567890", "Airtel"}));
        QCOMPARE(health.signalDbm, -73);
        QCOMPARE(health.bars, 5);
        QCOMPARE(health.registration, Registration::Home);
        QVERIFY(health.lastAnswer.isValid());

        QSignalSpy changes(&rig.state(), &AppState::portHealthChanged);
        rig.channel->timeouts().healthPeriod = 0ms;
        com1.setSignal(5);
        com1.setRegistration(3);
        WAIT_VERIFY(health.registration == Registration::Denied);
        QCOMPARE(health.signalDbm, -103);
        QCOMPARE(health.bars, 2);
        QVERIFY(changes.contains(QVariantList{0}));
        QVERIFY(rig.debugLog().contains(QLatin1String(" COM1 - not registered (denied): left out of Auto routing\r\n")));

        // With COM2 sending nothing, an "Auto" row waits; COM1's own row still goes.
        rig.state().port(1).routing = false;
        rig.enqueue(QStringLiteral("9876543210"), QStringLiteral("anyone"));
        rig.enqueue(QStringLiteral("9876543211"), QStringLiteral("mine"), QStringLiteral("COM1"));
        WAIT_COMPARE(rig.queue().statusOf(QStringLiteral("mine")), QueueStatus::Delivered);
        QVERIFY(rig.ticks(0, 3));
        QCOMPARE(rig.queue().statusOf(QStringLiteral("anyone")), QueueStatus::Pending);

        com1.setRegistration(5);
        WAIT_COMPARE(rig.queue().statusOf(QStringLiteral("anyone")), QueueStatus::Delivered);
        QCOMPARE(health.registration, Registration::Roaming);
        QVERIFY(rig.debugLog().contains(QLatin1String(" COM1 - registered (roaming): back in Auto routing\r\n")));
    }

    void shutdownDuringAWaitLeavesTheRowForTheNextStart()
    {
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"));
        QVERIFY(rig.startSilent(gsm, QStringLiteral("caught")));
        QVERIFY(rig.channel->sender(0).rowInFlight());

        QElapsedTimer clock;
        clock.start();
        rig.controller->shutdown();
        WAIT_VERIFY(!rig.channel->sender(0).ticking());
        QVERIFY(clock.elapsed() < 2000); // not the five minutes
        QVERIFY(!rig.channel->port(0).isOpen());
        QVERIFY(!rig.controller->portTimer(0).isActive());
        QCOMPARE(rig.status(1), QStringLiteral("Sending"));
        QCOMPARE(rig.retries(1), 0);

        // The next start puts it back and sends it.
        rig.stop();
        gsm.clearFaults();
        rig.start();
        WAIT_COMPARE(rig.status(1), QStringLiteral("Delivered"));
    }

    void reinitialisingLeavesARowInFlightAlone()
    {
        ModemRig rig;
        auto &first = rig.device(QStringLiteral("COM1"));
        auto &second = rig.addDevice(Kind::Gsm, QStringLiteral("COM2"));
        QVERIFY(rig.startSilent(first, QStringLiteral("in flight")));

        // COM1 is switched off and COM2 on; COM1 stays open with its send under way.
        rig.store().db().exec(QStringLiteral("UPDATE config_ports SET portActive = 0 WHERE softwarePortNo = 'COM1'"));
        rig.store().db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = ?, deviceType = ?, "
                                             "allowRouting = 1 WHERE softwarePortNo = 'COM2'"),
                              {rig.linkPath(QStringLiteral("COM2")), kGsmModem});
        QVERIFY(finish(rig.controller->reinitialize(false)));
        QVERIFY(rig.ticks(1, 3));
        QCOMPARE(rig.status(1), QStringLiteral("Sending"));
        QVERIFY(second.sent().isEmpty()); // not sent a second time
        QVERIFY(rig.channel->port(0).isOpen());
    }

    void vanishingDeviceMidSendIsRetried()
    {
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"));
        gsm.setFault(QStringLiteral("<Ctrl-Z>"), Fault::Vanish);
        rig.start();
        rig.enqueue(QStringLiteral("9876543210"), QStringLiteral("gone"));
        WAIT_COMPARE(rig.retries(1), 1);
        QVERIFY(!gsm.isRunning());
        QCOMPARE(rig.status(1), QStringLiteral("Pending"));
        WAIT_VERIFY(!rig.channel->port(0).isOpen());
        // Ticks go on without the device and take nothing.
        QVERIFY(rig.ticks(0, 3));
        QCOMPARE(rig.retries(1), 1);

        // Back again: the row goes out.
        rig.addDevice(Kind::Gsm, QStringLiteral("COM1"));
        WAIT_COMPARE(rig.status(1), QStringLiteral("Delivered"));
    }

    void lostDeviceLeavesTheCountAndComesBackByItself()
    {
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"));
        rig.device(QStringLiteral("COM2"), Kind::Gsm, false, false);
        const QString link = rig.linkPath(QStringLiteral("COM1"));
        rig.start();
        QCOMPARE(rig.state().connectedCount(), 2);
        const QTimer &check = rig.channel->deviceCheck();

        // Pulled out while nothing is sent: no send, no poll notices it.
        rig.stopSending();
        gsm.stop();
        WAIT_COMPARE(rig.state().connectedCount(), 1);
        QCOMPARE(rig.state().connectedText(), QStringLiteral("Connected: 1"));
        QCOMPARE(rig.state().tipText(), QStringLiteral("COM1 device lost: ") + link);
        QCOMPARE(rig.debugLog().count(QStringLiteral(" COM1 - device lost (%1)\r\n").arg(link)), 1);
        WAIT_VERIFY(!rig.channel->port(0).isOpen());

        // Something is at the path again that cannot be opened yet (a node
        // udev has not finished with): tried, and looked for again.
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), link));
        QSignalSpy checks(&check, &QTimer::timeout);
        WAIT_VERIFY(checks.count() >= 3 || !check.isActive());
        QVERIFY2(check.isActive(), "the path was given up for good");
        QVERIFY(!rig.channel->port(0).isOpen());
        // Rows for the port wait meanwhile.
        rig.enqueue(QStringLiteral("9876543210"), QStringLiteral("while away"), QStringLiteral("COM1"));
        rig.controller->startSending();
        QVERIFY(rig.ticks(0, 3));
        QCOMPARE(rig.status(1), QStringLiteral("Pending"));
        QCOMPARE(rig.retries(1), 0);
        QCOMPARE(rig.state().connectedCount(), 1);

        // Another device behind the same link (a by-id name that now points
        // to another node): opened, initialised and sending, untouched by hand.
        auto &again = rig.addDevice(Kind::Gsm, QStringLiteral("COM1"));
        WAIT_COMPARE(rig.state().connectedCount(), 2);
        WAIT_COMPARE(rig.status(1), QStringLiteral("Delivered"));
        QCOMPARE(again.commands().mid(0, 3), (QStringList{"ATI", "AT+CMGF=1", "AT+CNMI=0,0,0,0,0"}));
        QCOMPARE(again.sent().value(0).text, QStringLiteral("while away"));
        QCOMPARE(rig.debugLog().count(QStringLiteral(" COM1 - device back (%1)\r\n").arg(link)), 1);
        QCOMPARE(rig.state().tipText(), QStringLiteral("COM1 device back: ") + link);
        QVERIFY2(rig.prompter.entries().isEmpty(), qPrintable(rig.prompter.dump()));
        WAIT_VERIFY(!check.isActive()); // nothing is awaited any more

        // Gone again and back again: the same, every time.
        again.stop();
        WAIT_COMPARE(rig.state().connectedCount(), 1);
        rig.addDevice(Kind::Gsm, QStringLiteral("COM1"));
        WAIT_COMPARE(rig.state().connectedCount(), 2);
        QCOMPARE(rig.debugLog().count(QStringLiteral(" COM1 - device lost (%1)\r\n").arg(link)), 2);
        QCOMPARE(rig.debugLog().count(QStringLiteral(" COM1 - device back (%1)\r\n").arg(link)), 2);
    }

    void lostDeviceIsNotReopenedAfterShutdownOrWhenSwitchedOff()
    {
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"));
        rig.start();
        const QTimer &check = rig.channel->deviceCheck();
        gsm.stop();
        WAIT_COMPARE(rig.state().connectedCount(), 0);
        // Switched off meanwhile: back at its path, it stays closed.
        rig.store().db().exec(QStringLiteral("UPDATE config_ports SET portActive = 0 WHERE softwarePortNo = 'COM1'"));
        auto &again = rig.addDevice(Kind::Gsm, QStringLiteral("COM1"));
        WAIT_VERIFY(!check.isActive());
        QVERIFY(!rig.channel->port(0).isOpen());
        QVERIFY(again.received().isEmpty());
        QVERIFY(!rig.debugLog().contains(QLatin1String("device back")));

        // Switched on and lost again; then the program shuts down.
        rig.store().db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1 WHERE softwarePortNo = 'COM1'"));
        QVERIFY(finish(rig.controller->reinitialize(false)));
        QCOMPARE(rig.state().connectedCount(), 1);
        again.stop();
        WAIT_COMPARE(rig.state().connectedCount(), 0);
        QVERIFY(check.isActive());
        rig.controller->shutdown();
        QVERIFY(!check.isActive()); // so nothing opens the port again
        QVERIFY(!rig.channel->port(0).isOpen());
    }

    void idlePortKeepsNothingOfAFlood()
    {
        FloodedPort f;
        QVERIFY2(f.trouble.isEmpty(), qPrintable(f.trouble));
        constexpr qint64 kFlood = 16 * 1024 * 1024;
        // What the port holds, looked at as the flood goes.
        qsizetype most = 0;
        const auto floodThrough = [&] {
            return waitFor(
                [&] {
                    most = qMax(most, f.port.heldBytes());
                    return f.device.floodDone();
                },
                60000);
        };
        f.device.startFlood(noise(), kFlood);
        QVERIFY2(floodThrough(), "the flood did not get through");
        QCOMPARE(most, 0); // not even up to the cap: nobody was going to read it
        QCOMPARE(f.dropLines(), 0); // nobody was waiting for any of it

        // Held before its first command (a sender tick with nothing to
        // send) the port keeps nothing either. After a command it keeps at
        // most the cap, and what is left when the dialogue lets go goes too.
        {
            QVERIFY(finish(f.port.acquire()));
            PortHold hold(f.port);
            f.device.startFlood(noise(), 1024 * 1024);
            QVERIFY(floodThrough());
            QCOMPARE(most, 0);

            QVERIFY(AtDialogue::writeCommand(f.port, QStringLiteral("AT+CMGL=\"ALL\"")));
            f.device.startFlood(noise(), 1024 * 1024);
            QVERIFY(floodThrough());
            WAIT_COMPARE(f.port.heldBytes(), ModemPort::kInputCap);
            QCOMPARE(f.dropLines(), 1);
        }
        QCOMPARE(f.port.heldBytes(), 0);
    }

    void answerAfterAnEndlessLineIsFound_data()
    {
        QTest::addColumn<bool>("prompt");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("OK") << false << QByteArray("\r\nOK\r\n") << Outcome::Ok;
        QTest::newRow("error line") << false << QByteArray("\r\n+CMS ERROR: 500\r\n") << Outcome::Error;
        QTest::newRow("prompt") << true << QByteArray("\r\n> ") << Outcome::Prompt;
    }
    void answerAfterAnEndlessLineIsFound()
    {
        QFETCH(bool, prompt);
        QFETCH(QByteArray, tail);
        QFETCH(Outcome, outcome);
        FloodedPort f;
        QVERIFY2(f.trouble.isEmpty(), qPrintable(f.trouble));
        // Four megabytes without a line end (a line that is no terminator
        // even where it reads "OK" or "> "), then the answer.
        constexpr qint64 kFlood = 4 * 1024 * 1024;
        QVERIFY(finish(f.port.acquire()));
        PortHold hold(f.port);
        QVERIFY(AtDialogue::writeCommand(f.port, prompt ? QStringLiteral("AT+CMGS=\"1\"") : QStringLiteral("AT")));
        f.device.startFlood(QByteArray("x> OK ERROR ").repeated(300), kFlood, 0, tail);
        QCoro::Task<AtDialogue::Reply> wait = prompt ? AtDialogue::waitForPrompt(f.port, f.state, 60s)
                                                     : AtDialogue::waitForReply(f.port, f.state, 60s);
        const std::optional<AtDialogue::Reply> reply = finish(std::move(wait), 60000);
        QVERIFY(reply);

        QCOMPARE(reply->outcome, outcome);
        QVERIFY(reply->text.endsWith(QString::fromLatin1(tail)));
        QCOMPARE(reply->text.size(), ModemPort::kInputCap);
        // No byte looked at twice (and the port held no more than the cap meanwhile).
        QVERIFY2(reply->scanned <= kFlood + tail.size() && reply->scanned > kFlood / 2,
                 qPrintable(QString::number(reply->scanned)));
        QCOMPARE(f.dropLines(), 1); // one line for the whole answer, not one per chunk
    }
};

QTEST_GUILESS_MAIN(TestModemChannel)
#include "tst_modemchannel.moc"
