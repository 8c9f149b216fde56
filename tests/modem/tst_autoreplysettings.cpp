// The rule screen's logic: creating, loading, saving and deleting keywords, and the option rules.
#include "AutoReplySettings.h"
#include "RecordingPrompter.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QTest>

using namespace tavsms;
using Option = AutoReplySettings::Option;

class TestAutoReplySettings : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestDataDirectory> m_dir;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<test::RecordingPrompter> m_prompter;
    std::unique_ptr<AutoReplySettings> m_screen;

    Database &db() { return m_store->db(); }
    AutoReplySettings &screen() { return *m_screen; }
    QString lastText() const { return m_prompter->entries().isEmpty() ? QString() : m_prompter->entries().last().text; }
    QString lastTitle() const { return m_prompter->entries().isEmpty() ? QString() : m_prompter->entries().last().title; }

    void activate(const QString &port, const QString &name)
    {
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, mobileOperator = ? WHERE softwarePortNo = ?"),
                  {name, port});
    }
    QVariantMap rule(const QString &port, const QString &keyword)
    {
        Statement st = db().prepare(QStringLiteral("SELECT * FROM auto_reply WHERE com_port = ? AND auto_reply_keyword = ?"));
        st.bind(1, port).bind(2, keyword);
        QVariantMap out;
        if (st.next())
            for (int i = 0; i < st.columnCount(); ++i)
                out.insert(st.columnName(i), st.value(i));
        return out;
    }
    void createKeyword(const QString &connection, const QString &keyword)
    {
        screen().createConnection = connection;
        screen().keywordBox = keyword;
        screen().createKey();
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        m_store = std::make_unique<Store>(m_dir->root() + QStringLiteral("/rules.mdb"));
        m_prompter = std::make_unique<test::RecordingPrompter>();
        m_screen = std::make_unique<AutoReplySettings>(db(), *m_prompter);
    }
    void cleanup()
    {
        m_screen.reset();
        m_prompter.reset();
        m_store.reset();
        m_dir.reset();
    }

    void emptyStoreShowsPlaceholdersAndRefusesWork()
    {
        screen().open();
        QCOMPARE(screen().createConnections, QStringList{AutoReplySettings::kNoConnection});
        QCOMPARE(screen().actionConnections, QStringList{AutoReplySettings::kNoConnection});
        QCOMPARE(screen().groups, QStringList{AutoReplySettings::kNoGroups});
        QCOMPARE(screen().keywords, QStringList{AutoReplySettings::kSelectKeyword});
        QCOMPARE(screen().option, Option::NoGroupAction);
        QVERIFY(!screen().urlEnabled());

        createKeyword(AutoReplySettings::kNoConnection, QStringLiteral("join"));
        QCOMPARE(lastTitle(), QStringLiteral("You forget some thing"));
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM auto_reply")).toInt(), 0);

        screen().replyBox = QStringLiteral("x");
        screen().saveKeyAction();
        QCOMPARE(lastText(), QStringLiteral("No active connection is available. Please connect atleast a single mobile."));

        screen().chooseOption(Option::AddToGroup);
        QCOMPARE(lastText(), QStringLiteral("Please select a group from the list and then try again."));
        QCOMPARE(screen().option, Option::NoGroupAction);
    }

    void createRefusesADuplicateOnItsPortOnly()
    {
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        activate(QStringLiteral("COM3"), QStringLiteral("Vodafone"));
        screen().open();
        QCOMPARE(screen().actionConnections, (QStringList{"Airtel", "Vodafone"}));

        createKeyword(QStringLiteral("Airtel"), QStringLiteral("  join  "));
        QVERIFY(m_prompter->contains(QStringLiteral("Added"), QStringLiteral("Keyword has been created.")));
        QCOMPARE(screen().keywordBox, QString());
        createKeyword(QStringLiteral("Airtel"), QStringLiteral("Join"));
        QVERIFY(m_prompter->contains(QStringLiteral("OOps..."),
                                     QStringLiteral("This keyword is already in use! Please choose other keyword")));
        createKeyword(QStringLiteral("Vodafone"), QStringLiteral("Join"));
        QCOMPARE(rule(QStringLiteral("COM1"), QStringLiteral("join")).value(QStringLiteral("auto_reply_keyword")).toString(),
                 QStringLiteral("join"));
        QVERIFY(!rule(QStringLiteral("COM3"), QStringLiteral("Join")).isEmpty()); // keeps the case typed
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM auto_reply")).toInt(), 2);

        screen().chooseActionConnection(QStringLiteral("Vodafone"));
        QCOMPARE(screen().keywords, QStringList{"Join"});
    }

    void savedOptionsMapOntoTheColumns_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<bool>("add");
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("url");
        QTest::newRow("add") << int(Option::AddToGroup) << true << false << "Friend's" << "NOPUSH" << "";
        QTest::newRow("delete") << int(Option::DeleteFromGroup) << false << true << "Friend's" << "NOPUSH" << "";
        QTest::newRow("none") << int(Option::NoGroupAction) << false << false << "TAVNA" << "NOPUSH" << "";
        QTest::newRow("push") << int(Option::PushSms) << false << false << "TAVNA" << "PUSH"
                              << "http://h/x?f=@@sender@@&m=@@message@@";
    }
    void savedOptionsMapOntoTheColumns()
    {
        QFETCH(int, option);
        QFETCH(bool, add);
        QFETCH(bool, remove);
        QFETCH(QString, group);
        QFETCH(QString, action);
        QFETCH(QString, url);
        db().exec(QStringLiteral("INSERT INTO groups (group_name) VALUES ('Friend''s'), ('Alpha')"));
        activate(QStringLiteral("COM2"), QStringLiteral("Jio"));
        screen().open();
        QCOMPARE(screen().groups, (QStringList{"Alpha", "Friend's"}));
        createKeyword(QStringLiteral("Jio"), QStringLiteral("it's"));
        screen().chooseActionConnection(QStringLiteral("Jio"));
        screen().chooseKeyword(QStringLiteral("it's"));
        screen().replyBox = QStringLiteral("You're in");
        screen().group = QStringLiteral("Friend's");
        screen().chooseOption(Option(option));
        screen().urlBox = QStringLiteral("HTTP://h/x?f=@@sender@@&m=@@message@@");
        screen().leaveUrlBox();
        screen().saveKeyAction();
        QCOMPARE(lastTitle(), QStringLiteral("Success"));
        QCOMPARE(lastText(), QStringLiteral("Keyword details has been updated!"));

        const QVariantMap r = rule(QStringLiteral("COM2"), QStringLiteral("it's"));
        QCOMPARE(r.value(QStringLiteral("auto_reply_response")).toString(), QStringLiteral("You're in"));
        QCOMPARE(r.value(QStringLiteral("group_add")).toBool(), add);
        QCOMPARE(r.value(QStringLiteral("group_delete")).toBool(), remove);
        QCOMPARE(r.value(QStringLiteral("group_name")).toString(), group);
        QCOMPARE(r.value(QStringLiteral("auto_reply_action")).toString(), action);
        QCOMPARE(r.value(QStringLiteral("auto_reply_push_url")).toString(), url);
        // The form is ready for the next keyword.
        QCOMPARE(screen().replyBox, QString());
        QCOMPARE(screen().option, Option::NoGroupAction);
        QCOMPARE(screen().urlBox, QString());

        // Choosing the keyword again shows what was saved.
        screen().chooseKeyword(QStringLiteral("it's"));
        QCOMPARE(int(screen().option), option);
        QCOMPARE(screen().replyBox, QStringLiteral("You're in"));
        QCOMPARE(screen().urlBox, url);
        if (add || remove)
            QCOMPARE(screen().group, QStringLiteral("Friend's"));
    }

    void saveValidatesReplyAndUrl()
    {
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        screen().open();
        createKeyword(QStringLiteral("Airtel"), QStringLiteral("news"));
        screen().chooseActionConnection(QStringLiteral("Airtel"));
        screen().chooseKeyword(QStringLiteral("news"));
        screen().replyBox = QStringLiteral("   ");
        screen().saveKeyAction();
        QCOMPARE(lastText(), QStringLiteral("You should specify some reply message."));

        screen().replyBox = QStringLiteral("ok");
        screen().chooseOption(Option::PushSms);
        for (const QString &bad : {QStringLiteral(""), QStringLiteral("https://h/?a=@@sender@@&b=@@message@@"),
                                   QStringLiteral("http://h/?a=@@sender@@")}) {
            screen().urlBox = bad;
            screen().saveKeyAction();
            QCOMPARE(lastTitle(), QStringLiteral("Error"));
            QVERIFY(lastText().startsWith(QStringLiteral("Your URL should contain HTTP.")));
        }
        QVERIFY(rule(QStringLiteral("COM1"), QStringLiteral("news")).value(QStringLiteral("auto_reply_action")).isNull());
    }

    void wildCardTakesNoGroupOptions()
    {
        db().exec(QStringLiteral("INSERT INTO groups (group_name) VALUES ('Friends')"));
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        screen().open();
        createKeyword(QStringLiteral("Airtel"), QStringLiteral("*"));
        screen().chooseActionConnection(QStringLiteral("Airtel"));
        screen().chooseKeyword(QStringLiteral("*"));
        screen().chooseOption(Option::DeleteFromGroup);
        QCOMPARE(lastTitle(), QStringLiteral("Group Error"));
        QCOMPARE(lastText(), QStringLiteral("You can not set this option with wild card entry *."));
        QCOMPARE(screen().option, Option::NoGroupAction);
        screen().chooseOption(Option::PushSms);
        QVERIFY(screen().urlEnabled());
        screen().chooseOption(Option::NoGroupAction);
        QVERIFY(!screen().urlEnabled());
    }

    void ruleWithAVanishedGroupSaysSo()
    {
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        db().exec(QStringLiteral("INSERT INTO auto_reply (auto_reply_keyword, com_port, auto_reply_response, group_add, "
                                 "group_name, auto_reply_action) VALUES ('join', 'COM1', 'hi', 1, 'Gone', 'NOPUSH')"));
        screen().open();
        screen().chooseActionConnection(QStringLiteral("Airtel"));
        screen().chooseKeyword(QStringLiteral("join"));
        QCOMPARE(m_prompter->entries().last().icon, Prompter::Icon::None);
        QCOMPARE(lastText(), QStringLiteral("Group applied to this keyword is not available"));
        QCOMPARE(screen().replyBox, QStringLiteral("hi"));
    }

    void deleteAsksAndRemovesOnlyThatPortsKeyword()
    {
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        activate(QStringLiteral("COM2"), QStringLiteral("Jio"));
        screen().open();
        createKeyword(QStringLiteral("Airtel"), QStringLiteral("stop"));
        createKeyword(QStringLiteral("Jio"), QStringLiteral("stop"));
        screen().chooseActionConnection(QStringLiteral("Airtel"));
        screen().chooseKeyword(QStringLiteral("stop"));

        m_prompter->queueAnswer(false);
        auto cancelled = screen().deleteKeyword();
        QVERIFY(cancelled.isReady());
        QCOMPARE(m_prompter->entries().last().text, QStringLiteral("Are you sure to delete keyword stop?"));
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM auto_reply")).toInt(), 2);

        auto confirmed = screen().deleteKeyword();
        QVERIFY(confirmed.isReady());
        QVERIFY(m_prompter->contains(QStringLiteral("Keyword Deleted"), QStringLiteral("Keyword has been deleted.")));
        QVERIFY(rule(QStringLiteral("COM1"), QStringLiteral("stop")).isEmpty());
        QVERIFY(!rule(QStringLiteral("COM2"), QStringLiteral("stop")).isEmpty());
        QCOMPARE(screen().keywords, QStringList{AutoReplySettings::kNoKeywords});
    }
};

QTEST_GUILESS_MAIN(TestAutoReplySettings)
#include "tst_autoreplysettings.moc"
