// Keyword rules applied to received messages: replies, group membership, pushes.
#include "AutoReply.h"
#include "SharedStore.h"
#include "DebugLog.h"
#include "Wait.h"
#include "HttpClient.h"
#include "HttpPushClient.h"
#include "LoopbackHttpServer.h"
#include "QueueLog.h"
#include "Store.h"

#include <QFile>
#include <QTemporaryDir>

using namespace tavsms;
using namespace std::chrono_literals;

class TestAutoReply : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    DebugLog m_log;
    std::unique_ptr<HttpClient> m_http;
    std::unique_ptr<HttpPushClient> m_push;
    std::unique_ptr<AutoReply> m_rules;

    Store *m_store = nullptr;
    Store &store() { return *m_store; }
    Database &db() { return store().db(); }

    qint64 addGroup(const QString &name)
    {
        db().exec(QStringLiteral("INSERT INTO groups (dated, group_name) VALUES ('2026-01-01 00:00:00', ?)"), {name});
        return db().lastInsertId();
    }
    void addRule(const QString &port, const QString &keyword, const QString &reply, const QString &option,
                 const QString &group = QStringLiteral("TAVNA"), const QString &url = QString())
    {
        const bool push = option == QLatin1String("push");
        db().exec(QStringLiteral("INSERT INTO auto_reply (dated, auto_reply_keyword, com_port, auto_reply_response, "
                                 "group_add, group_delete, group_name, auto_reply_action, auto_reply_push_url) "
                                 "VALUES ('2026-01-01 00:00:00', ?, ?, ?, ?, ?, ?, ?, ?)"),
                  {keyword, port, reply, option == QLatin1String("add") || option == QLatin1String("both"),
                   option == QLatin1String("delete") || option == QLatin1String("both"), group,
                   push ? QStringLiteral("PUSH") : QStringLiteral("NOPUSH"), url});
    }
    void receive(const QString &port, const QString &sender, const QString &text)
    {
        auto task = m_rules->apply(port, sender, text);
        QVERIFY(test::waitFor([&] { return task.isReady(); }));
    }
    // Queued replies as "number|port|text".
    QStringList replies()
    {
        return test::QueueLog(db()).rows(QStringLiteral("outgoing_mobileNo, com_port, outgoing_message"));
    }
    QStringList members(const QString &group)
    {
        QStringList out;
        Statement st = db().prepare(QStringLiteral("SELECT group_mem_mobile FROM groups_mem INNER JOIN groups ON "
                                                   "groups.id = groups_mem.group_name WHERE groups.group_name = ? "
                                                   "ORDER BY groups_mem.id"));
        st.bind(1, group);
        while (st.next())
            out << st.text(QStringLiteral("group_mem_mobile"));
        return out;
    }
    QStringList logLines()
    {
        QFile f(m_log.path());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

private Q_SLOTS:
    void init() { build(2s); }
    // Every test starts on the database as made, with a log of its own.
    void build(std::chrono::milliseconds requestTimeout)
    {
        cleanup();
        m_store = &test::freshStore();
        QFile::remove(m_dir.filePath(QStringLiteral("debug.txt")));
        QCOMPARE(m_log.open(m_dir.filePath(QStringLiteral("debug.txt"))), QString());
        InternetTimeouts timeouts;
        timeouts.request = requestTimeout;
        m_http = std::make_unique<HttpClient>(timeouts);
        m_push = std::make_unique<HttpPushClient>(*m_http);
        m_rules = std::make_unique<AutoReply>(db(), store().queue(), m_log, *m_push);
    }
    void cleanup()
    {
        m_rules.reset();
        m_push.reset();
        m_http.reset();
        m_log.close();
    }

    void onlyTheFirstWordMatchesWithoutRegardToCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reply");
        QTest::newRow("upper") << "STOP" << "Bye";
        QTest::newRow("first of two") << "Stop now" << "Bye";
        QTest::newRow("second word") << "please stop" << "Other";
        QTest::newRow("empty text") << "" << "Other";
        QTest::newRow("leading blank") << " stop" << "Other";
        QTest::newRow("star as a word") << "* me" << "Other";
        QTest::newRow("line break is not a blank") << "stop\r\nnow" << "Other";
    }
    void onlyTheFirstWordMatchesWithoutRegardToCase()
    {
        QFETCH(QString, text);
        QFETCH(QString, reply);
        addRule(QStringLiteral("COM3"), QStringLiteral(" Stop "), QStringLiteral("Bye"), QStringLiteral("none"));
        addRule(QStringLiteral("COM3"), QStringLiteral("*"), QStringLiteral("Other"), QStringLiteral("none"));
        receive(QStringLiteral("COM3"), QStringLiteral("9876543210"), text);
        QCOMPARE(replies(), (QStringList{QStringLiteral("9876543210|COM3|") + reply}));
    }

    void replyTextLosesLineBreaksAndBlanks()
    {
        addRule(QStringLiteral("COM1"), QStringLiteral("info"), QStringLiteral("  Open 9-5\r\nMon-Fri  "),
                QStringLiteral("none"));
        receive(QStringLiteral("COM1"), QStringLiteral(" 09876543210 "), QStringLiteral("info"));
        QCOMPARE(replies(), (QStringList{"9876543210|COM1|Open 9-5 Mon-Fri"}));
    }

    // Members are known by their last ten digits, however stored (an
    // import may keep a prefix); a rule saved with both group flags removes
    // and never adds; apostrophes go through keyword, reply and group alike.
    void groupActionsTakeMembersByTheirNumber_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("senders");
        QTest::addColumn<QStringList>("after");
        const QStringList kept{"+919000000001", "09000000002"};
        QTest::newRow("join, stored with a prefix") << "add" << kept << QStringList{"+919000000001", "9000000002"} << kept;
        QTest::newRow("join, new") << "add" << QStringList() << QStringList{"9000000002"} << QStringList{"9000000002"};
        QTest::newRow("both flags remove") << "both" << QStringList{"9000000001"}
                                           << QStringList{"+919000000001", "+919000000001"} << QStringList();
        QTest::newRow("remove a member only") << "delete" << QStringList{"9111111111", "919000000001"}
                                              << QStringList{"+918888888888", "+919000000001"} << QStringList{"9111111111"};
    }
    void groupActionsTakeMembersByTheirNumber()
    {
        QFETCH(QString, option);
        QFETCH(QStringList, before);
        QFETCH(QStringList, senders);
        const QString group = QStringLiteral("O'Brien's");
        const qint64 id = addGroup(group);
        for (const QString &member : before)
            db().exec(QStringLiteral("INSERT INTO groups_mem (group_name, group_mem_mobile) VALUES (?, ?)"), {id, member});
        addRule(QStringLiteral("COM1"), QStringLiteral("don't"), QStringLiteral("We won't"), option, group);
        for (const QString &sender : senders)
            receive(QStringLiteral("COM1"), sender, QStringLiteral("Don't call"));
        QTEST(members(group), "after");
        QCOMPARE(replies().size(), senders.size());
        QCOMPARE(replies().filter(QStringLiteral("|COM1|We won't")).size(), senders.size());
    }

    void ruleWhoseGroupIsGoneStillReplies()
    {
        addRule(QStringLiteral("COM1"), QStringLiteral("join"), QStringLiteral("Welcome"), QStringLiteral("add"),
                QStringLiteral("Deleted Group"));
        receive(QStringLiteral("COM1"), QStringLiteral("9000000003"), QStringLiteral("join"));
        QCOMPARE(replies(), (QStringList{"9000000003|COM1|Welcome"}));
        QVERIFY2(logLines().join(QLatin1Char('\n')).contains(QStringLiteral("Deleted Group")),
                 qPrintable(logLines().join(QLatin1Char('\n'))));
    }

    void freshKeywordAnswersNothingAndBlocksTheWildCard()
    {
        db().exec(QStringLiteral("INSERT INTO auto_reply (dated, auto_reply_keyword, com_port) "
                                 "VALUES ('2026-01-01 00:00:00', 'new', 'COM1')"));
        addRule(QStringLiteral("COM1"), QStringLiteral("*"), QStringLiteral("Thanks"), QStringLiteral("none"));
        receive(QStringLiteral("COM1"), QStringLiteral("9000000004"), QStringLiteral("new one"));
        QCOMPARE(replies(), QStringList());
    }

    void keywordPushForwardsEncodedAndQueuesNoReply()
    {
        test::LoopbackHttpServer server;
        server.setReply("received 'it'");
        addRule(QStringLiteral("COM1"), QStringLiteral("a"), QStringLiteral("unused"), QStringLiteral("push"),
                QStringLiteral("TAVNA"), server.baseUrl() + QStringLiteral("/in?from=@@sender@@&msg=@@message@@"));
        receive(QStringLiteral("COM1"), QStringLiteral("+919000000001"), QStringLiteral("a b&c"));
        QCOMPARE(server.targets(), (QList<QByteArray>{"/in?from=+919000000001&msg=a%20b%26c"}));
        QCOMPARE(replies(), QStringList());
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 2);
        // The query (the sender's number and the text) stays out of the log.
        QVERIFY2(lines.at(0).endsWith(QStringLiteral(" Push MSG to URL - ") + server.baseUrl() + QStringLiteral("/in")),
                 qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).endsWith(QStringLiteral(" Push URL Response - received 'it'")), qPrintable(lines.at(1)));
    }

    void wildCardPushesOrRepliesWhenItHasNoUrl()
    {
        test::LoopbackHttpServer server;
        addRule(QStringLiteral("COM1"), QStringLiteral("*"), QStringLiteral("r"), QStringLiteral("push"),
                QStringLiteral("TAVNA"), server.baseUrl() + QStringLiteral("/w?s=@@sender@@&m=@@message@@"));
        addRule(QStringLiteral("COM2"), QStringLiteral("*"), QStringLiteral("Replied"), QStringLiteral("push"));
        receive(QStringLiteral("COM1"), QStringLiteral("9000000005"), QStringLiteral("anything"));
        QCOMPARE(server.targets(), (QList<QByteArray>{"/w?s=9000000005&m=anything"}));
        receive(QStringLiteral("COM2"), QStringLiteral("9000000005"), QStringLiteral("anything"));
        QCOMPARE(replies(), (QStringList{"9000000005|COM2|Replied"}));
    }

    void unansweredPushIsLoggedAndTheRestGoesOn_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("nobody listening") << false;
        QTest::newRow("never answers") << true;
    }
    void unansweredPushIsLoggedAndTheRestGoesOn()
    {
        QFETCH(bool, silent);
        if (silent)
            build(100ms); // the only wait that must run out
        std::unique_ptr<test::LoopbackHttpServer> server(new test::LoopbackHttpServer);
        QString url = server->baseUrl() + QStringLiteral("/x?s=@@sender@@&m=@@message@@");
        if (silent)
            server->setSilent(true);
        else
            server.reset(); // the port is closed again
        addRule(QStringLiteral("COM1"), QStringLiteral("*"), QStringLiteral("r"), QStringLiteral("push"),
                QStringLiteral("TAVNA"), url);
        receive(QStringLiteral("COM1"), QStringLiteral("9000000006"), QStringLiteral("hi"));
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).contains(QStringLiteral(" Push MSG to URL - ")));
        QVERIFY2(lines.at(1).contains(QStringLiteral(" Push URL Response - Error: ")), qPrintable(lines.at(1)));
        // The next message is evaluated as usual.
        addRule(QStringLiteral("COM1"), QStringLiteral("ping"), QStringLiteral("pong"), QStringLiteral("none"));
        receive(QStringLiteral("COM1"), QStringLiteral("9000000006"), QStringLiteral("ping"));
        QCOMPARE(replies(), (QStringList{"9000000006|COM1|pong"}));
    }

    void pushAddressInTheLogKeepsNoSecrets_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("logged");
        QTest::newRow("query and fragment") << "http://host:81/p/q?to=9000000001&m=hi#top" << "http://host:81/p/q";
        QTest::newRow("user and password") << "https://me:pw@host/p?key=k" << "https://host/p";
        QTest::newRow("not a URL Qt reads") << "http://bad host/p?pwd=1" << "http://bad host/p";
        QTest::newRow("not a URL, with a password") << "http://me:pw@bad host/a@b?pwd=1" << "http://bad host/a@b";
    }
    void pushAddressInTheLogKeepsNoSecrets()
    {
        QFETCH(QString, url);
        QFETCH(QString, logged);
        QCOMPARE(PushClient::addressForLog(url), logged);
    }

    void urlEncodeEncodesEachCharacterOnce_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("blank and ampersand") << "a b&c" << "a%20b%26c";
        QTest::newRow("percent not encoded twice") << "50%" << "50%25";
        QTest::newRow("CR LF pair") << "a\r\nb" << "a%0D%0Ab";
        QTest::newRow("lone CR and LF pass") << "a\rb\nc" << "a\rb\nc";
        QTest::newRow("table") << "!\"#$'()*+,-./:;<=>?@[\\]^_`{|}~"
                               << "%21%22%23%24%27%28%29%2A%2B%2C%2D%2E%2F%3A%3B%3C%3D%3E%3F%40%5B%5C%5D%5E%5F%60"
                                  "%7B%7C%7D%7E";
        QTest::newRow("letters digits and others pass") << QStringLiteral("Abc 9 \u00e9") << QStringLiteral("Abc%209%20\u00e9");
    }
    void urlEncodeEncodesEachCharacterOnce()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoded);
        QCOMPARE(AutoReply::urlEncode(text), encoded);
    }
};

QTEST_GUILESS_MAIN(TestAutoReply)
#include "tst_autoreply.moc"
