// Keyword rules applied to received messages (replies, group membership,
// pushes), and the rule screen's logic: creating, loading, saving and
// deleting keywords, and the option rules.
#include "AutoReply.h"
#include "AutoReplySettings.h"
#include "RecordingPrompter.h"
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
using Option = AutoReplyForm::Option;
using Field = AutoReplySettings::Field;

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
        return db().scalar(QStringLiteral("SELECT group_concat(group_mem_mobile, '|') FROM (SELECT group_mem_mobile "
                                          "FROM groups_mem m JOIN groups g ON g.id = m.group_name "
                                          "WHERE g.group_name = ? ORDER BY m.id)"),
                           {group})
            .toString()
            .split(QLatin1Char('|'), Qt::SkipEmptyParts);
    }
    QStringList logLines()
    {
        QFile f(m_log.path());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    std::unique_ptr<test::RecordingPrompter> m_prompter;
    std::unique_ptr<AutoReplySettings> m_screen;
    // The form as the screen would show it after each action.
    AutoReplyForm m_form;
    Field m_focus = Field::None;

    AutoReplySettings &screen() { return *m_screen; }
    QString lastText() const { return m_prompter->entries().isEmpty() ? QString() : m_prompter->entries().last().text; }
    QString lastTitle() const { return m_prompter->entries().isEmpty() ? QString() : m_prompter->entries().last().title; }

    void take(const AutoReplySettings::Outcome &outcome)
    {
        m_form = outcome.form;
        m_focus = outcome.focus;
    }
    void activate(const QString &port, const QString &name)
    {
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, mobileOperator = ? WHERE softwarePortNo = ?"),
                  {name, port});
    }
    // Every stored rule as "port|keyword|reply|add|delete|group|action|url", oldest first.
    QStringList rules()
    {
        Statement st = db().prepare(QStringLiteral(
            "SELECT com_port, auto_reply_keyword, auto_reply_response, group_add, group_delete, group_name, "
            "auto_reply_action, auto_reply_push_url FROM auto_reply ORDER BY id"));
        return test::rowLines(st);
    }
    void createKeyword(const QString &connection, const QString &keyword)
    {
        m_form.createConnection = connection;
        m_form.keywordBox = keyword;
        take(screen().createKey(m_form));
    }
    void showConnection(const QString &connection)
    {
        m_form.actionConnection = connection;
        take(screen().chooseActionConnection(m_form));
    }
    void showKeyword(const QString &keyword)
    {
        m_form.keyword = keyword;
        take(screen().chooseKeyword(m_form));
    }
    // A new keyword on the connection, shown in the action table.
    void showNewKeyword(const QString &connection, const QString &keyword)
    {
        createKeyword(connection, keyword);
        showConnection(connection);
        showKeyword(keyword);
    }
    void saveRule(const QString &keyword, const QString &reply)
    {
        showKeyword(keyword);
        m_form.reply = reply;
        take(screen().chooseOption(m_form, Option::NoGroupAction));
        take(screen().saveKeyAction(m_form));
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
        m_prompter = std::make_unique<test::RecordingPrompter>();
        m_screen = std::make_unique<AutoReplySettings>(db(), *m_prompter);
        m_form = {};
        m_focus = Field::None;
    }
    void cleanup()
    {
        m_screen.reset();
        m_rules.reset();
        m_push.reset();
        m_http.reset();
        m_log.close();
    }

    void onlyTheFirstWordMatchesWithoutRegardToCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reply");
        QTest::newRow("upper") << "STOP" << "Bye now";
        QTest::newRow("first of two") << "Stop now" << "Bye now";
        QTest::newRow("second word") << "please stop" << "Other";
        QTest::newRow("empty text") << "" << "Other";
        QTest::newRow("leading blank") << " stop" << "Other";
        QTest::newRow("star as a word") << "* me" << "Other";
        QTest::newRow("line break is not a blank") << "stop\r\nnow" << "Other";
    }
    // The reply goes to the sender's last ten digits, its line breaks and
    // outer blanks gone.
    void onlyTheFirstWordMatchesWithoutRegardToCase()
    {
        QFETCH(QString, text);
        QFETCH(QString, reply);
        addRule(QStringLiteral("COM3"), QStringLiteral(" Stop "), QStringLiteral("  Bye\r\nnow  "), QStringLiteral("none"));
        addRule(QStringLiteral("COM3"), QStringLiteral("*"), QStringLiteral("Other"), QStringLiteral("none"));
        receive(QStringLiteral("COM3"), QStringLiteral(" 09876543210 "), text);
        QCOMPARE(replies(), (QStringList{QStringLiteral("9876543210|COM3|") + reply}));
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
        QVERIFY2(logLines().join(' ').contains(QStringLiteral("Deleted Group")), qPrintable(logLines().join(' ')));
    }

    void freshKeywordAnswersNothingAndBlocksTheWildCard()
    {
        db().exec(QStringLiteral("INSERT INTO auto_reply (dated, auto_reply_keyword, com_port) "
                                 "VALUES ('2026-01-01 00:00:00', 'new', 'COM1')"));
        addRule(QStringLiteral("COM1"), QStringLiteral("*"), QStringLiteral("Thanks"), QStringLiteral("none"));
        receive(QStringLiteral("COM1"), QStringLiteral("9000000004"), QStringLiteral("new one"));
        QCOMPARE(replies(), QStringList());
    }

    // A push rule, keyword or wild card, forwards the message encoded and
    // queues no reply; a wild card to push without an address replies.
    void pushForwardsEncodedAndQueuesNoReply()
    {
        test::LoopbackHttpServer server;
        server.setReply("received 'it'");
        addRule(QStringLiteral("COM1"), QStringLiteral("a"), QStringLiteral("unused"), QStringLiteral("push"),
                QStringLiteral("TAVNA"), server.baseUrl() + QStringLiteral("/in?from=@@sender@@&msg=@@message@@"));
        addRule(QStringLiteral("COM1"), QStringLiteral("*"), QStringLiteral("r"), QStringLiteral("push"),
                QStringLiteral("TAVNA"), server.baseUrl() + QStringLiteral("/w?s=@@sender@@&m=@@message@@"));
        addRule(QStringLiteral("COM2"), QStringLiteral("*"), QStringLiteral("Replied"), QStringLiteral("push"));
        receive(QStringLiteral("COM1"), QStringLiteral("+919000000001"), QStringLiteral("a b&c"));
        receive(QStringLiteral("COM1"), QStringLiteral("9000000005"), QStringLiteral("anything"));
        receive(QStringLiteral("COM2"), QStringLiteral("9000000005"), QStringLiteral("anything"));
        QCOMPARE(server.targets(), (QList<QByteArray>{"/in?from=+919000000001&msg=a%20b%26c", "/w?s=9000000005&m=anything"}));
        QCOMPARE(replies(), (QStringList{"9000000005|COM2|Replied"}));
        // The query (the sender's number and the text) stays out of the log.
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines.at(0).endsWith(QStringLiteral(" Push MSG to URL - ") + server.baseUrl() + QStringLiteral("/in")),
                 qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).endsWith(QStringLiteral(" Push URL Response - received 'it'")), qPrintable(lines.at(1)));
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

    void emptyStoreShowsPlaceholdersAndRefusesWork()
    {
        m_form = screen().load();
        QCOMPARE(m_form.createConnections, QStringList{AutoReplySettings::kNoConnection});
        QCOMPARE(m_form.actionConnections, QStringList{AutoReplySettings::kNoConnection});
        QCOMPARE(m_form.groups, QStringList{AutoReplySettings::kNoGroups});
        QCOMPARE(m_form.keywords, QStringList{AutoReplySettings::kSelectKeyword});

        createKeyword(AutoReplySettings::kNoConnection, QStringLiteral("join"));
        QCOMPARE(lastTitle(), QStringLiteral("You forget some thing"));
        QCOMPARE(m_focus, Field::KeywordBox);
        QCOMPARE(rules(), QStringList());

        m_form.reply = QStringLiteral("x");
        take(screen().saveKeyAction(m_form));
        QCOMPARE(lastText(), QStringLiteral("No active connection is available. Please connect atleast a single mobile."));

        take(screen().chooseOption(m_form, Option::AddToGroup));
        QCOMPARE(lastText(), QStringLiteral("Please select a group from the list and then try again."));
        QCOMPARE(m_form.option, Option::NoGroupAction);
        QCOMPARE(m_focus, Field::GroupList);
    }

    void createRefusesADuplicateOnItsPortOnly()
    {
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        activate(QStringLiteral("COM3"), QStringLiteral("Vodafone"));
        m_form = screen().load();
        QCOMPARE(m_form.actionConnections, (QStringList{"Airtel", "Vodafone"}));

        createKeyword(QStringLiteral("Airtel"), QStringLiteral("  join  "));
        QVERIFY(m_prompter->contains(QStringLiteral("Added"), QStringLiteral("Keyword has been created.")));
        QCOMPARE(m_form.keywordBox, QString());
        createKeyword(QStringLiteral("Airtel"), QStringLiteral("Join"));
        QVERIFY(m_prompter->contains(QStringLiteral("OOps..."),
                                     QStringLiteral("This keyword is already in use! Please choose other keyword")));
        createKeyword(QStringLiteral("Vodafone"), QStringLiteral("Join"));
        QCOMPARE(m_form.createConnection, QStringLiteral("Airtel")); // back to the first
        QCOMPARE(rules(), (QStringList{"COM1|join||0|0|||", "COM3|Join||0|0|||"})); // the case typed kept

        showConnection(QStringLiteral("Vodafone"));
        QCOMPARE(m_form.keywords, QStringList{"Join"});
    }

    void aNewKeywordAppearsInTheActionTableAtOnce()
    {
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        activate(QStringLiteral("COM2"), QStringLiteral("Jio"));
        m_form = screen().load();
        QCOMPARE(m_form.actionConnection, QStringLiteral("Airtel"));

        // Shown on the action table's connection: listed and chosen, ready for its action.
        createKeyword(QStringLiteral("Airtel"), QStringLiteral("join"));
        QCOMPARE(m_form.keywords, QStringList{"join"});
        QCOMPARE(m_form.keyword, QStringLiteral("join"));
        QCOMPARE(m_form.reply, QString());

        // A keyword the operator is working on stays chosen, its unsaved reply kept.
        m_form.reply = QStringLiteral("half typed");
        createKeyword(QStringLiteral("Airtel"), QStringLiteral("stop"));
        QCOMPARE(m_form.keywords, (QStringList{"join", "stop"}));
        QCOMPARE(m_form.keyword, QStringLiteral("join"));
        QCOMPARE(m_form.reply, QStringLiteral("half typed"));

        // Another connection's keyword leaves the table as it is.
        createKeyword(QStringLiteral("Jio"), QStringLiteral("news"));
        QCOMPARE(m_form.keywords, (QStringList{"join", "stop"}));
    }

    void afterSavingTheFormShowsWhatTheChosenKeywordDoes()
    {
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        m_form = screen().load();
        createKeyword(QStringLiteral("Airtel"), QStringLiteral("join"));
        createKeyword(QStringLiteral("Airtel"), QStringLiteral("stop"));
        showConnection(QStringLiteral("Airtel"));

        saveRule(QStringLiteral("join"), QStringLiteral("Welcome"));
        QCOMPARE(lastText(), QStringLiteral("Keyword details has been updated!"));
        // The first keyword is chosen and its saved reply is what the box shows.
        QCOMPARE(m_form.keyword, QStringLiteral("join"));
        QCOMPARE(m_form.reply, QStringLiteral("Welcome"));

        saveRule(QStringLiteral("stop"), QStringLiteral("Bye"));
        QCOMPARE(m_form.keyword, QStringLiteral("join"));
        QCOMPARE(m_form.reply, QStringLiteral("Welcome"));
        showKeyword(QStringLiteral("stop"));
        QCOMPARE(m_form.reply, QStringLiteral("Bye"));
    }

    void savedOptionsMapOntoTheColumns_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("stored"); // add|delete|group|action|url
        QTest::newRow("add") << int(Option::AddToGroup) << "1|0|Friend's|NOPUSH|";
        QTest::newRow("delete") << int(Option::DeleteFromGroup) << "0|1|Friend's|NOPUSH|";
        QTest::newRow("none") << int(Option::NoGroupAction) << "0|0|TAVNA|NOPUSH|";
        QTest::newRow("push") << int(Option::PushSms) << "0|0|TAVNA|PUSH|http://h/x?f=@@sender@@&m=@@message@@";
    }
    void savedOptionsMapOntoTheColumns()
    {
        QFETCH(int, option);
        QFETCH(QString, stored);
        db().exec(QStringLiteral("INSERT INTO groups (group_name) VALUES ('Friend''s'), ('Alpha')"));
        activate(QStringLiteral("COM2"), QStringLiteral("Jio"));
        m_form = screen().load();
        QCOMPARE(m_form.groups, (QStringList{"Alpha", "Friend's"}));
        showNewKeyword(QStringLiteral("Jio"), QStringLiteral("it's"));
        m_form.reply = QStringLiteral("You're in");
        m_form.group = QStringLiteral("Friend's");
        take(screen().chooseOption(m_form, Option(option)));
        m_form.url = QStringLiteral("HTTP://h/x?f=@@sender@@&m=@@message@@");
        take(screen().leaveUrlBox(m_form));
        take(screen().saveKeyAction(m_form));
        QCOMPARE(lastTitle(), QStringLiteral("Success"));
        QCOMPARE(lastText(), QStringLiteral("Keyword details has been updated!"));
        QCOMPARE(rules(), QStringList{"COM2|it's|You're in|" + stored});

        // The only keyword stays chosen and shows what was saved.
        const QString url = stored.section(QLatin1Char('|'), 4);
        QCOMPARE(m_form.keyword, QStringLiteral("it's"));
        QCOMPARE(int(m_form.option), option);
        QCOMPARE(m_form.reply, QStringLiteral("You're in"));
        QCOMPARE(m_form.url, url);
        QCOMPARE(m_form.urlEnabled(), !url.isEmpty());
        QCOMPARE(m_form.group, stored.contains("Friend's") ? QStringLiteral("Friend's") : QStringLiteral("Alpha"));
    }

    void saveValidatesReplyAndUrl()
    {
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        m_form = screen().load();
        showNewKeyword(QStringLiteral("Airtel"), QStringLiteral("news"));
        m_form.reply = QStringLiteral("   ");
        take(screen().saveKeyAction(m_form));
        QCOMPARE(lastText(), QStringLiteral("You should specify some reply message."));
        QCOMPARE(m_focus, Field::ReplyBox);

        m_form.reply = QStringLiteral("ok");
        take(screen().chooseOption(m_form, Option::PushSms));
        for (const QString &bad : {QStringLiteral(""), QStringLiteral("https://h/?a=@@sender@@&b=@@message@@"),
                                   QStringLiteral("http://h/?a=@@sender@@")}) {
            m_form.url = bad;
            take(screen().saveKeyAction(m_form));
            QCOMPARE(lastTitle(), QStringLiteral("Error"));
            QVERIFY(lastText().startsWith(QStringLiteral("Your URL should contain HTTP.")));
            QCOMPARE(m_focus, Field::UrlBox);
        }
        QCOMPARE(rules(), QStringList{"COM1|news||0|0|||"});
    }

    void wildCardTakesNoGroupOptions()
    {
        db().exec(QStringLiteral("INSERT INTO groups (group_name) VALUES ('Friends')"));
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        m_form = screen().load();
        showNewKeyword(QStringLiteral("Airtel"), QStringLiteral("*"));
        take(screen().chooseOption(m_form, Option::DeleteFromGroup));
        QCOMPARE(lastTitle(), QStringLiteral("Group Error"));
        QCOMPARE(lastText(), QStringLiteral("You can not set this option with wild card entry *."));
        QCOMPARE(m_form.option, Option::NoGroupAction);
        QCOMPARE(m_focus, Field::NoGroupOption);
        take(screen().chooseOption(m_form, Option::PushSms));
        QVERIFY(m_form.urlEnabled());
        m_form.url = QStringLiteral("http://x");
        take(screen().chooseOption(m_form, Option::NoGroupAction));
        QVERIFY(!m_form.urlEnabled());
        QCOMPARE(m_form.url, QString());
    }

    void ruleWithAVanishedGroupSaysSo()
    {
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        db().exec(QStringLiteral("INSERT INTO auto_reply (auto_reply_keyword, com_port, auto_reply_response, group_add, "
                                 "group_name, auto_reply_action) VALUES ('join', 'COM1', 'hi', 1, 'Gone', 'NOPUSH')"));
        m_form = screen().load();
        showConnection(QStringLiteral("Airtel"));
        showKeyword(QStringLiteral("join"));
        QCOMPARE(m_prompter->entries().last().icon, Prompter::Icon::None);
        QCOMPARE(lastText(), QStringLiteral("Group applied to this keyword is not available"));
        QCOMPARE(m_form.reply, QStringLiteral("hi"));
    }

    void deleteAsksAndRemovesOnlyThatPortsKeyword()
    {
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        activate(QStringLiteral("COM2"), QStringLiteral("Jio"));
        m_form = screen().load();
        createKeyword(QStringLiteral("Airtel"), QStringLiteral("stop"));
        createKeyword(QStringLiteral("Jio"), QStringLiteral("stop"));
        showConnection(QStringLiteral("Airtel"));
        saveRule(QStringLiteral("stop"), QStringLiteral("Bye"));

        m_prompter->queueAnswer(false);
        auto cancelled = screen().deleteKeyword(m_form);
        QVERIFY(cancelled.isReady());
        const auto &asked = m_prompter->entries().last();
        QVERIFY(asked.question);
        QCOMPARE(asked.text, QStringLiteral("Are you sure to delete keyword stop?"));
        QCOMPARE(asked.preset, Prompter::Default::Cancel); // it destroys something
        QCOMPARE(rules().size(), 2);

        auto confirmed = screen().deleteKeyword(m_form);
        QVERIFY(confirmed.isReady());
        take(QCoro::waitFor(std::move(confirmed)));
        QVERIFY(m_prompter->contains(QStringLiteral("Keyword Deleted"), QStringLiteral("Keyword has been deleted.")));
        QCOMPARE(rules(), QStringList{"COM2|stop||0|0|||"});
        QCOMPARE(m_form.keywords, QStringList{AutoReplySettings::kNoKeywords});
        QCOMPARE(m_form.reply, QString()); // the deleted keyword's reply is not left behind
    }
};

QTEST_GUILESS_MAIN(TestAutoReply)
#include "tst_autoreply.moc"
