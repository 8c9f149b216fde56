// The send listener's rules: which targets are refused and why, the
// decoding order, how characters are counted, how pieces are read, where a
// request ends and whether its connection stays; and the allow-list and the
// listener settings as the operator types them. How the listener sees its
// peers is the socket test's matter.
#include "AllowedNetworks.h"
#include "NetworkSettings.h"
#include "SendRequestParser.h"

#include <QTest>

using namespace tavsms;
using namespace tavsms::SendRequestParser;

namespace {

SendRequest get(const QString &target)
{
    return parse(QStringLiteral("GET ") + target + QStringLiteral(" HTTP/1.1\r\nHost: x\r\n\r\n"));
}

bool allows(const QString &list, const QString &peer)
{
    const std::optional<AllowedNetworks> allowed = AllowedNetworks::parse(list);
    if (!allowed)
        qFatal("not a list: %s", qPrintable(list));
    return allowed->allows(PeerAddress::from(QHostAddress(peer)));
}

} // namespace

class TestSendRequestParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Pieces are read by their first name, and only the first three; a value
    // ends at a second "="; a message is counted in characters as decoded.
    void targetIsJudged_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("error"); // empty: valid
        QTest::addColumn<QString>("message");
        const QString n = "9876543210", a131(131, 'a'), emoji = QString::fromUcs4(U"\U0001F600");
        QTest::newRow("first name counts") << "/?message=a=b&message=zzz&mobile=" + n << QString() << "a";
        QTest::newRow("three pieces only") << "/?com=1&mobile=" + n + "&x=1&message=Hi" << messageLengthError(0) << "";
        QTest::newRow("piece without =") << "/?mobile=" + n + "&message=Hi&x" << parameterCountError() << "Hi";
        QTest::newRow("two pieces") << "/?mobile=" + n + "&message=Hi" << parameterCountError() << "Hi";
        QTest::newRow("two and x=1") << "/?mobile=" + n + "&message=Hi&x=1" << QString() << "Hi";
        QTest::newRow("five-digit mobile") << "/?com=c&mobile=98765&message=Hi" << mobileLengthError() << "Hi";
        QTest::newRow("empty message") << "/?com=c&mobile=" + n + "&message=" << messageLengthError(0) << "";
        // Spaces alone would queue an empty message.
        QTest::newRow("spaces only") << "/?com=c&mobile=" + n + "&message=%20%20" << messageLengthError(2) << "  ";
        QTest::newRow("length first") << "/?com=c&mobile=12&message=" + a131 + "bb" << messageLengthError(133)
                                      << a131 + "bb";
        QTest::newRow("131 characters") << "/?com=c&mobile=" + n + "&message=" + emoji.repeated(131) << QString()
                                        << emoji.repeated(131);
        QTest::newRow("132 characters") << "/?com=c&mobile=" + n + "&message=" + emoji.repeated(132)
                                        << messageLengthError(132) << emoji.repeated(132);
        QTest::newRow("plus, %2b, %0D%0A") << "/?com=c&mobile=" + n + "&message=a+b%2bc%0D%0Ad" << QString()
                                           << "a+b%2bc\r\nd";
        QTest::newRow("longer path") << "/send?message=Hi&com=1&mobile=" + n << messageLengthError(0) << "";
    }
    void targetIsJudged()
    {
        QFETCH(QString, target);
        QFETCH(QString, error);
        QFETCH(QString, message);
        const SendRequest r = get(target);
        QCOMPARE(r.error, error);
        QCOMPARE(r.message, message);
    }

    void decodingFollowsItsTableInOrder()
    {
        QCOMPARE(decodeMessage(QStringLiteral("raw\r\nbreak")), QStringLiteral("raw break"));
        // "%25" is decoded early: a later code behind it is decoded again, an earlier one is not.
        QCOMPARE(decodeMessage(QStringLiteral("%252A")), QStringLiteral("*"));
        QCOMPARE(decodeMessage(QStringLiteral("%2520")), QStringLiteral("%20"));
        QCOMPARE(decodeMessage(QStringLiteral("%21%22%23%24%26%27%28%29%2A%2B%2C%2D%2E%2F%3A%3B%3C%3D%3E%3F%40")),
                 QStringLiteral("!\"#$&'()*+,-./:;<=>?@"));
        QCOMPARE(decodeMessage(QStringLiteral("%5B%5C%5D%5E%5F%60%7B%7C%7D%7E")), QStringLiteral("[\\]^_`{|}~"));
        // Codes not in the table, lower-case digits and a lone "%" stay as they are.
        QCOMPARE(decodeMessage(QStringLiteral("%C3%A9 %7e 100%")), QStringLiteral("%C3%A9 %7e 100%"));
    }

    void textThatIsNoRequestIsRefused()
    {
        QCOMPARE(parse(QString()).error, messageLengthError(0));
        QCOMPARE(parse(QStringLiteral("\x01\x02 garbage \xff")).error, messageLengthError(0));
        QCOMPARE(trimSpaces(QStringLiteral("  a\tb \r\n ")), QStringLiteral("a\tb \r\n"));
    }

    void headEndsAtTheFirstEmptyLine_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<qsizetype>("from");
        QTest::addColumn<qsizetype>("end");
        QTest::newRow("CR LF") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\nGET") << qsizetype(0) << qsizetype(27);
        QTest::newRow("LF alone") << QByteArray("GET / HTTP/1.1\nHost: x\n\nGET") << qsizetype(0) << qsizetype(24);
        QTest::newRow("CR LF then LF") << QByteArray("GET /\r\n\nx") << qsizetype(0) << qsizetype(8);
        QTest::newRow("the first of two") << QByteArray("A\r\n\r\nB\n\n") << qsizetype(0) << qsizetype(5);
        QTest::newRow("incomplete") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r") << qsizetype(0) << qsizetype(-1);
        QTest::newRow("CR CR") << QByteArray("GET /\r\r\r\r") << qsizetype(0) << qsizetype(-1);
        QTest::newRow("empty") << QByteArray() << qsizetype(0) << qsizetype(-1);
        // Searching on from where the last search stopped (here after
        // "GET /\r\n\r"), less three bytes, finds an end that straddles the two.
        QTest::newRow("resumed across") << QByteArray("GET /\r\n\r\n") << qsizetype(8 - 3) << qsizetype(9);
        QTest::newRow("resumed, before start") << QByteArray("\n\n") << qsizetype(-3) << qsizetype(2);
    }
    void headEndsAtTheFirstEmptyLine()
    {
        QFETCH(QByteArray, data);
        QFETCH(qsizetype, from);
        QFETCH(qsizetype, end);
        QCOMPARE(headEnd(data, from), end);
    }

    void frameSaysHowLongAndWhetherTheConnectionStays_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<qsizetype>("body");
        QTest::addColumn<bool>("keepAlive");
        QTest::newRow("1.1") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\n") << qsizetype(0) << true;
        QTest::newRow("1.1 close") << QByteArray("GET / HTTP/1.1\r\nConnection: close\r\n\r\n") << qsizetype(0) << false;
        QTest::newRow("1.1 CLOSE, LF") << QByteArray("GET / HTTP/1.1\nconnection:CLOSE\n\n") << qsizetype(0) << false;
        QTest::newRow("close among tokens") << QByteArray("GET / HTTP/1.1\r\nConnection: TE,\tclose \r\n\r\n")
                                            << qsizetype(0) << false;
        QTest::newRow("closed is no close") << QByteArray("GET / HTTP/1.1\r\nConnection: closed\r\n\r\n")
                                            << qsizetype(0) << true;
        QTest::newRow("X-Connection") << QByteArray("GET / HTTP/1.1\r\nX-Connection: close\r\n\r\n") << qsizetype(0)
                                      << true;
        QTest::newRow("1.0") << QByteArray("GET / HTTP/1.0\r\n\r\n") << qsizetype(0) << false;
        QTest::newRow("1.0 keep-alive") << QByteArray("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n")
                                        << qsizetype(0) << true;
        QTest::newRow("keep-alive and close") << QByteArray("GET / HTTP/1.0\r\nConnection: keep-alive, close\r\n\r\n")
                                              << qsizetype(0) << false;
        QTest::newRow("no version") << QByteArray("GET /?a=b\r\n\r\n") << qsizetype(0) << false;
        QTest::newRow("nothing") << QByteArray("\r\n\r\n") << qsizetype(0) << false;
        QTest::newRow("body") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 12\r\n\r\n") << qsizetype(12) << true;
        QTest::newRow("body, the same twice") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 3\r\ncontent-length: 3\r\n\r\n")
                                              << qsizetype(3) << true;
        // Where the next request would start is unknown: the connection ends after the reply.
        QTest::newRow("two lengths") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\n")
                                     << qsizetype(0) << false;
        QTest::newRow("signed length") << QByteArray("POST / HTTP/1.1\r\nContent-Length: +3\r\n\r\n") << qsizetype(0)
                                       << false;
        QTest::newRow("no number") << QByteArray("POST / HTTP/1.1\r\nContent-Length: x\r\n\r\n") << qsizetype(0) << false;
        QTest::newRow("chunked") << QByteArray("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n") << qsizetype(0)
                                 << false;
    }
    void frameSaysHowLongAndWhetherTheConnectionStays()
    {
        QFETCH(QByteArray, head);
        QFETCH(qsizetype, body);
        QFETCH(bool, keepAlive);
        const RequestFrame f = frame(head);
        QCOMPARE(f.head, head.size());
        QCOMPARE(f.length, head.size() + body);
        QCOMPARE(f.keepAlive, keepAlive);
    }

    void defaultListLetsInLoopbackAndPrivateRangesOnly_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<bool>("allowed");
        for (const char *in : {"127.0.0.1", "127.255.255.254", "::1", "10.0.0.1", "10.255.255.255", "172.16.0.1",
                               "172.31.255.255", "192.168.0.1", "192.168.255.255", "fc00::1", "fdff:ffff::1",
                               "fe80::1", "febf:ffff::1", "::ffff:127.0.0.1", "::ffff:192.168.1.20"})
            QTest::newRow(in) << QString::fromLatin1(in) << true;
        for (const char *out : {"8.8.8.8", "126.255.255.255", "128.0.0.1", "9.255.255.255", "11.0.0.0", "172.15.255.255",
                                "172.32.0.0", "192.167.255.255", "192.169.0.0", "::2", "::", "2001:db8::1", "fbff::1",
                                "fec0::1", "::ffff:8.8.8.8", "::ffff:172.32.0.1", "::7f00:1"})
            QTest::newRow(out) << QString::fromLatin1(out) << false;
    }
    void defaultListLetsInLoopbackAndPrivateRangesOnly()
    {
        QFETCH(QString, peer);
        QFETCH(bool, allowed);
        QCOMPARE(allows(AllowedNetworks::kDefault, peer), allowed);
    }

    void entriesAreNetworksOrSingleHosts()
    {
        // A bare address is that host alone.
        QVERIFY(allows(QStringLiteral("192.168.1.5"), QStringLiteral("192.168.1.5")));
        QVERIFY(!allows(QStringLiteral("192.168.1.5"), QStringLiteral("192.168.1.4")));
        QVERIFY(allows(QStringLiteral("2001:db8::7"), QStringLiteral("2001:db8::7")));
        QVERIFY(!allows(QStringLiteral("2001:db8::7"), QStringLiteral("2001:db8::8")));
        // Bits of the address past the prefix do not matter.
        QVERIFY(allows(QStringLiteral("10.1.2.3/8"), QStringLiteral("10.200.0.1")));
        // A prefix that ends inside a byte.
        QVERIFY(allows(QStringLiteral("192.168.4.0/23"), QStringLiteral("192.168.5.255")));
        QVERIFY(!allows(QStringLiteral("192.168.4.0/23"), QStringLiteral("192.168.6.0")));
        QVERIFY(!allows(QStringLiteral("192.168.4.0/23"), QStringLiteral("192.168.3.255")));
        // Every IPv4 address, and nothing else; every address.
        QVERIFY(allows(QStringLiteral("0.0.0.0/0"), QStringLiteral("203.0.113.9")));
        QVERIFY(allows(QStringLiteral("0.0.0.0/0"), QStringLiteral("::ffff:203.0.113.9")));
        QVERIFY(!allows(QStringLiteral("0.0.0.0/0"), QStringLiteral("::1")));
        QVERIFY(allows(QStringLiteral("::/0"), QStringLiteral("203.0.113.9")));
        // Spaces around entries, a stray comma.
        QVERIFY(allows(QStringLiteral("  10.0.0.0/8 ,, 192.168.0.0 / 16 ,"), QStringLiteral("192.168.9.9")));
    }

    void badEntryIsNamed_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("bad"); // empty: no entry at all
        QTest::newRow("prefix too long") << QStringLiteral("10.0.0.0/8, 10.0.0.0/33") << QStringLiteral("10.0.0.0/33");
        QTest::newRow("IPv6 prefix too long") << QStringLiteral("::1/129") << QStringLiteral("::1/129");
        QTest::newRow("negative prefix") << QStringLiteral("10.0.0.0/-1") << QStringLiteral("10.0.0.0/-1");
        QTest::newRow("signed prefix") << QStringLiteral("10.0.0.0/+8") << QStringLiteral("10.0.0.0/+8");
        QTest::newRow("no prefix after slash") << QStringLiteral("10.0.0.0/") << QStringLiteral("10.0.0.0/");
        QTest::newRow("mask") << QStringLiteral("10.0.0.0/255.0.0.0") << QStringLiteral("10.0.0.0/255.0.0.0");
        QTest::newRow("octet too large") << QStringLiteral(" 127.0.0.0/8 , 300.1.1.1/8 ") << QStringLiteral("300.1.1.1/8");
        QTest::newRow("name") << QStringLiteral("localhost") << QStringLiteral("localhost");
        // Short forms would be read as other networks than meant ("10" is 0.0.0.10).
        QTest::newRow("short form") << QStringLiteral("10/8") << QStringLiteral("10/8");
        QTest::newRow("three parts") << QStringLiteral("192.168.1/24") << QStringLiteral("192.168.1/24");
        QTest::newRow("leading zero") << QStringLiteral("010.0.0.0/8") << QStringLiteral("010.0.0.0/8");
        QTest::newRow("hexadecimal") << QStringLiteral("0x7f.0.0.1") << QStringLiteral("0x7f.0.0.1");
        QTest::newRow("two slashes") << QStringLiteral("10.0.0.0/8/8") << QStringLiteral("10.0.0.0/8/8");
        QTest::newRow("interface scope") << QStringLiteral("fe80::1%eth0/64") << QStringLiteral("fe80::1%eth0/64");
        QTest::newRow("space for comma") << QStringLiteral("10.0.0.0/8 192.168.0.0/16")
                                         << QStringLiteral("10.0.0.0/8 192.168.0.0/16");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("commas only") << QStringLiteral(" , ,") << QString();
    }
    void badEntryIsNamed()
    {
        QFETCH(QString, list);
        QFETCH(QString, bad);
        QString named = QStringLiteral("untouched");
        QVERIFY(!AllowedNetworks::parse(list, &named));
        QCOMPARE(named, bad);
    }

    void listenerSettingsSayWhatIsWrong_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("networks");
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("bound"); // what the listener binds to when all is well
        const QString any = QHostAddress(QHostAddress::Any).toString(), all = AllowedNetworks::kDefault;
        const auto notIp = [](const char *a) { return QStringLiteral("Listen address: '%1' is not an IP address.").arg(a); };
        QTest::newRow("defaults") << QString() << all << QString() << any;
        QTest::newRow("an address") << " 127.0.0.2 " << "127.0.0.0/8" << QString() << "127.0.0.2";
        QTest::newRow("IPv6") << "::1" << "::1" << QString() << "::1";
        QTest::newRow("a name") << "localhost" << all << notIp("localhost") << QString();
        QTest::newRow("bad octet") << "192.168.1.300" << all << notIp("192.168.1.300") << QString();
        QTest::newRow("short form") << "127.1" << all << notIp("127.1") << QString();
        QTest::newRow("bad network") << QString() << "127.0.0.0/8, 10.0.0.0/33"
                                     << "Allowed networks: '10.0.0.0/33' is not a network." << QString();
        QTest::newRow("no network") << QString() << " "
                                    << "Allowed networks: give at least one network, such as 127.0.0.0/8." << QString();
    }
    void listenerSettingsSayWhatIsWrong()
    {
        QFETCH(QString, address);
        QFETCH(QString, networks);
        QFETCH(QString, why);
        QFETCH(QString, bound);
        NetworkSettings s;
        s.listenAddress = address;
        s.allowedNetworks = networks;
        QString said = QStringLiteral("untouched");
        const std::optional<NetworkSettings::Listener> listener = s.listener(&said);
        QCOMPARE(said, why);
        QCOMPARE(listener.has_value(), why.isEmpty());
        if (listener)
            QCOMPARE(listener->address.toString(), bound);
    }
};

QTEST_GUILESS_MAIN(TestSendRequestParser)
#include "tst_sendrequestparser.moc"
