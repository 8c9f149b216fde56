// Reading what devices answer: result lines, the CDMA forms and the listings.
#include "CdmaFormat.h"
#include "IncomingListing.h"
#include "ReplyLines.h"

#include <QTest>

using namespace tavsms;

namespace {

// A listing as "index|sender|stamp|text" lines, then "skipped n" or "error".
QStringList described(const Listing &listing)
{
    QStringList out;
    for (const ListedMessage &m : listing.messages)
        out << QStringLiteral("%1|%2|%3|%4").arg(m.index).arg(m.sender, m.stamp.toString(Qt::ISODate), m.text);
    return out << (listing.error ? QStringLiteral("error") : QStringLiteral("skipped %1").arg(listing.skipped));
}

} // namespace

class TestModemText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void terminatorsCountOnlyAsWholeLines()
    {
        using ReplyLines::Final;
        // Echo of a message that mentions ERROR, then the real outcome.
        QCOMPARE(ReplyLines::finalResult(QStringLiteral("ERROR in invoice 12\x1A\r\n+CMGS: 4\r\n\r\nOK\r\n")), Final::Ok);
        // An identification naming NOKIA does not end the probe; nor does an unfinished "OK".
        QVERIFY(!ReplyLines::finalResult(QStringLiteral("ATI\r\r\nNOKIA 6230 BOOK\r\n")));
        QVERIFY(!ReplyLines::finalResult(QStringLiteral("AT\r\r\nOK")));
        QCOMPARE(ReplyLines::finalResult(QStringLiteral("AT+CMGS=\"1\"\r\r\n+CMS ERROR: 304\r\n")), Final::Error);
        QCOMPARE(ReplyLines::finalResult(QStringLiteral("\r\n+CME ERROR: 10\r\n")), Final::Error);
        QVERIFY(!ReplyLines::finalResult(QStringLiteral("\r\nOKAY\r\nERRORS\r\n")));

        QVERIFY(ReplyLines::hasPrompt(QStringLiteral("AT+CMGS=\"9876543210\"\r\r\n> ")));
        QVERIFY(!ReplyLines::hasPrompt(QStringLiteral("AT+CMGS=\"9876543210\"\r\r\nOK >\r\n")));
    }

    void scannerCutsLinesAcrossChunksAndLooksOnce()
    {
        ReplyLines::Scanner scanner;
        QStringList lines;
        for (const char *chunk : {"AT+CMGS=\"1\"\r", "\r\n> ", "hi\x1A\r\n+CM", "GS: 4\r", "\n\r\nO", "K\r\n"})
            lines += scanner.feed(QString::fromLatin1(chunk));
        QCOMPARE(lines, (QStringList{"AT+CMGS=\"1\"", "> hi\x1A", "+CMGS: 4", "OK"}));

        // The prompt is an unfinished line of its own.
        ReplyLines::Scanner prompt;
        QVERIFY(prompt.feed(QStringLiteral("AT+CMGS=\"1\"\r\r\n")).size() == 1);
        QVERIFY(!prompt.promptInTail());
        prompt.feed(QStringLiteral("> "));
        QVERIFY(prompt.promptInTail());
        prompt.feed(QStringLiteral("text\r\nOK >"));
        QVERIFY(!prompt.promptInTail());

        // An endless line: each chunk costs its own length, the line is
        // never handed out (even one that starts "OK"), and what follows it
        // is read as usual.
        ReplyLines::Scanner endless;
        const QString chunk(1000, QLatin1Char('x'));
        QVERIFY(endless.feed(QStringLiteral("OK ")).isEmpty());
        for (int i = 0; i < 2000; ++i)
            QVERIFY(endless.feed(chunk).isEmpty());
        QCOMPARE(endless.scanned(), 3 + 2000 * 1000);
        QCOMPARE(endless.feed(QStringLiteral("\r\nOK\r\n")), QStringList{"OK"});
        QCOMPARE(endless.scanned(), 3 + 2000 * 1000 + 6);
    }

    void cdmaSubmitForm()
    {
        QCOMPARE(CdmaFormat::submitForm(QStringLiteral("9876543210"), QStringLiteral("abc")),
                 QStringLiteral("0A393837363534333231300003616263"));
        // Only the first ten characters of the number go; lengths in hex.
        const QString text(20, QLatin1Char('x'));
        QVERIFY(CdmaFormat::submitForm(QStringLiteral("98765432109"), text).startsWith(QStringLiteral("0A3938")));
        QVERIFY(CdmaFormat::submitForm(QStringLiteral("98765432109"), text).mid(2 + 20 + 2, 2) == QStringLiteral("14"));
        QCOMPARE(CdmaFormat::hexDigitValue(QStringLiteral("a")), QStringLiteral("10"));
        QCOMPARE(CdmaFormat::hexDigitValue(QStringLiteral("F")), QStringLiteral("15"));
        QCOMPARE(CdmaFormat::hexDigitValue(QStringLiteral("7")), QStringLiteral("7"));
    }

    void cdmaDataLine()
    {
        const auto m = CdmaFormat::decodeDataLine(QStringLiteral("0A9000000001240501102030000005Hello"));
        QVERIFY(m);
        QCOMPARE(m->sender, QStringLiteral("9000000001"));
        QCOMPARE(m->stamp, QDateTime(QDate(2024, 5, 1), QTime(10, 20, 30)));
        QCOMPARE(m->text, QStringLiteral("Hello"));

        // Missing or unreadable fields: nothing, never a half-read message.
        QVERIFY(!CdmaFormat::decodeDataLine(QString()));
        QVERIFY(!CdmaFormat::decodeDataLine(QStringLiteral("0A900000000124050110")));          // cut short
        QVERIFY(!CdmaFormat::decodeDataLine(QStringLiteral("0A9000000001241301102030000005Hello"))); // month 13
        QVERIFY(!CdmaFormat::decodeDataLine(QStringLiteral("0A9000000001240501102030000009Hello"))); // length too long
        QVERIFY(!CdmaFormat::decodeDataLine(QStringLiteral("0Z9000000001240501102030000005Hello"))); // no length
        QVERIFY(!CdmaFormat::decodeDataLine(QStringLiteral("\x01\xff\x02garbage\x7f")));
    }

    void gsmListing()
    {
        const QString reply = QStringLiteral(
            "AT+CMGL=\"ALL\"\r\r\n"
            "+CMGL: 1,\"REC UNREAD\",\"+919000000001\",,\"24/05/01,10:20:30+22\"\r\nHello\r\nWorld\r\n"
            "+CMGL: 2,\"REC READ\",\"12345\",\"Name, with comma\",\"24/05/02,11:00:00-04\"\r\nOK\r\n"
            "+CMGL: 3,\"REC READ\",\"+919000000003\",,\"bad stamp\"\r\nlost\r\n"
            "+CMGL: x,\"REC READ\",\"+919000000004\",,\"24/05/02,11:00:00+00\"\r\nno index\r\n"
            "+CMGL: 5,\"REC READ\"\r\nshort header\r\n"
            "\r\nOK\r\n");
        QVERIFY(IncomingListing::gsmListingComplete(reply));
        // A message that reads "OK" does not end the listing.
        QVERIFY(!IncomingListing::gsmListingComplete(reply.left(reply.indexOf(QStringLiteral("+CMGL: 3")))));

        QCOMPARE(described(IncomingListing::parseGsm(reply)),
                 (QStringList{"1|+919000000001|2024-05-01T10:20:30|HelloWorld", "2|12345|2024-05-02T11:00:00|OK",
                              "skipped 3"}));
        QCOMPARE(described(IncomingListing::parseGsm(QStringLiteral("AT+CMGL=\"ALL\"\r\r\nERROR\r\n"))),
                 QStringList{"error"});
        QCOMPARE(described(IncomingListing::parseGsm(QStringLiteral("AT+CMGL=\"ALL\"\r\r\nOK\r\n"))),
                 QStringList{"skipped 0"});
    }

    void cdmaListing()
    {
        const QString reply = QStringLiteral("AT+CMGL=0\r\r\n+CMGL: 4,0\r\n0A9000000001240501102030000005Hello\r\n"
                                             "+CMGL: 6,0\r\n0A90000\r\n\r\nOK\r\nAT+CMGL=1\r\r\n+CMGL: 7,1\r\n"
                                             "0A9000000002240501090000000002Hi\r\n\r\nOK\r\n");
        QCOMPARE(described(IncomingListing::parseCdma(reply)),
                 (QStringList{"4|9000000001|2024-05-01T10:20:30|Hello", "7|9000000002|2024-05-01T09:00:00|Hi",
                              "skipped 1"}));
        QCOMPARE(described(IncomingListing::parseCdma(QStringLiteral("\r\nOK\r\n\r\nERROR\r\n"))),
                 QStringList{"error"});
        QCOMPARE(described(IncomingListing::parseCdma(QStringLiteral("\r\nOK\r\n\r\nOK\r\n"))),
                 QStringList{"skipped 0"});
    }
};

QTEST_GUILESS_MAIN(TestModemText)
#include "tst_modemtext.moc"
