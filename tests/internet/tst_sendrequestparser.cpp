// The send listener's request rules that its socket test does not reach:
// the decoding order, how characters are counted, how pieces are read.
#include "SendRequestParser.h"

#include <QTest>

using namespace tavsms;
using namespace tavsms::SendRequestParser;

namespace {

SendRequest get(const QString &target)
{
    return parse(QStringLiteral("GET ") + target + QStringLiteral(" HTTP/1.1\r\nHost: x\r\n\r\n"));
}

} // namespace

class TestSendRequestParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void piecesAreReadByTheirFirstNameAndValue()
    {
        // The first occurrence counts; a value ends at a second "=".
        SendRequest r = get(QStringLiteral("/?message=a=b&message=zzz&mobile=9876543210"));
        QVERIFY2(r.isValid(), qPrintable(r.error));
        QCOMPARE(r.message, QStringLiteral("a"));
        // Only the first three pieces are looked at.
        r = get(QStringLiteral("/?com=1&mobile=9876543210&x=1&message=Hi"));
        QCOMPARE(r.error, messageLengthError(0));
        // A piece without "=" among them is a missing parameter.
        QCOMPARE(get(QStringLiteral("/?mobile=9876543210&message=Hi&x")).error, parameterCountError());
    }

    void lengthCountsCharactersNotUnits()
    {
        const QString emoji = QString::fromUcs4(U"\U0001F600");
        const QString rest = QStringLiteral("&mobile=9876543210&com=c");
        QVERIFY(get(QStringLiteral("/?message=") + emoji.repeated(131) + rest).isValid());
        QCOMPARE(get(QStringLiteral("/?message=") + emoji.repeated(132) + rest).error, messageLengthError(132));
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
        // Spaces alone would queue an empty message.
        QCOMPARE(get(QStringLiteral("/?com=1&mobile=9876543210&message=%20%20")).error, messageLengthError(2));
        QCOMPARE(trimSpaces(QStringLiteral("  a\tb \r\n ")), QStringLiteral("a\tb \r\n"));
    }
};

QTEST_GUILESS_MAIN(TestSendRequestParser)
#include "tst_sendrequestparser.moc"
