// Received messages over the real serial stack, against simulated devices:
// the incoming poller and the phone console.
#include "ManualClock.h"
#include "ModemRig.h"
#include "PhoneConsole.h"

#include <QElapsedTimer>

using namespace tavsms;
using namespace tavsms::test;
using namespace std::chrono_literals;

class TestModemIncoming : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void incomingGsmMessagesAreStoredDeletedAndHandedOn()
    {
        ModemRig rig;
        auto &gsm = rig.device(QStringLiteral("COM1"), Kind::Gsm, true, true);
        gsm.addInbox(QStringLiteral("+919000000001"), QDateTime(QDate(2024, 5, 1), QTime(10, 20, 30)),
                     QStringLiteral("Hello\nWorld"));
        gsm.addInbox(QStringLiteral("+919000000002"), QDateTime(QDate(2024, 5, 1), QTime(10, 21, 0)),
                     QStringLiteral("it's me"));
        gsm.addInbox(QStringLiteral("12345"), QDateTime(QDate(2024, 5, 1), QTime(10, 22, 0)), QStringLiteral("short"));
        // The second message is already stored.
        rig.withStore([](Store &s) {
            IncomingLog(s.db()).insert({QDateTime::currentDateTime(), QStringLiteral("COM4"),
                                        QDateTime(QDate(2024, 5, 1), QTime(10, 21, 0)), QStringLiteral("9000000002"),
                                        QStringLiteral("earlier copy")});
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
        gsm.addInbox(QStringLiteral("+919000000001"), QDateTime(QDate(2024, 5, 1), QTime(10, 0)), text);
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
        cdma.addInbox(QStringLiteral("9000000001"), QDateTime(QDate(2024, 5, 1), QTime(10, 20, 30)), QStringLiteral("Hello"));
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
        cdma.addInbox(QStringLiteral("+919000000001"), QDateTime(QDate(2024, 5, 1), QTime(10, 20, 30)), QStringLiteral("one"));
        cdma.addInbox(QStringLiteral("9000000002"), QDateTime(QDate(2024, 5, 1), QTime(10, 21, 0)), QStringLiteral("two"), true);
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
};

QTEST_GUILESS_MAIN(TestModemIncoming)
#include "tst_modemincoming.moc"
