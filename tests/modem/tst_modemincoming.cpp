// Received messages over the real serial stack, against simulated devices:
// the incoming poller and the phone console; and ports in PDU mode, Unicode
// and long messages out, part by part, and in, put together.
#include "DeliveryConfirmations.h"
#include "ManualClock.h"
#include "StatusReportDesk.h"
#include "ModemRig.h"
#include "PhoneConsole.h"
#include "SmsPdu.h"

#include <QElapsedTimer>

using namespace tavsms;
using namespace tavsms::test;
using namespace std::chrono_literals;

namespace {

// A time on the day the inboxes here were written.
QDateTime may1(int hour, int minute, int second = 0)
{
    return QDateTime(QDate(2024, 5, 1), QTime(hour, minute, second));
}

const QString kGreeting = QStringLiteral("नमस्ते! आपका ऑर्डर आज भेज दिया गया है। ");

// Devanagari that takes exactly `parts` parts; `full`, so that one more
// letter would take another.
QString devanagari(int parts, bool full = false)
{
    const auto takes = [](const QString &text) { return SmsPdu::plan(text).parts; };
    QString text;
    while (takes(text + kGreeting) != 0 && takes(text + kGreeting) <= parts)
        text += kGreeting;
    while (takes(text) < parts || (full && takes(text + QStringLiteral("क")) == parts))
        text += QStringLiteral("क");
    return text;
}

// A GSM modem that speaks PDU mode, on COM1.
sim::ModemSimulator &pduModem(ModemRig &rig, bool twoWay, bool routing)
{
    auto &modem = rig.device(QStringLiteral("COM1"), Kind::Gsm, twoWay, routing);
    modem.setPduSupport(true);
    rig.usePdu(QStringLiteral("COM1"));
    return modem;
}

// The parts the modem was handed, "sequence/total", "!" for one it refused.
QStringList parts(const sim::ModemSimulator &modem)
{
    QStringList out;
    for (const auto &part : modem.sentParts())
        out << QStringLiteral("%1/%2%3").arg(part.sequence).arg(part.total).arg(part.accepted ? "" : "!");
    return out;
}

} // namespace

class TestModemIncoming : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void incomingGsmMessagesAreStoredDeletedAndHandedOn()
    {
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"), Kind::Gsm, true, true);
        gsm.addInbox(QStringLiteral("+919000000001"), may1(10, 20, 30), QStringLiteral("Hello\nWorld"));
        gsm.addInbox(QStringLiteral("+919000000002"), may1(10, 21), QStringLiteral("it's me"));
        gsm.addInbox(QStringLiteral("12345"), may1(10, 22), QStringLiteral("short"));
        // The second message is already stored.
        rig.withStore([](Store &s) {
            IncomingLog(s.db()).insert({QDateTime::currentDateTime(), QStringLiteral("COM4"), may1(10, 21),
                                        QStringLiteral("9000000002"), QStringLiteral("earlier copy")});
        });
        QStringList handed;
        rig.build();
        // A handler that fails is written to the log and stalls nothing.
        rig.channel->setIncomingHandler([&handed](const QString &port, const QString &sender,
                                                  const QString &text) -> QCoro::Task<void> {
            handed << port + QLatin1Char('|') + sender + QLatin1Char('|') + text;
            if (sender == QLatin1String("+919000000001"))
                throw std::runtime_error("rule table missing");
            co_return;
        });
        rig.start();
        WAIT_VERIFY(gsm.inbox().isEmpty());

        // The duplicate was not stored again.
        QCOMPARE(rig.incoming(), (QStringList{"COM1|9000000001|2024-05-01T10:20:30|HelloWorld",
                                              "COM4|9000000002|2024-05-01T10:21:00|earlier copy",
                                              "COM1|12345|2024-05-01T10:22:00|short"}));
        // Deleted in listing order, the duplicate included; only new ones handed on.
        QCOMPARE(gsm.commands().filter(QStringLiteral("AT+CMGD=")), (QStringList{"AT+CMGD=1", "AT+CMGD=2", "AT+CMGD=3"}));
        WAIT_COMPARE(handed, (QStringList{"COM1|+919000000001|HelloWorld", "COM1|12345|short"}));
        QCOMPARE(rig.state().tipText(), QStringLiteral("New SMS Arrived from: 12345"));
        QVERIFY(rig.debugLog().contains(QLatin1String("handling the message from +919000000001 failed: rule table missing")));
        // The port's sender goes on.
        rig.enqueue(QStringLiteral("9876543210"), QStringLiteral("still sending"));
        WAIT_COMPARE(rig.status(1), QStringLiteral("Delivered"));
    }

    void messageThatCannotBeStoredStaysInThePhone_data()
    {
        QTest::addColumn<bool>("pdu");
        QTest::newRow("text mode") << false;
        QTest::newRow("PDU mode, every part") << true;
    }
    void messageThatCannotBeStoredStaysInThePhone()
    {
        QFETCH(bool, pdu);
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"), Kind::Gsm, true, false);
        gsm.setPduSupport(pdu);
        if (pdu)
            rig.usePdu(QStringLiteral("COM1"));
        const QString text = pdu ? QStringLiteral("क").repeated(100) : QStringLiteral("keep me"); // two parts as PDUs
        gsm.addInbox(QStringLiteral("+919000000001"), may1(10, 0), text);
        QCOMPARE(gsm.inbox().size(), pdu ? 2 : 1);
        rig.withStore([](Store &s) {
            s.db().execScript(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON incoming_logs "
                                             "BEGIN SELECT RAISE(ABORT, 'disk is full'); END;"));
        });
        rig.start();
        WAIT_VERIFY(gsm.commands().filter(QStringLiteral("AT+CMGL")).size() >= 2);
        QCOMPARE(gsm.inbox().size(), pdu ? 2 : 1);
        QVERIFY(gsm.commands().filter(QStringLiteral("AT+CMGD")).isEmpty());
        QVERIFY(rig.debugLog().contains(QLatin1String(" Incoming SMS COM1 - message 1 from +919000000001 could not be "
                                                      "stored: ")));

        // Once it can be stored, it is, and only then deleted.
        rig.store().db().execScript(QStringLiteral("DROP TRIGGER refuse"));
        WAIT_VERIFY(gsm.inbox().isEmpty());
        QCOMPARE(rig.incoming(), QStringList{"COM1|9000000001|2024-05-01T10:00:00|" + text});

        // A device that goes away during the listing ends the poll, and says so.
        gsm.setFault(QStringLiteral("AT+CMGL"), Fault::Vanish);
        WAIT_VERIFY(rig.debugLog().contains(QLatin1String(" Incoming SMS COM1 - the device went away during the listing")));
    }

    void incomingCdmaAndPollTiming()
    {
        ModemRig rig;
        auto &cdma = rig.device(QStringLiteral("COM2"), Kind::Cdma, true, true);
        cdma.addInbox(QStringLiteral("9000000001"), may1(10, 20, 30), QStringLiteral("Hello"));
        cdma.addInbox(QStringLiteral("+919000000005"), QDateTime(QDate(2024, 5, 2), QTime(8, 0)), QStringLiteral("old one"),
                      true);
        // The read messages' listing answers well after the unread one: the poll waits for both.
        cdma.setFault(QStringLiteral("AT+CMGL=1"), Fault::Slow, 50);
        auto &quiet = rig.device(QStringLiteral("COM3"));
        // The program's own poll period, on a clock that moves only when told.
        ManualClock clock;
        rig.build();
        clock.attach(rig.state());
        rig.channel->timeouts().pollPeriod = ModemTimeouts{}.pollPeriod;
        rig.start();
        WAIT_VERIFY(cdma.inbox().isEmpty());
        QVERIFY(cdma.received().contains("AT+CMGL=0\r\nAT+CMGL=1\r\n"));
        QCOMPARE(rig.incoming(), (QStringList{"COM2|9000000001|2024-05-01T10:20:30|Hello",
                                              "COM2|9000000005|2024-05-02T08:00:00|old one"}));
        // Both came from the first poll: both deleted before the next listing.
        QCOMPARE(cdma.commands().mid(1, 4), (QStringList{"AT+CMGL=0", "AT+CMGL=1", "AT+CMGD=1", "AT+CMGD=2"}));

        // Ten seconds from one poll to the next, however often the port ticks.
        const auto listings = [&cdma] { return int(cdma.commands().filter(QStringLiteral("AT+CMGL=0")).size()); };
        for (int poll = 2; poll <= 3; ++poll) {
            clock.advance(9999ms);
            QVERIFY(rig.ticks(1, 5));
            QCOMPARE(listings(), poll - 1);
            clock.advance(1ms);
            WAIT_COMPARE(listings(), poll);
        }
        // A port that is not two-way is never asked for its messages.
        QVERIFY(!quiet.received().contains("AT+CMGL"));
    }

    void badListingsStoreAndDeleteNothingWrong()
    {
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"), Kind::Gsm, true, false);
        gsm.setRawListing(QByteArray("AT+CMGL=\"ALL\"\r\r\n"
                                     "+CMGL: 7,\"REC UNREAD\",\"+91900'0000\"\"01\",,\"24/05/01,10:20:30+22\"\r\n"
                                     "Robert'); DROP TABLE incoming_logs;--\r\n"
                                     "+CMGL: 8,\"REC UNREAD\",\"+919000000002\",,\"99/99/99,10:20:30+22\"\r\nbad date\r\n"
                                     "+CMGL: 9\r\nno fields\r\n"
                                     "\xff\xfe\x01\x02garbage\r\n\r\nOK\r\n"));
        rig.start();
        WAIT_VERIFY(gsm.commands().filter(QStringLiteral("AT+CMGL")).size() >= 2);
        QCOMPARE(rig.incoming(), QStringList{"COM1|900'000001|2024-05-01T10:20:30|Robert'); DROP TABLE incoming_logs;--"});
        QCOMPARE(gsm.commands().filter(QStringLiteral("AT+CMGD=")), QStringList{"AT+CMGD=7"});

        // Noise from the device between two dialogues is not taken for an answer.
        rig.stopSending();
        gsm.inject(QByteArray("\x00\x01\xff\r\nOK\r\n> \r\n+CMTI: \"SM\",3\r\n", 22));
        gsm.setFault(QStringLiteral("AT+CMGS"), Fault::Error);
        rig.state().port(0).routing = true;
        rig.enqueue(QStringLiteral("9876543210"), QStringLiteral("after noise"));
        rig.controller->startSending();
        WAIT_VERIFY(rig.retries(1) >= 1);
        QVERIFY(!gsm.received().contains("after noise"));
    }

    void phoneConsole()
    {
        ModemRig rig;
        auto &cdma = rig.device(QStringLiteral("COM1"), Kind::Cdma);
        cdma.addInbox(QStringLiteral("+919000000001"), may1(10, 20, 30), QStringLiteral("one"));
        cdma.addInbox(QStringLiteral("9000000002"), may1(10, 21), QStringLiteral("two"), true);
        rig.start();
        PhoneConsole &console = rig.channel->console();

        // What a copy stored, and the box it shows: "stored|title|text".
        const auto sync = [&console](const QString &type) {
            const auto o = finish(console.syncronize(type));
            return o ? QStringLiteral("%1|%2|%3").arg(o->stored).arg(o->notice.title, o->notice.text) : QString();
        };
        QCOMPARE(sync(QString()), QStringLiteral("0|Error|Please select the message types"));
        QCOMPARE(sync(QStringLiteral("UnRead")), "1|" + applicationTitle() + "|Process Complete.");
        QCOMPARE(sync(QStringLiteral("UnRead")), "1|" + applicationTitle() + "|Process Complete.");
        // Copied twice, sender as the phone gave it, nothing deleted.
        QCOMPARE(rig.incoming(), QStringList(2, QStringLiteral("COM1|+919000000001|2024-05-01T10:20:30|one")));
        QCOMPARE(cdma.inbox().size(), 2);
        QVERIFY(cdma.commands().filter(QStringLiteral("AT+CMGD")).isEmpty());
        QVERIFY(sync(QStringLiteral("Read")).startsWith("1|"));
        // One that cannot be stored is left out; the others are still copied.
        rig.store().db().execScript(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON incoming_logs WHEN "
                                                   "NEW.incoming_message = 'one' BEGIN SELECT RAISE(ABORT, 'full'); END;"));
        cdma.addInbox(QStringLiteral("9000000003"), may1(10, 22), QStringLiteral("three"));
        QCOMPARE(sync(QStringLiteral("UnRead")), "1|" + applicationTitle() + "|Process Complete.");
        QCOMPARE(rig.incoming().filter(QStringLiteral("|three")).size(), 1);

        cdma.setRawListing("\r\nOK\r\n");
        QCOMPARE(sync(QStringLiteral("UnRead")), "0|" + applicationTitle() + "|No new message");
        // ERROR ends the read at once instead of the listing's whole wait.
        cdma.setFault(QStringLiteral("AT+CMGL"), Fault::Error);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(sync(QStringLiteral("Read")), "0|" + applicationTitle() + "|No new message");
        QVERIFY(clock.elapsed() < fastTimeouts().listing.count() / 2);
        cdma.clearFaults();

        // A command and its answer, numbered, newest on top; the sender keeps off meanwhile.
        rig.channel->timeouts().consoleQuiet = 250ms;
        cdma.clearRecords();
        cdma.setReplyDelay(40);
        rig.enqueue(QStringLiteral("9876543210"), QStringLiteral("queued"));
        QVERIFY(finish(console.sendCommand(QStringLiteral("AT"))));
        QCOMPARE(cdma.commands().value(0), QStringLiteral("AT"));
        // The echo came first, the answer after it, on top.
        QVERIFY2(console.output().startsWith(QStringLiteral("2. \r\nOK\r\n")), qPrintable(console.output()));
        QVERIFY(console.output().contains(QLatin1String("1. AT\r")));
        // The COM1 sender kept off the device while the console talked to it.
        QVERIFY(!console.output().contains(QLatin1String("CMGS")));
        WAIT_COMPARE(rig.status(1), QStringLiteral("Delivered"));
        console.clearScreen();
        QVERIFY(console.output().isEmpty());
    }

    void onlyTickedGsmPortsGoIntoPduMode()
    {
        ModemRig rig;
        auto &pdu = pduModem(rig, false, true);
        auto &text = rig.device(QStringLiteral("COM2"));
        auto &textOnly = rig.device(QStringLiteral("COM3"), Kind::Gsm, true, true); // no PDU support
        rig.usePdu(QStringLiteral("COM3"));
        auto &cdma = rig.device(QStringLiteral("COM4"), Kind::Cdma);
        rig.usePdu(QStringLiteral("COM4")); // a tick a CDMA phone ignores
        rig.start(60000);

        QCOMPARE(pdu.commands(), (QStringList{"ATI", "AT+CMGF=0", "AT+CNMI=0,0,0,0,0"} + kHealthReads));
        QCOMPARE(text.commands(), (QStringList{"AT", "AT+CMGF=1", "AT+CNMI=0,0,0,0,0"} + kHealthReads));
        QCOMPARE(cdma.commands(), QStringList{"AT"});
        QVERIFY(rig.state().port(0).pdu && !rig.state().port(1).pdu && !rig.state().port(3).pdu);
        QVERIFY(pdu.pduMode());

        // A modem that refuses PDU mode is left alone: in text mode it would
        // send the PDU's hex as the text of a message.
        QCOMPARE(textOnly.commands().value(1), QStringLiteral("AT+CMGF=0"));
        QVERIFY(!rig.state().port(2).routing && !rig.state().port(2).twoWay);
        QVERIFY(rig.debugLog().contains(QLatin1String(
            " COM3 did not switch to PDU mode: no messages are sent or read through it until it is initialised again")));
        textOnly.clearRecords();
        for (int port = 0; port < 4; ++port)
            rig.controller->portTimer(port).setInterval(10);
        rig.enqueue(QStringLiteral("9876543210"), QStringLiteral("for COM3"), QStringLiteral("COM3"));
        rig.enqueue(QStringLiteral("9876543211"), QStringLiteral("abc"), QStringLiteral("COM4"));
        rig.enqueue(QStringLiteral("9876543212"), QStringLiteral("plain"), QStringLiteral("COM2"));
        WAIT_COMPARE(rig.status(3), QStringLiteral("Delivered"));
        WAIT_COMPARE(rig.status(2), QStringLiteral("Delivered"));
        QVERIFY(text.received().contains("AT+CMGS=\"9876543212\"\rplain\x1A\r"));
        QVERIFY(cdma.received().contains("AT+CMGS=0A393837363534333231310003616263\r"));
        QVERIFY(rig.ticks(2, 5));
        QCOMPARE(rig.status(1), QStringLiteral("Pending"));
        QVERIFY(textOnly.received().isEmpty());
    }

    void devanagariGoesOutPartByPartAndArrivesWhole()
    {
        ModemRig rig;
        auto &modem = pduModem(rig, false, true);
        const QString text = devanagari(2);
        const QString latin = QStringLiteral("Plain text still goes out in one part");
        rig.start();
        rig.enqueue(QStringLiteral("9876543210"), text);
        WAIT_COMPARE(rig.status(1), QStringLiteral("Delivered"));
        rig.enqueue(QStringLiteral("9876543211"), text);
        rig.enqueue(QStringLiteral("9876543212"), latin);
        WAIT_COMPARE(rig.queue().count(QStringLiteral("Delivered")), qint64(3));

        QStringList sent;
        for (const auto &m : modem.sent())
            sent << m.number + QLatin1Char('|') + m.text;
        QCOMPARE(sent, (QStringList{"9876543210|" + text, "9876543211|" + text, "9876543212|" + latin}));
        QCOMPARE(parts(modem), (QStringList{"1/2", "2/2", "1/2", "2/2", "1/1"}));
        // One reference for the parts of a message; the next long message takes the next.
        const auto sentParts = modem.sentParts();
        QCOMPARE(sentParts.at(1).reference, sentParts.at(0).reference);
        QCOMPARE(sentParts.at(2).reference, (sentParts.at(0).reference + 1) % 256);

        // Each part went with its own length, the PDU and Ctrl-Z after the prompt.
        for (const SmsPdu::SubmitPdu &part :
             SmsPdu::encodeSubmit(QStringLiteral("9876543210"), text, quint8(sentParts.at(0).reference)))
            QVERIFY(modem.received().contains("AT+CMGS=" + QByteArray::number(part.tpduLength) + '\r' + part.hex + '\x1A'));
        QCOMPARE(rig.queue().rows(QStringLiteral("sent_from, retry_no")).value(0), QStringLiteral("COM1|0"));
        QVERIFY(rig.store().queue().row(1)->comments.startsWith(QLatin1String("Message sent from COM1 at")));

        // More than ten parts fail for good, and nothing of them goes; ten go.
        const QString full = devanagari(SmsPdu::kMaxParts, true);
        QCOMPARE(SmsPdu::plan(full).parts, SmsPdu::kMaxParts);
        modem.clearRecords();
        rig.enqueue(QStringLiteral("9876543213"), full + QStringLiteral("और"));
        rig.enqueue(QStringLiteral("9876543214"), full);
        WAIT_COMPARE(rig.status(5), QStringLiteral("Delivered"));
        QCOMPARE(rig.queue().rows(QStringLiteral("status, sent_from, retry_no, comments")).value(3),
                 QStringLiteral("Failed|COM1|0|Not sent: the message is longer than 10 SMS parts hold."));
        QCOMPARE(modem.sent().size(), 1);
        QCOMPARE(modem.sentParts().size(), SmsPdu::kMaxParts);
    }

    void aRefusedPartSendsTheWholeMessageAgain()
    {
        ModemRig rig;
        auto &modem = pduModem(rig, false, true);
        modem.refusePart(2, 1);
        const QString text = devanagari(3);
        rig.start();
        rig.enqueue(QStringLiteral("9876543210"), text);
        WAIT_COMPARE(rig.status(1), QStringLiteral("Delivered"));
        QCOMPARE(rig.retries(1), 1);

        QVERIFY2(rig.debugLog().contains(QLatin1String(" Outgoing SMS COM1 - part 2 of 3 to 9876543210 failed: the "
                                                       "device refused it; the whole message goes again")),
                 qPrintable(rig.debugLog()));
        // The third part was not tried once the second failed; the next attempt sent all three.
        QCOMPARE(parts(modem), (QStringList{"1/3", "2/3!", "1/3", "2/3", "3/3"}));
        // The same reference both times, so the phone can complete what it kept.
        QCOMPARE(modem.sentParts().first().reference, modem.sentParts().last().reference);
        QCOMPARE(modem.sent().size(), 1);
        QCOMPARE(modem.sent().first().text, text);

        // No prompt at all (the device is busy): retried as well, and said so.
        modem.setFault(QStringLiteral("AT+CMGS"), Fault::Error);
        const qsizetype before = modem.received().size();
        rig.enqueue(QStringLiteral("9876543211"), QStringLiteral("hello"));
        WAIT_VERIFY(rig.retries(2) >= 1);
        QVERIFY(rig.debugLog().contains(QLatin1String(" Outgoing SMS COM1 - part 1 of 1 to 9876543211 failed: the "
                                                      "device refused AT+CMGS; the whole message goes again")));
        QVERIFY(!modem.received().mid(before).contains('\x1A')); // no PDU after a refused command
    }

    void partsListedOutOfOrderAreStoredOnceWhole()
    {
        ModemRig rig;
        auto &modem = pduModem(rig, true, false);
        const QDateTime stamp(QDate(2024, 5, 1), QTime(10, 20, 30));
        const QString text = devanagari(3);
        const QList<QByteArray> parts = SmsPdu::encodeDeliver(QStringLiteral("+919000000001"), text, stamp, 7);
        // Another sender's message with the same reference and count of parts, and a short one.
        const QString other = QStringLiteral("Reference seven from someone else: ") + QStringLiteral("0123456789 ").repeated(30);
        const QList<QByteArray> otherParts =
            SmsPdu::encodeDeliver(QStringLiteral("+919000000002"), other, stamp.addSecs(5), 7);
        QCOMPARE(parts.size(), 3);
        QCOMPARE(otherParts.size(), 3);
        const int third = modem.addInboxPdu(parts.at(2));
        modem.addInboxPdu(otherParts.at(1));
        modem.addInboxPdu(parts.at(0));
        modem.addInboxPdu(parts.at(0)); // the network delivered part 1 twice
        modem.addInboxParts(QStringLiteral("+919000000003"), stamp.addSecs(60), QStringLiteral("नमस्ते"), 7);
        modem.addInboxPdu(otherParts.at(0));
        modem.addInboxPdu(parts.at(1));
        modem.addInboxPdu(otherParts.at(2));

        // Nothing leaves the phone before its message is stored.
        QList<qint64> storedAtDelete;
        connect(&modem, &sim::ModemSimulator::commandReceived, this, [&](const QString &command) {
            if (command.startsWith(QLatin1String("AT+CMGD=")))
                storedAtDelete << rig.incoming().size();
        });
        QStringList handed;
        rig.start();
        rig.channel->setIncomingHandler([&handed](const QString &port, const QString &sender,
                                                  const QString &message) -> QCoro::Task<void> {
            handed << port + QLatin1Char('|') + sender + QLatin1Char('|') + message;
            co_return;
        });
        WAIT_VERIFY(modem.inbox().isEmpty());
        QVERIFY(modem.received().contains("AT+CMGL=4\r\n"));

        QCOMPARE(rig.incoming(), (QStringList{"COM1|9000000001|2024-05-01T10:20:30|" + text,
                                      "COM1|9000000002|2024-05-01T10:20:35|" + other,
                                      QStringLiteral("COM1|9000000003|2024-05-01T10:21:30|नमस्ते")}));
        // Deleted group by group, each after it was stored; the repeat with its group.
        QCOMPARE(modem.commands().filter(QStringLiteral("AT+CMGD=")).size(), 8);
        QCOMPARE(storedAtDelete, (QList<qint64>{1, 1, 1, 1, 2, 2, 2, 3}));
        QCOMPARE(modem.commands().filter(QStringLiteral("AT+CMGD=")).first(), QStringLiteral("AT+CMGD=%1").arg(third));
        // The auto-reply rules see whole messages, once each.
        WAIT_COMPARE(handed.size(), 3);
        QVERIFY(handed.contains(QStringLiteral("COM1|+919000000001|") + text));
        QVERIFY(rig.state().tipText().startsWith(QLatin1String("New SMS Arrived from: +9190000000")));
    }

    void aLostPartIsGivenUpOnAfterADay()
    {
        ModemRig rig;
        auto &modem = pduModem(rig, true, false);
        const QDateTime stamp(QDate(2024, 5, 1), QTime(10, 20, 30));
        const QString text = devanagari(3);
        const QList<QByteArray> parts = SmsPdu::encodeDeliver(QStringLiteral("+919000000001"), text, stamp, 200);
        modem.addInboxPdu(parts.at(0));
        modem.addInboxPdu(parts.at(2));
        ManualClock clock;
        rig.build();
        clock.attach(rig.state());
        rig.channel->timeouts().pollPeriod = 1s; // polls only as the clock is moved
        rig.start();
        const auto listings = [&modem] { return modem.commands().filter(QStringLiteral("AT+CMGL")).size(); };
        WAIT_COMPARE(listings(), 1);
        QVERIFY(rig.ticks(0, 1)); // the tick that listed them has read the listing

        // A poll a second short of a day after the parts were first seen keeps waiting.
        clock.advance(24h - 1s);
        WAIT_COMPARE(listings(), 2);
        QVERIFY(rig.ticks(0, 2));
        QCOMPARE(rig.incoming().size(), 0);
        QCOMPARE(modem.inbox().size(), 2);

        clock.advance(1s);
        WAIT_VERIFY(modem.inbox().isEmpty());
        QCOMPARE(rig.incoming(), QStringList{"COM1|9000000001|2024-05-01T10:20:30|" + SmsPdu::decodeDeliver(parts.at(0))->text
                                             + SmsPdu::decodeDeliver(parts.at(2))->text
                                             + " [incomplete: part 2 of 3 missing]"});
        QCOMPARE(IncomingLog(rig.store().db()).newestFirst().value(0).dated, clock.now());
    }

    // One message through a port that asks for reports; how the device
    // passes them on and what they say decide what the handset column shows.
    void statusReportsSettleTheirMessage_data()
    {
        QTest::addColumn<bool>("pdu");
        QTest::addColumn<int>("parts");
        QTest::addColumn<bool>("stored");      // the device keeps reports and announces them (+CDSI)
        QTest::addColumn<int>("failedPart");   // whose report says 0x41
        QTest::addColumn<int>("firstReference");
        QTest::addColumn<QList<int>>("order"); // of the parts' reports, held till all are in; none: as they come
        QTest::addColumn<QString>("handset");
        const QString confirmed = HandsetState::Confirmed;
        const QList<int> asTheyCome;
        QTest::newRow("text, confirmed") << false << 1 << false << 0 << 7 << asTheyCome << confirmed;
        QTest::newRow("three parts, confirmed") << true << 3 << false << 0 << 7 << asTheyCome << confirmed;
        QTest::newRow("three parts, one failed") << true << 3 << false << 2 << 7 << asTheyCome
                                                 << "Failed (incompatible destination)";
        QTest::newRow("three parts, out of order") << true << 3 << false << 0 << 7 << QList<int>{2, 0, 1} << confirmed;
        QTest::newRow("three parts, one report missing") << true << 3 << false << 0 << 7 << QList<int>{2, 0}
                                                         << HandsetState::Awaiting;
        QTest::newRow("reference wraps past 255") << true << 3 << false << 0 << 254 << asTheyCome << confirmed;
        QTest::newRow("text, stored") << false << 1 << true << 0 << 7 << asTheyCome << confirmed;
        QTest::newRow("three parts, stored") << true << 3 << true << 0 << 7 << QList<int>{1, 2, 0} << confirmed;
    }
    void statusReportsSettleTheirMessage()
    {
        QFETCH(bool, pdu);
        QFETCH(int, parts);
        QFETCH(bool, stored);
        QFETCH(int, failedPart);
        QFETCH(int, firstReference);
        QFETCH(QList<int>, order);
        QFETCH(QString, handset);
        ModemRig rig;
        auto &modem = pdu ? pduModem(rig, false, true) : rig.device(QStringLiteral("COM1"));
        rig.withStore([](Store &s) {
            s.db().exec(QStringLiteral("UPDATE config_ports SET deliveryReports = 1 WHERE softwarePortNo = 'COM1'"));
            // An older message to the same number whose part had reference 0, still awaiting its report.
            const QDateTime yesterday = QDateTime::currentDateTime().addDays(-1);
            const qint64 old = s.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("old"), kRouteAuto).id;
            QVERIFY(s.queue().claim(old));
            s.queue().markDelivered(old, QStringLiteral("COM1"), {}, yesterday);
            DeliveryConfirmations(s.db()).recordSent(old, QStringLiteral("COM1"), QStringLiteral("9876543210"), {0},
                                                     yesterday);
        });
        if (stored)
            modem.setFault(QStringLiteral("AT+CNMI=2,1,0,1"), Fault::Error);
        if (failedPart)
            modem.setReportStatusOfPart(failedPart, 0x41);
        modem.setNextReference(firstReference);
        modem.setReportDelay(order.isEmpty() ? 0 : -1);
        rig.start();
        QVERIFY(rig.state().port(0).reports);
        QCOMPARE(modem.reportRouting(), stored ? 2 : 1);
        QSignalSpy matched(&rig.channel->reports(), &StatusReportDesk::matched);
        const QString text = pdu ? devanagari(parts) : QStringLiteral("Your order is on its way");
        rig.enqueue(QStringLiteral("9876543210"), text);
        WAIT_COMPARE(modem.sent().size(), 1);
        if (!order.isEmpty()) {
            WAIT_COMPARE(modem.heldReports().size(), parts);
            modem.releaseReports(order);
        }
        const auto settled = [&] {
            int n = 0;
            for (const auto &signal : matched)
                n += signal.at(0).toInt();
            return n;
        };
        WAIT_COMPARE(settled(), order.isEmpty() ? parts : order.size());
        DeliveryConfirmations confirmations(rig.store().db());
        const auto idOf = [&](const QString &message) {
            return rig.store().db().scalar(QStringLiteral("SELECT id FROM q_logs WHERE outgoing_message = ?"), {message})
                .toLongLong();
        };
        QCOMPARE(confirmations.handsetOf(idOf(text)), handset);
        QCOMPARE(confirmations.handsetOf(idOf(QStringLiteral("old"))), HandsetState::Awaiting); // same reference, older
        QCOMPARE(confirmations.unmatchedCount(), 0);
        QVERIFY(modem.storedReports().isEmpty()); // read, then deleted
    }

    // A report nobody waits for is kept and counted; a device that will not
    // pass reports on sends all the same, with one line in the debug log.
    void reportsThatMatchNothingAndDevicesThatRefuse()
    {
        ModemRig rig;
        auto &modem = rig.device(QStringLiteral("COM1"));
        auto &refusing = rig.device(QStringLiteral("COM2"));
        refusing.setFault(QStringLiteral("AT+CNMI=2"), Fault::Error);
        rig.withStore([](Store &s) {
            s.db().exec(QStringLiteral("UPDATE config_ports SET deliveryReports = 1"));
        });
        rig.start();
        QVERIFY(rig.state().port(0).reports && !rig.state().port(1).reports);
        QVERIFY(rig.debugLog().contains(QLatin1String(
            " COM2 - the device refused to pass on delivery reports (AT+CNMI); messages go without them\r\n")));
        QCOMPARE(refusing.commands().mid(2, 4), (QStringList{"AT+CSMP=49,167,0,0", "AT+CNMI=2,1,0,1,0",
                                                             "AT+CNMI=2,1,0,2,0", "AT+CSMP=17,167,0,0"}));
        rig.enqueue(QStringLiteral("9876543211"), QStringLiteral("through COM2"), QStringLiteral("COM2"));
        WAIT_COMPARE(refusing.sent().size(), 1);
        const qint64 id = rig.store().db().scalar(QStringLiteral("SELECT max(id) FROM q_logs")).toLongLong();
        WAIT_COMPARE(rig.status(id), QueueStatus::Delivered);
        QCOMPARE(DeliveryConfirmations(rig.store().db()).handsetOf(id), HandsetState::NotRequested);

        QSignalSpy matched(&rig.channel->reports(), &StatusReportDesk::matched);
        modem.sendReport({200, QStringLiteral("+919876543219"), 0});
        WAIT_COMPARE(matched.size(), 1);
        QCOMPARE(DeliveryConfirmations(rig.store().db()).unmatchedCount(), 1);
        QVERIFY(rig.debugLog().contains(QLatin1String(
            " COM1 - status report 0 for reference 200 to +919876543219 matches no message sent; kept with the unmatched")));
    }

    void anUndecodablePduStaysInThePhone()
    {
        ModemRig rig;
        auto &modem = pduModem(rig, true, false);
        const QByteArray good =
            SmsPdu::encodeDeliver(QStringLiteral("+919000000001"), QStringLiteral("good one"), may1(10, 0), 1).first();
        const int cut = modem.addInboxPdu(good.left(good.size() - 6)); // its text runs short
        modem.addInboxPdu(good);
        const int junk = modem.addInboxPdu("00FFFF");
        rig.start();
        WAIT_VERIFY(modem.inbox().size() == 2);
        WAIT_VERIFY(modem.commands().filter(QStringLiteral("AT+CMGL")).size() >= 4);

        QCOMPARE(rig.incoming(), QStringList{"COM1|9000000001|2024-05-01T10:00:00|good one"});
        QCOMPARE(modem.commands().filter(QStringLiteral("AT+CMGD=")), QStringList{"AT+CMGD=2"});
        QCOMPARE(QList<int>({modem.inbox().at(0).index, modem.inbox().at(1).index}), QList<int>({cut, junk}));
        // Told once each, however often the phone is asked.
        for (int index : {cut, junk})
            QCOMPARE(rig.debugLog().count(QStringLiteral(" Incoming SMS COM1 - message %1 cannot be decoded (").arg(index)), 1);
        QVERIFY(rig.debugLog().contains(QLatin1String("); it stays in the phone\r\n")));

        // A PDU whose listed length is not its own is not trusted either.
        modem.setRawListing("AT+CMGL=4\r\r\n+CMGL: 9,0,,5\r\n" + good + "\r\n\r\nOK\r\n");
        WAIT_VERIFY(rig.debugLog().contains(QLatin1String(
            " Incoming SMS COM1 - message 9 cannot be decoded (its length is listed as 5 but it has")));
        QVERIFY(!modem.commands().contains(QStringLiteral("AT+CMGD=9")));
        QCOMPARE(rig.incoming().size(), 1);

        // A listing cut short by its time-out: what had not come whole is not read at all.
        const QByteArray other =
            SmsPdu::encodeDeliver(QStringLiteral("+919000000002"), QStringLiteral("cut"), may1(10, 5), 1).first();
        const auto listings = [&modem] { return modem.commands().filter(QStringLiteral("AT+CMGL")).size(); };
        const qsizetype before = listings();
        rig.channel->timeouts().listing = 150ms; // only these listings let it run out
        modem.setRawListing("AT+CMGL=4\r\r\n+CMGL: 11,0,,5\r\n" + other + "\r\n+CMGL: 12,0,,24\r\n" + other.left(20));
        WAIT_VERIFY(listings() >= before + 2);
        QVERIFY(!rig.debugLog().contains(QLatin1String(" message 12 ")));
        QVERIFY(rig.debugLog().contains(QLatin1String(" Incoming SMS COM1 - message 11 cannot be decoded")));
        modem.setRawListing("AT+CMGL=4\r\r\n+CMGL: 13,0,,24\r\n");
        WAIT_VERIFY(listings() >= before + 4);
        QVERIFY(!rig.debugLog().contains(QLatin1String(" message 13 ")));
        QCOMPARE(rig.incoming().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestModemIncoming)
#include "tst_modemincoming.moc"
