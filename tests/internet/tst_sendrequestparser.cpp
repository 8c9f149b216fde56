// The send listener's request rules, without sockets.
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
    void wellFormedRequestIsTakenApart()
    {
        const SendRequest r = get(QStringLiteral("/?com=COM1&mobile=9876543210&message=Hello%20World"));
        QVERIFY2(r.isValid(), qPrintable(r.error));
        QCOMPARE(r.com, QStringLiteral("COM1"));
        QCOMPARE(r.mobile, QStringLiteral("9876543210"));
        QCOMPARE(r.rawMessage, QStringLiteral("Hello%20World"));
        QCOMPARE(r.message, QStringLiteral("Hello World"));
    }

    void parametersAreFoundInAnyOrderAmongTheFirstThree()
    {
        SendRequest r = get(QStringLiteral("/?message=Hi&com=anything&mobile=9876543210"));
        QVERIFY2(r.isValid(), qPrintable(r.error));
        QCOMPARE(r.message, QStringLiteral("Hi"));
        QCOMPARE(r.com, QStringLiteral("anything")); // never validated

        // A fourth piece is ignored, even when it names a parameter again.
        r = get(QStringLiteral("/?mobile=9876543210&message=Hi&com=&mobile=12"));
        QVERIFY2(r.isValid(), qPrintable(r.error));
        QCOMPARE(r.mobile, QStringLiteral("9876543210"));

        // Only the first three are looked at: a message in the fourth is not seen.
        r = get(QStringLiteral("/?com=1&mobile=9876543210&x=1&message=Hi"));
        QCOMPARE(r.error, messageLengthError(0));

        // The first occurrence counts; a value ends at a second "=".
        r = get(QStringLiteral("/?message=a=b&message=zzz&mobile=9876543210"));
        QVERIFY2(r.isValid(), qPrintable(r.error));
        QCOMPARE(r.message, QStringLiteral("a"));
    }

    void messageLengthCountsDecodedCharacters()
    {
        const QString mobile = QStringLiteral("&mobile=9876543210&com=c");
        QVERIFY(get(QStringLiteral("/?message=") + QString(131, QLatin1Char('a')) + mobile).isValid());
        QCOMPARE(get(QStringLiteral("/?message=") + QString(132, QLatin1Char('a')) + mobile).error,
                 messageLengthError(132));
        // 131 characters once "%20" is one character.
        QVERIFY(get(QStringLiteral("/?message=") + QString(129, QLatin1Char('a')) + QStringLiteral("%20b") + mobile)
                    .isValid());
        // Characters, not UTF-16 units or bytes.
        const QString emoji = QString::fromUcs4(U"\U0001F600");
        QVERIFY(get(QStringLiteral("/?message=") + emoji.repeated(131) + mobile).isValid());
        QCOMPARE(get(QStringLiteral("/?message=") + emoji.repeated(132) + mobile).error, messageLengthError(132));
    }

    void checksComeInTheirOrderOfPrecedence()
    {
        // Empty message first of all.
        QCOMPARE(get(QStringLiteral("/?com=COM1&mobile=9876543210&message=")).error, messageLengthError(0));
        QCOMPARE(messageLengthError(0),
                 QStringLiteral("Wrong number of arguments passed. Message length exceeds 131 characters. "
                                "Your message length is = 0"));
        // Too long beats a wrong number.
        QCOMPARE(get(QStringLiteral("/?com=COM1&mobile=98765&message=") + QString(140, QLatin1Char('x'))).error,
                 messageLengthError(140));
        // A wrong number beats a missing parameter.
        QCOMPARE(get(QStringLiteral("/?mobile=98765&message=Hi")).error, mobileLengthError());
        QCOMPARE(get(QStringLiteral("/?com=COM1&mobile=98765&message=Hi")).error,
                 QStringLiteral("Wrong number of arguments passed. Mobile number should be 10 digit long only."));
        QCOMPARE(get(QStringLiteral("/?com=COM1&mobile=98765432101&message=Hi")).error, mobileLengthError());
        // Two parameters are not enough; any third piece with "=" is.
        QCOMPARE(get(QStringLiteral("/?mobile=9876543210&message=Hi")).error,
                 QStringLiteral("Wrong number of arguments passed. Please include all the parameters i.e. "
                                "com,mobile and message."));
        QVERIFY(get(QStringLiteral("/?mobile=9876543210&message=Hi&x=1")).isValid());
        QCOMPARE(get(QStringLiteral("/?mobile=9876543210&message=Hi&x")).error, parameterCountError());
    }

    void decodingFollowsItsTableInOrder()
    {
        QCOMPARE(decodeMessage(QStringLiteral("a+b%2bc%2Bd")), QStringLiteral("a+b%2bc+d"));
        QCOMPARE(decodeMessage(QStringLiteral("Line1%0D%0ALine2")), QStringLiteral("Line1\r\nLine2"));
        QCOMPARE(decodeMessage(QStringLiteral("raw\r\nbreak")), QStringLiteral("raw break"));
        // "%25" is decoded early: a later code behind it is decoded again, an earlier one is not.
        QCOMPARE(decodeMessage(QStringLiteral("%252A")), QStringLiteral("*"));
        QCOMPARE(decodeMessage(QStringLiteral("%2520")), QStringLiteral("%20"));
        QCOMPARE(decodeMessage(QStringLiteral("%21%22%23%24%26%27%28%29%2A%2C%2D%2E%2F%3A%3B%3C%3D%3E%3F%40")),
                 QStringLiteral("!\"#$&'()*,-./:;<=>?@"));
        QCOMPARE(decodeMessage(QStringLiteral("%5B%5C%5D%5E%5F%60%7B%7C%7D%7E")), QStringLiteral("[\\]^_`{|}~"));
        // Codes not in the table, lower-case digits and a lone "%" stay as they are.
        QCOMPARE(decodeMessage(QStringLiteral("%C3%A9 %7e 100%")), QStringLiteral("%C3%A9 %7e 100%"));
    }

    void malformedTargetsAreRefusedNotMisread()
    {
        // A longer path loses only two characters: "nd?com" is no parameter name.
        const SendRequest r = get(QStringLiteral("/send?com=COM1&mobile=9876543210&message=Hi"));
        QVERIFY(r.com.isEmpty());
        QVERIFY2(r.isValid(), qPrintable(r.error)); // mobile and message still found; com is never checked
        QCOMPARE(get(QStringLiteral("/send?message=Hi&com=COM1&mobile=9876543210")).error, messageLengthError(0));

        QCOMPARE(parse(QStringLiteral("GET")).error, messageLengthError(0));
        QCOMPARE(parse(QString()).error, messageLengthError(0));
        QCOMPARE(parse(QStringLiteral("\x01\x02 garbage \xff")).error, messageLengthError(0));
        // A quoted number is twelve characters long.
        QCOMPARE(get(QStringLiteral("/?com=1&mobile=\"9876543210\"&message=Hi")).error, mobileLengthError());
        QCOMPARE(get(QStringLiteral("/?com=1&mobile=%229876543210%22&message=Hi")).error, mobileLengthError());
    }

    void messageOfOnlySpacesIsRefusedLikeAnEmptyOne()
    {
        QCOMPARE(get(QStringLiteral("/?com=1&mobile=9876543210&message=%20%20")).error, messageLengthError(2));
        QCOMPARE(trimSpaces(QStringLiteral("  a\tb \r\n ")), QStringLiteral("a\tb \r\n"));
    }
};

QTEST_GUILESS_MAIN(TestSendRequestParser)
#include "tst_sendrequestparser.moc"
