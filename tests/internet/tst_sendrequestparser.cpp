// The send listener's request rules: which targets are refused and why,
// the decoding order, how characters are counted, how pieces are read,
// where a request ends and whether its connection stays.
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
};

QTEST_GUILESS_MAIN(TestSendRequestParser)
#include "tst_sendrequestparser.moc"
