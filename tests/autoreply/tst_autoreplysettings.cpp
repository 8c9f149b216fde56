// The rule screen's logic: creating, loading, saving and deleting keywords, and the option rules.
#include "AutoReplySettings.h"
#include "SharedStore.h"
#include "RecordingPrompter.h"
#include "Store.h"

#include <QTest>

using namespace tavsms;
using Option = AutoReplyForm::Option;
using Field = AutoReplySettings::Field;

class TestAutoReplySettings : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::RecordingPrompter> m_prompter;
    std::unique_ptr<AutoReplySettings> m_screen;
    // The form as the screen would show it after each action.
    AutoReplyForm m_form;
    Field m_focus = Field::None;

    Database *m_db = nullptr;
    Database &db() { return *m_db; }
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
    QVariantMap rule(const QString &port, const QString &keyword)
    {
        Statement st = db().prepare(QStringLiteral("SELECT * FROM auto_reply WHERE com_port = ? AND auto_reply_keyword = ?"));
        st.bind(1, port).bind(2, keyword);
        QVariantMap out;
        if (st.next())
            for (int i = 0; i < st.columnCount(); ++i)
                out.insert(st.columnName(i), st.value(i));
        while (st.next()) {
        }
        return out;
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
    void saveRule(const QString &keyword, const QString &reply)
    {
        showKeyword(keyword);
        m_form.reply = reply;
        take(screen().chooseOption(m_form, Option::NoGroupAction));
        take(screen().saveKeyAction(m_form));
    }

private Q_SLOTS:
    void init()
    {
        m_db = &test::freshStore().db();
        m_prompter = std::make_unique<test::RecordingPrompter>();
        m_screen = std::make_unique<AutoReplySettings>(db(), *m_prompter);
        m_form = {};
        m_focus = Field::None;
    }
    void cleanup()
    {
        m_screen.reset();
        m_prompter.reset();
    }

    void emptyStoreShowsPlaceholdersAndRefusesWork()
    {
        m_form = screen().load();
        QCOMPARE(m_form.createConnections, QStringList{AutoReplySettings::kNoConnection});
        QCOMPARE(m_form.actionConnections, QStringList{AutoReplySettings::kNoConnection});
        QCOMPARE(m_form.groups, QStringList{AutoReplySettings::kNoGroups});
        QCOMPARE(m_form.keywords, QStringList{AutoReplySettings::kSelectKeyword});
        QCOMPARE(m_form.option, Option::NoGroupAction);
        QVERIFY(!m_form.urlEnabled());

        createKeyword(AutoReplySettings::kNoConnection, QStringLiteral("join"));
        QCOMPARE(lastTitle(), QStringLiteral("You forget some thing"));
        QCOMPARE(m_focus, Field::KeywordBox);
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM auto_reply")).toInt(), 0);

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
        QCOMPARE(rule(QStringLiteral("COM1"), QStringLiteral("join")).value(QStringLiteral("auto_reply_keyword")).toString(),
                 QStringLiteral("join"));
        QVERIFY(!rule(QStringLiteral("COM3"), QStringLiteral("Join")).isEmpty()); // keeps the case typed
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM auto_reply")).toInt(), 2);

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
        m_form = screen().load();
        QCOMPARE(m_form.groups, (QStringList{"Alpha", "Friend's"}));
        createKeyword(QStringLiteral("Jio"), QStringLiteral("it's"));
        showConnection(QStringLiteral("Jio"));
        showKeyword(QStringLiteral("it's"));
        m_form.reply = QStringLiteral("You're in");
        m_form.group = QStringLiteral("Friend's");
        take(screen().chooseOption(m_form, Option(option)));
        m_form.url = QStringLiteral("HTTP://h/x?f=@@sender@@&m=@@message@@");
        take(screen().leaveUrlBox(m_form));
        take(screen().saveKeyAction(m_form));
        QCOMPARE(lastTitle(), QStringLiteral("Success"));
        QCOMPARE(lastText(), QStringLiteral("Keyword details has been updated!"));

        const QVariantMap r = rule(QStringLiteral("COM2"), QStringLiteral("it's"));
        QCOMPARE(r.value(QStringLiteral("auto_reply_response")).toString(), QStringLiteral("You're in"));
        QCOMPARE(r.value(QStringLiteral("group_add")).toBool(), add);
        QCOMPARE(r.value(QStringLiteral("group_delete")).toBool(), remove);
        QCOMPARE(r.value(QStringLiteral("group_name")).toString(), group);
        QCOMPARE(r.value(QStringLiteral("auto_reply_action")).toString(), action);
        QCOMPARE(r.value(QStringLiteral("auto_reply_push_url")).toString(), url);

        // The only keyword stays chosen and shows what was saved.
        QCOMPARE(m_form.keyword, QStringLiteral("it's"));
        QCOMPARE(int(m_form.option), option);
        QCOMPARE(m_form.reply, QStringLiteral("You're in"));
        QCOMPARE(m_form.url, url);
        QCOMPARE(m_form.urlEnabled(), !url.isEmpty());
        QCOMPARE(m_form.group, add || remove ? QStringLiteral("Friend's") : QStringLiteral("Alpha"));
    }

    void saveValidatesReplyAndUrl()
    {
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        m_form = screen().load();
        createKeyword(QStringLiteral("Airtel"), QStringLiteral("news"));
        showConnection(QStringLiteral("Airtel"));
        showKeyword(QStringLiteral("news"));
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
        QVERIFY(rule(QStringLiteral("COM1"), QStringLiteral("news")).value(QStringLiteral("auto_reply_action")).isNull());
    }

    void wildCardTakesNoGroupOptions()
    {
        db().exec(QStringLiteral("INSERT INTO groups (group_name) VALUES ('Friends')"));
        activate(QStringLiteral("COM1"), QStringLiteral("Airtel"));
        m_form = screen().load();
        createKeyword(QStringLiteral("Airtel"), QStringLiteral("*"));
        showConnection(QStringLiteral("Airtel"));
        showKeyword(QStringLiteral("*"));
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
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM auto_reply")).toInt(), 2);

        auto confirmed = screen().deleteKeyword(m_form);
        QVERIFY(confirmed.isReady());
        take(QCoro::waitFor(std::move(confirmed)));
        QVERIFY(m_prompter->contains(QStringLiteral("Keyword Deleted"), QStringLiteral("Keyword has been deleted.")));
        QVERIFY(rule(QStringLiteral("COM1"), QStringLiteral("stop")).isEmpty());
        QVERIFY(!rule(QStringLiteral("COM2"), QStringLiteral("stop")).isEmpty());
        QCOMPARE(m_form.keywords, QStringList{AutoReplySettings::kNoKeywords});
        QCOMPARE(m_form.reply, QString()); // the deleted keyword's reply is not left behind
    }
};

QTEST_GUILESS_MAIN(TestAutoReplySettings)
#include "tst_autoreplysettings.moc"
