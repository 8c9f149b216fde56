// The send listener's request rules that its socket test does not reach:
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
