// The listener's allow-list and the listener settings as the operator
// types them: which peers a list lets in, and which entries are refused.
// How the listener sees its peers is the socket test's matter.
#include "AllowedNetworks.h"
#include "NetworkSettings.h"

#include <QTest>

using namespace tavsms;

namespace {

bool allows(const QString &list, const QString &peer)
{
    const std::optional<AllowedNetworks> allowed = AllowedNetworks::parse(list);
    if (!allowed)
        qFatal("not a list: %s", qPrintable(list));
    return allowed->allows(PeerAddress::from(QHostAddress(peer)));
}

} // namespace

class TestAllowedNetworks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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

QTEST_GUILESS_MAIN(TestAllowedNetworks)
#include "tst_allowednetworks.moc"
