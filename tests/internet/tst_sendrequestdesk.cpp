// The send listener's desk without sockets: what each request of a batch
// is answered, what is queued and what the debug log says.
#include "DebugLog.h"
#include "QueueLog.h"
#include "SendRequestDesk.h"
#include "SendRequestParser.h"
#include "SharedStore.h"
#include "Store.h"
#include "Wait.h"
#include "TestDataDirectory.h"

#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

using namespace tavsms;

namespace {

QByteArray get(const QByteArray &query)
{
    return "GET /?com=c&" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

QByteArray reply(const QByteArray &body, bool keepAlive = true)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: "
        + (keepAlive ? "keep-alive" : "close") + "\r\n\r\n" + body;
}

const QByteArray kWrongMobile = "<b>Error Occured:</b> " + SendRequestParser::mobileLengthError().toUtf8();

} // namespace

class TestSendRequestDesk : public QObject
{
    Q_OBJECT

    test::TestDataDirectory m_dir;
    Store *m_store = nullptr;
    DebugLog m_log;
    std::unique_ptr<SendRequestDesk> m_desk;
    int m_logs = 0;

    QByteArrayList serve(const QByteArrayList &heads, bool keepAlive = true)
    {
        std::vector<SendRequestDesk::Request> batch;
        for (const QByteArray &head : heads)
            batch.push_back({head, keepAlive});
        const std::vector<QByteArray> replies = m_desk->serve(batch);
        return {replies.begin(), replies.end()};
    }
    // The debug log's lines, without the time each was written.
    QStringList logLines()
    {
        QFile f(m_log.path());
        static const QRegularExpression time(QStringLiteral(R"(- \d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d\d:\d\d [AP]M )"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).replace(time, QStringLiteral("- ")).split("\r\n")
                                           : QStringList();
    }

private Q_SLOTS:
    void init()
    {
        m_store = &test::freshStore();
        QVERIFY(m_log.open(m_dir.root() + QStringLiteral("/debug%1.txt").arg(++m_logs)).isEmpty());
        m_desk = std::make_unique<SendRequestDesk>(m_log);
        m_desk->setStore(m_store);
    }

    // Quotes, a trailing percent sign, a line break and outer spaces: the row
    // has the message decoded and trimmed, the log line as decoded, on one line.
    void requestIsAnsweredQueuedAndLogged_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<bool>("keepAlive");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("rows"); // mobile|message|route|status
        QTest::addColumn<QString>("logged");
        QTest::newRow("sent") << get("mobile=9876543210&message=Hello%20World") << true
                              << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 40\r\nConnection: keep-alive\r\n\r\n"
                                            "Status:OK <br>Message Sent to 9876543210")
                              << QStringList{"9876543210|Hello World|Auto|Pending"}
                              << "HTTP MSG Sent - Mobile= 9876543210 Message= Hello World";
        QTest::newRow("decoded") << get("mobile=9876543210&message=%20don%27t%20say%20%22no%22%0D%0A50%%20") << false
                                 << reply("Status:OK <br>Message Sent to 9876543210", false)
                                 << QStringList{"9876543210|don't say \"no\"\r\n50%|Auto|Pending"}
                                 << "HTTP MSG Sent - Mobile= 9876543210 Message=  don't say \"no\"\\r\\n50% ";
        QTest::newRow("refused") << get("mobile=98765&message=Hello%20World") << false << reply(kWrongMobile, false)
                                 << QStringList() << "HTTP MSG Failed - Mobile= 98765 Message= Hello World Error= "
                + SendRequestParser::mobileLengthError();
    }
    void requestIsAnsweredQueuedAndLogged()
    {
        QFETCH(QByteArray, head);
        QFETCH(bool, keepAlive);
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, rows);
        QFETCH(QString, logged);
        QCOMPARE(serve({head}, keepAlive), QByteArrayList{reply});
        QCOMPARE(test::QueueLog(m_store->db()).rows(QStringLiteral("outgoing_mobileNo, outgoing_message, com_port, status")),
                 rows);
        QCOMPARE(logLines(), (QStringList{logged, QString()}));
    }

    // A batch is queued in one transaction. When its commit fails, none is
    // answered as queued before each has been queued alone: only the one
    // that fails itself is refused, and the replies keep the batch's order.
    void batchIsAnsweredOnlyAsCommitted()
    {
        // A row for 9000000000 breaks a deferred rule: its insert passes
        // inside a transaction and the commit fails.
        m_store->db().execScript(QStringLiteral(
            "PRAGMA foreign_keys = ON;"
            "CREATE TABLE known (id INTEGER PRIMARY KEY);"
            "CREATE TABLE checked (ref INTEGER REFERENCES known (id) DEFERRABLE INITIALLY DEFERRED);"
            "CREATE TRIGGER refused AFTER INSERT ON q_logs WHEN NEW.outgoing_mobileNo = '9000000000' "
            "BEGIN INSERT INTO checked VALUES (1); END;"));
        const auto undo = qScopeGuard([this] {
            m_store->db().execScript(QStringLiteral("DROP TRIGGER refused; DROP TABLE checked; DROP TABLE known;"));
        });
        const QByteArrayList replies = serve({get("mobile=9876543210&message=m0"), get("mobile=98765&message=m1"),
                                              get("mobile=9000000000&message=m2"), get("mobile=9876543213&message=m3")});
        QCOMPARE(replies.size(), 4);
        QCOMPARE(replies[0], reply("Status:OK <br>Message Sent to 9876543210"));
        QCOMPARE(replies[1], reply(kWrongMobile));
        QVERIFY2(replies[2].contains("<b>Error Occured:</b> The message to 9000000000 could not be queued: "),
                 replies[2].constData());
        QCOMPARE(replies[3], reply("Status:OK <br>Message Sent to 9876543213"));
        QCOMPARE(test::QueueLog(m_store->db()).rows(QStringLiteral("outgoing_message")), (QStringList{"m0", "m3"}));
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 5);
        for (int i = 0; i < 4; ++i)
            QVERIFY2(lines[i].startsWith(i % 3 == 0 ? "HTTP MSG Sent - " : "HTTP MSG Failed - ")
                         && lines[i].contains(QStringLiteral("Message= m%1").arg(i)),
                     qPrintable(lines[i]));
    }

    void withoutAStoreNothingIsQueued()
    {
        m_desk->setStore(nullptr);
        QCOMPARE(serve({get("mobile=9876543210&message=hi"), get("mobile=98765&message=hi")}),
                 (QByteArrayList{reply("<b>Error Occured:</b> The message store is not open."), reply(kWrongMobile)}));
        QCOMPARE(test::QueueLog(m_store->db()).count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSendRequestDesk)
#include "tst_sendrequestdesk.moc"
