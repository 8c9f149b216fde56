// Reading what devices answer: result lines, the CDMA forms and the
// listings; and the SMS PDU codec: published and hand-decoded PDUs, how texts
// are cut into parts, round trips in every alphabet, and PDUs that lie about
// themselves.
#include "CdmaFormat.h"
#include "IncomingListing.h"
#include "ReplyLines.h"
#include "SmsPdu.h"

#include <QRandomGenerator>
#include <QTest>

using namespace tavsms;
using SmsPdu::Coding;

namespace {

// A listing as "index|sender|stamp|text" lines, then "skipped n" or "error".
QStringList described(const Listing &listing)
{
    QStringList out;
    for (const ListedMessage &m : listing.messages)
        out << QStringLiteral("%1|%2|%3|%4").arg(m.index).arg(m.sender, m.stamp.toString(Qt::ISODate), m.text);
    return out << (listing.error ? QStringLiteral("error") : QStringLiteral("skipped %1").arg(listing.skipped));
}


const QString kDeva = QStringLiteral("\u0915");                 // क, one UTF-16 unit
const QString kEmoji = QString::fromUcs4(U"\U0001F600", 1);     // a surrogate pair

// Random text drawn from one pool; pools name their characters by code point
// so that surrogate pairs stay whole.
QString randomText(QRandomGenerator &rng, const QList<char32_t> &pool, int length)
{
    QString s;
    for (int i = 0; i < length; ++i) {
        const char32_t c = pool[rng.bounded(int(pool.size()))];
        s += QString::fromUcs4(&c, 1);
    }
    return s;
}

QList<char32_t> range(char32_t from, char32_t to)
{
    QList<char32_t> r;
    for (char32_t c = from; c <= to; ++c)
        r.append(c);
    return r;
}

QList<char32_t> codePoints(const QString &s)
{
    QList<char32_t> r;
    for (const char32_t c : s.toUcs4())
        r.append(c);
    return r;
}

const QString kGsmBasic = QStringLiteral(
    "@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
    "¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà");
const QString kGsmExtension = QStringLiteral("€[]{}~^\\|\f");

// What a PDU reads as: "number|text|reference sequence/total|class", or why it is refused.
QString described(const QByteArray &pdu, bool deliver = true)
{
    QString error;
    const auto m = deliver ? SmsPdu::decodeDeliver(pdu, &error) : SmsPdu::decodeSubmit(pdu, &error);
    if (!m)
        return QStringLiteral("refused: ") + error;
    return QStringLiteral("%1|%2|%3 %4/%5|%6")
        .arg(m->number, m->text)
        .arg(m->reference)
        .arg(m->sequence)
        .arg(m->total)
        .arg(m->messageClass);
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

    void publishedSubmitAndDeliver()
    {
        // The classic "hellohello" to +46708251358: relative validity AA,
        // 7-bit packing E8 32 9B FD 46 97 D9 EC 37.
        const auto submit = SmsPdu::encodeSubmit(QStringLiteral("+46708251358"), QStringLiteral("hellohello"), 0);
        QCOMPARE(submit.size(), 1);
        QCOMPARE(submit[0].hex, QByteArray("0011000B916407281553F80000AA0AE8329BFD4697D9EC37"));
        QCOMPARE(submit[0].tpduLength, 23);
        QCOMPARE(described(submit[0].hex, false), QStringLiteral("+46708251358|hellohello|0 1/1|-1"));

        // The same text delivered from 27838890001 (type C8, not international)
        // by the centre +27381000015 on 1999-03-29 15:16:59, zone 08 quarters.
        const QByteArray deliver = "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";
        QCOMPARE(described(deliver), QStringLiteral("27838890001|hellohello|0 1/1|-1"));
        const auto m = SmsPdu::decodeDeliver(deliver);
        QCOMPARE(m->coding, Coding::Gsm7);
        QCOMPARE(m->timestamp.toString(Qt::ISODate), QStringLiteral("1999-03-29T15:16:59+02:00"));

        // An alphanumeric originator: D0 and 13 semi-octets holding "diafaan"
        // packed, then "diafaan.com" in 11 septets.
        const QByteArray alpha =
            "079144872000302324" "0DD0E474D81C0EBB01" "0000" "11101131521400" "0BE474D81C0EBB5DE3771B";
        QCOMPARE(described(alpha), QStringLiteral("diafaan|diafaan.com|0 1/1|-1"));
        QCOMPARE(SmsPdu::decodeDeliver(alpha)->timestamp, QDateTime(QDate(2011, 1, 11), QTime(13, 25, 41), Qt::UTC));
    }

    void handDecodedPdus()
    {
        // UCS-2 "नमस्ते" from +919876543210, stamped 2024-05-01 12:34:56 at
        // -05:30: zone octet 2A is tens 2 with the sign bit (A) and units 2.
        const QByteArray ucs = "07911326040000F0040C9119896745230100084250102143652A0C0928092E0938094D09240947";
        QCOMPARE(described(ucs), QStringLiteral("+919876543210|नमस्ते|0 1/1|-1"));
        QCOMPARE(SmsPdu::decodeDeliver(ucs)->coding, Coding::Ucs2);
        QCOMPARE(SmsPdu::decodeDeliver(ucs)->timestamp.toString(Qt::ISODate), QStringLiteral("2024-05-01T12:34:56-05:30"));

        // The first of two parts, reference CC: header 05 00 03 CC 02 01 is 48 bits, so one
        // fill bit; "h" shifted by it is D0, then "i" is 69. UDL 7 + 2 septets.
        const QByteArray head = "07917283010010F5440BC87238880900F1000099309251619580";
        QCOMPARE(described(head + "09050003CC0201D069"), QStringLiteral("27838890001|hi|204 1/2|-1"));
        // A 16-bit reference behind an element the codec does not know (70,
        // two octets): 11 header octets, 3 fill bits, text from septet 13.
        QCOMPARE(described(head + "0F0A700211220804ABCD030240A701"), QStringLiteral("27838890001|hi|43981 2/3|-1"));

        // An empty text is one empty message.
        const auto empty = SmsPdu::encodeSubmit(QStringLiteral("9876543210"), QString(), 0);
        QCOMPARE(empty.size(), 1);
        QCOMPARE(empty[0].hex, QByteArray("0011000A8189674523010000AA00"));
        QCOMPARE(described(empty[0].hex, false), QStringLiteral("9876543210||0 1/1|-1"));

        // The euro is ESC 65: septets 1B 65 pack into 9B 32, UDL 2.
        const auto euro = SmsPdu::encodeSubmit(QStringLiteral("9876543210"), QStringLiteral("€"), 0);
        QCOMPARE(euro.size(), 1);
        QCOMPARE(euro[0].hex, QByteArray("0011000A8189674523010000AA029B32"));

        // A concatenated SUBMIT: UDHI in the first octet, UDL A0 (7 + 153),
        // and the text starting after the fill bit.
        const auto two = SmsPdu::encodeSubmit(QStringLiteral("9876543210"), QStringLiteral("h").repeated(161), 7);
        QCOMPARE(two.size(), 2);
        QVERIFY(two[0].hex.startsWith("0051000A8189674523010000AAA0050003070201D068"));
        QVERIFY(two[1].hex.startsWith("0051000A8189674523010000AA0F050003070202D0"));
        QCOMPARE(two[0].tpduLength, two[0].hex.size() / 2 - 1);
        QCOMPARE(two[0].tpduLength, 12 + 1 + 140); // header, UDL and a full 140 octets
    }

    void planCountsPartsAndCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Coding>("coding");
        QTest::addColumn<int>("characters");
        QTest::addColumn<int>("units");
        QTest::addColumn<int>("parts");

        const QString a = QStringLiteral("a");
        QTest::newRow("empty") << QString() << Coding::Gsm7 << 0 << 0 << 1;
        QTest::newRow("160 GSM") << a.repeated(160) << Coding::Gsm7 << 160 << 160 << 1;
        QTest::newRow("161 GSM") << a.repeated(161) << Coding::Gsm7 << 161 << 161 << 2;
        QTest::newRow("every GSM character") << kGsmBasic << Coding::Gsm7 << int(kGsmBasic.size())
                                             << int(kGsmBasic.size()) << 1;
        QTest::newRow("extension costs two") << kGsmExtension << Coding::Gsm7 << 10 << 20 << 1;
        QTest::newRow("158 and a euro") << a.repeated(158) + QStringLiteral("€") << Coding::Gsm7 << 159 << 160 << 1;
        QTest::newRow("159 and a euro") << a.repeated(159) + QStringLiteral("€") << Coding::Gsm7 << 160 << 161 << 2;
        QTest::newRow("ten GSM parts") << a.repeated(1530) << Coding::Gsm7 << 1530 << 1530 << 10;
        QTest::newRow("eleven GSM parts") << a.repeated(1531) << Coding::Gsm7 << 1531 << 1531 << 0;
        QTest::newRow("euro ending part ten") << a.repeated(1528) + QStringLiteral("€") << Coding::Gsm7 << 1529 << 1530
                                              << 10;
        // The pair cannot end part one, so it moves and the rest spills into an eleventh.
        QTest::newRow("euro pushed over a boundary")
            << a.repeated(152) + QStringLiteral("€") + a.repeated(1376) << Coding::Gsm7 << 1529 << 1530 << 0;
        QTest::newRow("Latin-1 outside GSM") << QStringLiteral("café â") << Coding::Ucs2 << 6 << 6 << 1;
        QTest::newRow("tab is not GSM") << QStringLiteral("a\tb") << Coding::Ucs2 << 3 << 3 << 1;
        QTest::newRow("70 UCS-2") << kDeva.repeated(70) << Coding::Ucs2 << 70 << 70 << 1;
        QTest::newRow("71 UCS-2") << kDeva.repeated(71) << Coding::Ucs2 << 71 << 71 << 2;
        QTest::newRow("ten UCS-2 parts") << kDeva.repeated(670) << Coding::Ucs2 << 670 << 670 << 10;
        QTest::newRow("eleven UCS-2 parts") << kDeva.repeated(671) << Coding::Ucs2 << 671 << 671 << 0;
        // 70 characters but 71 units: the counter shows 70, the network takes two parts.
        QTest::newRow("emoji is one character") << a.repeated(69) + kEmoji << Coding::Ucs2 << 70 << 71 << 2;
        QTest::newRow("emoji at a part boundary")
            << kDeva.repeated(66) + kEmoji + kDeva.repeated(5) << Coding::Ucs2 << 72 << 73 << 2;
    }

    void planCountsPartsAndCharacters()
    {
        QFETCH(QString, text);
        const SmsPdu::Plan p = SmsPdu::plan(text);
        QTEST(p.coding, "coding");
        QTEST(p.characters, "characters");
        QTEST(p.units, "units");
        QTEST(p.parts, "parts");

        // The encoders agree with the plan.
        const auto submit = SmsPdu::encodeSubmit(QStringLiteral("9876543210"), text, 1);
        const auto deliver = SmsPdu::encodeDeliver(QStringLiteral("+919000000001"), text, QDateTime::currentDateTime(), 1);
        QCOMPARE(submit.size(), p.parts);
        QCOMPARE(deliver.size(), p.parts);
    }

    void partsNeverSplitACharacter()
    {
        const QString a = QStringLiteral("a");
        // A euro whose ESC would be septet 153 starts part two instead.
        const auto g = SmsPdu::encodeSubmit(QStringLiteral("9876543210"), a.repeated(152) + "€" + a.repeated(10), 9);
        QCOMPARE(g.size(), 2);
        QCOMPARE(described(g[0].hex, false), "9876543210|" + a.repeated(152) + "|9 1/2|-1");
        QCOMPARE(described(g[1].hex, false), "9876543210|€" + a.repeated(10) + "|9 2/2|-1");

        // An emoji whose high surrogate would be unit 67 starts part two.
        const QString ucs = kDeva.repeated(66) + kEmoji + kDeva.repeated(5);
        const auto u = SmsPdu::encodeDeliver(QStringLiteral("VK-BANK"), ucs, QDateTime::currentDateTime(), 200);
        QCOMPARE(u.size(), 2);
        QCOMPARE(described(u[0]), "VK-BANK|" + kDeva.repeated(66) + "|200 1/2|-1");
        QCOMPARE(described(u[1]), "VK-BANK|" + kEmoji + kDeva.repeated(5) + "|200 2/2|-1");
    }

    void addresses()
    {
        const QString hi = QStringLiteral("hi");
        // National numbers go as stored with type 81; "+" makes them 91.
        QVERIFY(SmsPdu::encodeSubmit(QStringLiteral("9876543210"), hi, 0)[0].hex.startsWith("0011000A818967452301"));
        QVERIFY(SmsPdu::encodeSubmit(QStringLiteral("+919876543210"), hi, 0)[0].hex.startsWith("0011000C91198967452301"));
        QVERIFY(SmsPdu::encodeSubmit(QStringLiteral(" +91 98765-43210 "), hi, 0)[0].hex.startsWith("0011000C91198967452301"));
        // Odd digit counts pad the last semi-octet with F.
        QVERIFY(SmsPdu::encodeSubmit(QStringLiteral("12345"), hi, 0)[0].hex.startsWith("00110005812143F5"));
        QVERIFY(SmsPdu::encodeSubmit(QString(), hi, 0).isEmpty());
        QVERIFY(SmsPdu::encodeSubmit(QStringLiteral("+"), hi, 0).isEmpty());
        QVERIFY(SmsPdu::encodeSubmit(QStringLiteral("abc"), hi, 0).isEmpty());
        QVERIFY(SmsPdu::encodeSubmit(QString(21, QLatin1Char('9')), hi, 0).isEmpty());
        QVERIFY(!SmsPdu::encodeSubmit(QString(20, QLatin1Char('9')), hi, 0).isEmpty());

        // Names: up to 11 GSM characters, extension ones included.
        const QDateTime t(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::OffsetFromUTC, 19800);
        for (const char *name : {"A", "VK-BANK", "ABCDEFGHIJK", "[Shop]", "12AB"}) {
            const auto d = SmsPdu::encodeDeliver(QString::fromLatin1(name), hi, t, 0);
            QCOMPARE(d.size(), 1);
            QCOMPARE(described(d[0]), name + QStringLiteral("|hi|0 1/1|-1"));
            QCOMPARE(SmsPdu::decodeDeliver(d[0])->timestamp.toString(Qt::ISODate), t.toString(Qt::ISODate));
        }
        QVERIFY(SmsPdu::encodeDeliver(QStringLiteral("ABCDEFGHIJKL"), hi, t, 0).isEmpty());
        QVERIFY(SmsPdu::encodeDeliver(QStringLiteral("दुकान"), hi, t, 0).isEmpty());
        QVERIFY(SmsPdu::encodeDeliver(QString(), hi, t, 0).isEmpty());
        // Semi-octets A-E read as * # a b c.
        QCOMPARE(described(QByteArray("00") + "04" + "058121" "3AFB" + "0000" + "00000000000000" + "0100"),
                 QStringLiteral("12*3#|@|0 1/1|-1"));
    }

    void codingSchemes_data()
    {
        QTest::addColumn<QByteArray>("dcs");
        QTest::addColumn<QByteArray>("userData");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<Coding>("coding");
        QTest::addColumn<int>("messageClass");
        QTest::addColumn<QString>("text");

        const QByteArray gsm = "0AE8329BFD4697D9EC37";
        const QByteArray eight = "04DEADBEEF";
        const QByteArray ucs = "040928092E";
        const QString hello = QStringLiteral("hellohello");
        const QString nama = QStringLiteral("नम");
        QTest::newRow("00 GSM") << QByteArray("00") << gsm << true << Coding::Gsm7 << -1 << hello;
        QTest::newRow("10 flash") << QByteArray("10") << gsm << true << Coding::Gsm7 << 0 << hello;
        QTest::newRow("12 class 2") << QByteArray("12") << gsm << true << Coding::Gsm7 << 2 << hello;
        QTest::newRow("04 8-bit") << QByteArray("04") << eight << true << Coding::Eight << -1 << QStringLiteral("DEADBEEF");
        QTest::newRow("08 UCS-2") << QByteArray("08") << ucs << true << Coding::Ucs2 << -1 << nama;
        QTest::newRow("19 UCS-2 class 1") << QByteArray("19") << ucs << true << Coding::Ucs2 << 1 << nama;
        QTest::newRow("09 class bits unused") << QByteArray("09") << ucs << true << Coding::Ucs2 << -1 << nama;
        QTest::newRow("40 auto-delete") << QByteArray("40") << gsm << true << Coding::Gsm7 << -1 << hello;
        QTest::newRow("C8 waiting, discard") << QByteArray("C8") << gsm << true << Coding::Gsm7 << -1 << hello;
        QTest::newRow("D0 waiting, store") << QByteArray("D0") << gsm << true << Coding::Gsm7 << -1 << hello;
        QTest::newRow("E0 waiting, UCS-2") << QByteArray("E0") << ucs << true << Coding::Ucs2 << -1 << nama;
        QTest::newRow("F0 flash") << QByteArray("F0") << gsm << true << Coding::Gsm7 << 0 << hello;
        QTest::newRow("F6 8-bit class 2") << QByteArray("F6") << eight << true << Coding::Eight << 2 << QStringLiteral("DEADBEEF");
        QTest::newRow("20 compressed") << QByteArray("20") << gsm << false << Coding::Gsm7 << -1 << QString();
        QTest::newRow("0C reserved alphabet") << QByteArray("0C") << gsm << false << Coding::Gsm7 << -1 << QString();
        QTest::newRow("80 reserved group") << QByteArray("80") << gsm << false << Coding::Gsm7 << -1 << QString();
        QTest::newRow("B4 reserved group") << QByteArray("B4") << gsm << false << Coding::Gsm7 << -1 << QString();
    }

    void codingSchemes()
    {
        QFETCH(QByteArray, dcs);
        QFETCH(QByteArray, userData);
        QFETCH(bool, readable);
        const QByteArray pdu = "00040B919170000000F100" + dcs + "42501021436500" + userData;
        QString error;
        const auto m = SmsPdu::decodeDeliver(pdu, &error);
        QCOMPARE(bool(m), readable);
        if (!readable) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QTEST(m->coding, "coding");
        QTEST(m->messageClass, "messageClass");
        QTEST(m->text, "text");
    }

    void roundTripsInEveryAlphabet_data()
    {
        QTest::addColumn<QList<char32_t>>("pool");
        QTest::addColumn<Coding>("coding");
        QTest::newRow("GSM") << codePoints(kGsmBasic) << Coding::Gsm7;
        QTest::newRow("GSM with extension") << codePoints(kGsmBasic + kGsmExtension.repeated(6)) << Coding::Gsm7;
        QTest::newRow("Latin-1") << codePoints(QStringLiteral("abc âêîôûçÀÈÂ«»¬")) << Coding::Ucs2;
        QTest::newRow("Devanagari") << range(0x0900, 0x097F) << Coding::Ucs2;
        QTest::newRow("emoji") << range(0x1F600, 0x1F64F) + codePoints(QStringLiteral("ab ")) << Coding::Ucs2;
    }

    void roundTripsInEveryAlphabet()
    {
        QFETCH(QList<char32_t>, pool);
        QFETCH(Coding, coding);
        QRandomGenerator rng(20240501);
        const QDateTime stamp(QDate(2025, 2, 3), QTime(4, 5, 6), Qt::OffsetFromUTC, -3 * 3600 - 45 * 60);
        int joined = 0;
        for (int round = 0; round < 200; ++round) {
            const QString text = randomText(rng, pool, rng.bounded(0, 800));
            if (text.isEmpty())
                continue;
            const SmsPdu::Plan p = SmsPdu::plan(text);
            QCOMPARE(p.coding, coding);
            const auto ref = quint8(rng.bounded(256));

            const auto submit = SmsPdu::encodeSubmit(QStringLiteral("9876543210"), text, ref);
            const auto deliver = SmsPdu::encodeDeliver(QStringLiteral("+919000000001"), text, stamp, ref);
            QCOMPARE(submit.size(), p.parts);
            QCOMPARE(deliver.size(), p.parts);
            if (p.parts == 0)
                continue;

            QString sent;
            QString received;
            for (int i = 0; i < p.parts; ++i) {
                QCOMPARE(submit[i].tpduLength, submit[i].hex.size() / 2 - 1);
                QVERIFY(submit[i].tpduLength <= 12 + 1 + 140);
                QString error;
                const auto s = SmsPdu::decodeSubmit(submit[i].hex, &error);
                QVERIFY2(s, qPrintable(error));
                const auto d = SmsPdu::decodeDeliver(deliver[i], &error);
                QVERIFY2(d, qPrintable(error));
                for (const auto &m : {*s, *d}) {
                    QCOMPARE(m.coding, coding);
                    QCOMPARE(m.total, p.parts);
                    QCOMPARE(m.sequence, i + 1);
                    QCOMPARE(m.reference, p.parts > 1 ? int(ref) : 0);
                    // Within the part sizes, whatever the alphabet.
                    const SmsPdu::Plan part = SmsPdu::plan(m.text);
                    QVERIFY(part.units <= (p.parts == 1 ? (coding == Coding::Gsm7 ? 160 : 70)
                                                        : (coding == Coding::Gsm7 ? 153 : 67)));
                }
                QCOMPARE(s->number, QStringLiteral("9876543210"));
                QCOMPARE(d->number, QStringLiteral("+919000000001"));
                QCOMPARE(d->timestamp.toString(Qt::ISODate), stamp.toString(Qt::ISODate));
                sent += s->text;
                received += d->text;
            }
            QCOMPARE(sent, text);
            QCOMPARE(received, text);
            joined += p.parts > 1;
        }
        QVERIFY(joined >= 50);
    }

    void brokenPdusAreRefused_data()
    {
        QTest::addColumn<QByteArray>("pdu");
        QTest::addColumn<bool>("deliver");
        QTest::addColumn<QString>("reason"); // a part of the error, where one case could fail for several
        const QByteArray good = "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";
        const QByteArray head = "07917283010010F5440BC87238880900F1000099309251619580";
        QTest::newRow("empty") << QByteArray() << true << QString();
        QTest::newRow("blank") << QByteArray("  \r\n") << true << QString();
        QTest::newRow("odd hex") << good.chopped(1) << true << QString();
        QTest::newRow("not hex") << good.chopped(1) + "G" << true << QString();
        QTest::newRow("space inside") << QByteArray("0791 7283010010F5") << true << QString();
        QTest::newRow("UDL longer than the data") << good.left(good.indexOf("0AE832")) + "0BE8329BFD4697D9EC37" << true << QString();
        QTest::newRow("UCS-2 UDL longer") << QByteArray("00040B919170000000F1000842501021436500050928092E") << true << QString();
        QTest::newRow("service centre beyond the end") << QByteArray("0F917283010010F5") << true << QString();
        QTest::newRow("address beyond the end") << QByteArray("07917283010010F5040BC8723888") << true << QString();
        QTest::newRow("address too long") << QByteArray("00041591000000000000000000000000000000000000") << true << QString();
        QTest::newRow("cut before the stamp") << QByteArray("07917283010010F5040BC87238880900F10000993092") << true << QString();
        QTest::newRow("no user data length") << good.left(good.indexOf("0AE832")) << true << QString();
        QTest::newRow("header beyond UDL") << head + "090A0003CC0201D069" << true << QString();
        QTest::newRow("header element too long") << head + "09050004CC0201D069" << true << QString();
        QTest::newRow("header without data") << head + "00" << true << QString();
        QTest::newRow("UCS-2 header beyond UDL") << QByteArray("00440B919170000000F100084250102143650004050003010201") << true << QString();
        QTest::newRow("a SUBMIT read as DELIVER") << QByteArray("0011000A8189674523010000AA029B32") << true << QString("not an SMS-DELIVER");
        QTest::newRow("status report") << QByteArray("0006") << true << QString("not an SMS-DELIVER");
        QTest::newRow("a DELIVER read as SUBMIT") << good << false << QString("not an SMS-SUBMIT");
        QTest::newRow("SUBMIT cut in the validity") << QByteArray("0019000A81896745230100000000") << false << QString();
        QTest::newRow("SUBMIT UDL longer") << QByteArray("0011000A8189674523010000AA039B32") << false << QString();
    }

    void brokenPdusAreRefused()
    {
        QFETCH(QByteArray, pdu);
        QFETCH(bool, deliver);
        QFETCH(QString, reason);
        QString error;
        const auto m = deliver ? SmsPdu::decodeDeliver(pdu, &error) : SmsPdu::decodeSubmit(pdu, &error);
        QVERIFY(!m);
        QVERIFY(!error.isEmpty());
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    void doubtfulPdusAreReadAsFarAsTheyGo_data()
    {
        QTest::addColumn<QByteArray>("pdu");
        QTest::addColumn<QString>("read");
        const QByteArray head = "00040B919170000000F100";
        const QByteArray stamp = "42501021436500";
        const QByteArray concat = "00440B919170000000F100004250102143650009050003CC02";
        // Month 13: the text stands (the stamp is null, below).
        QTest::newRow("month 13") << head + "00" + "42315021436500" + "0AE8329BFD4697D9EC37"
                                  << "+19070000001|hellohello|0 1/1|-1";
        QTest::newRow("odd UCS-2 length drops the half unit") << head + "08" + stamp + "030928FF"
                                                              << "+19070000001|न|0 1/1|-1";
        QTest::newRow("ESC last reads as a space") << head + "00" + stamp + "02E10D" << "+19070000001|a |0 1/1|-1";
        QTest::newRow("ESC and a code outside the table") << head + "00" + stamp + "029B30"
                                                          << "+19070000001|a|0 1/1|-1";
        // As some phones list them.
        QTest::newRow("lower case, line end")
            << QByteArray("07917283010010f5040bc87238880900f10000993092516195800ae8329bfd4697d9ec37\r\n")
            << "27838890001|hellohello|0 1/1|-1";
        // Concatenation that numbers its part 0 or past the total is one message.
        QTest::newRow("part 0") << concat + "00D069" << "+19070000001|hi|0 1/1|-1";
        QTest::newRow("part past the total") << concat + "03D069" << "+19070000001|hi|0 1/1|-1";
    }
    void doubtfulPdusAreReadAsFarAsTheyGo()
    {
        QFETCH(QByteArray, pdu);
        QTEST(described(pdu), "read");
        QCOMPARE(SmsPdu::decodeDeliver(pdu)->timestamp.isNull(), QTest::currentDataTag() == QByteArray("month 13"));
    }

    void mutatedPdusNeverCrash()
    {
        const QDateTime t(QDate(2024, 5, 1), QTime(1, 2, 3), Qt::OffsetFromUTC, 19800);
        QList<QByteArray> seeds = {
            "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37",
            "0791448720003023240DD0E474D81C0EBB010000111011315214000BE474D81C0EBB5DE3771B",
            "07917283010010F5440BC87238880900F10000993092516195800F0A700211220804ABCD030240A701",
            "07911326040000F0040C9119896745230100084250102143652A0C0928092E0938094D09240947",
        };
        const QString long7 = kGsmBasic + kGsmExtension + kGsmBasic;
        const QString longU = (kDeva + kEmoji).repeated(40);
        for (const QString &text : {long7, longU}) {
            seeds += SmsPdu::encodeDeliver(QStringLiteral("VK-BANK"), text, t, 5);
            for (const auto &s : SmsPdu::encodeSubmit(QStringLiteral("+919876543210"), text, 5))
                seeds += s.hex;
        }

        QRandomGenerator rng(7);
        int read = 0;
        int refused = 0;
        const char hex[] = "0123456789ABCDEF";
        for (int round = 0; round < 20000; ++round) {
            QByteArray pdu = seeds[rng.bounded(int(seeds.size()))];
            const int edits = rng.bounded(1, 4);
            for (int e = 0; e < edits && !pdu.isEmpty(); ++e) {
                const int at = rng.bounded(int(pdu.size()));
                switch (rng.bounded(6)) {
                case 0: // a digit changed
                    pdu[at] = hex[rng.bounded(16)];
                    break;
                case 1: // an octet changed, often a length
                    pdu[at & ~1] = hex[rng.bounded(16)];
                    if ((at | 1) < pdu.size())
                        pdu[at | 1] = hex[rng.bounded(16)];
                    break;
                case 2: // cut short on an octet
                    pdu.truncate(at & ~1);
                    break;
                case 3: // an octet dropped
                    pdu.remove(at & ~1, 2);
                    break;
                case 4: // octets added
                    pdu.insert(at & ~1, QByteArray(2 * rng.bounded(1, 4), hex[rng.bounded(16)]));
                    break;
                default: // any byte at all
                    pdu[at] = char(rng.bounded(256));
                }
            }
            QString error;
            const auto d = SmsPdu::decodeDeliver(pdu, &error);
            const auto s = SmsPdu::decodeSubmit(pdu, &error);
            for (const auto &m : {d, s}) {
                if (!m) {
                    ++refused;
                    continue;
                }
                ++read;
                QVERIFY(m->total >= 1);
                QVERIFY(m->sequence >= 1 && m->sequence <= m->total);
                QVERIFY(m->text.size() <= 2 * 255);
                QVERIFY(m->number.size() <= 21);
            }
        }
        // Both ways were taken many times over.
        QVERIFY(read > 1000);
        QVERIFY(refused > 1000);
    }
};

QTEST_GUILESS_MAIN(TestModemText)
#include "tst_modemtext.moc"
