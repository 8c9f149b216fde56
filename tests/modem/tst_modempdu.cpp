// Ports in PDU mode over the real serial stack, against simulated modems:
// Unicode and long messages out, part by part, and in, put together.
#include "ManualClock.h"
#include "ModemRig.h"
#include "SmsPdu.h"

using namespace tavsms;
using namespace tavsms::test;
using namespace std::chrono_literals;

namespace {

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

class TestModemPdu : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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

        QCOMPARE(pdu.commands(), (QStringList{"ATI", "AT+CMGF=0", "AT+CNMI=0,0,0,0,0"}));
        QCOMPARE(text.commands(), (QStringList{"AT", "AT+CMGF=1", "AT+CNMI=0,0,0,0,0"}));
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

    void anUndecodablePduStaysInThePhone()
    {
        ModemRig rig;
        auto &modem = pduModem(rig, true, false);
        const QByteArray good =
            SmsPdu::encodeDeliver(QStringLiteral("+919000000001"), QStringLiteral("good one"),
                                  QDateTime(QDate(2024, 5, 1), QTime(10, 0)), 1).first();
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
        const QByteArray other = SmsPdu::encodeDeliver(QStringLiteral("+919000000002"), QStringLiteral("cut"),
                                                       QDateTime(QDate(2024, 5, 1), QTime(10, 5)), 1).first();
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

QTEST_GUILESS_MAIN(TestModemPdu)
#include "tst_modempdu.moc"
