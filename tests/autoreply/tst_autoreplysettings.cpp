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
    // Every stored rule as "port|keyword|reply|add|delete|group|action|url", oldest first.
    QStringList rules()
    {
        Statement st = db().prepare(QStringLiteral(
            "SELECT com_port, auto_reply_keyword, auto_reply_response, group_add, group_delete, group_name, "
            "auto_reply_action, auto_reply_push_url FROM auto_reply ORDER BY id"));
        QStringList out;
        while (st.next()) {
            QStringList cells;
            for (int i = 0; i < st.columnCount(); ++i)
                cells << st.value(i).toString();
            out << cells.join(QLatin1Char('|'));
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

QTEST_GUILESS_MAIN(TestAutoReplySettings)
#include "tst_autoreplysettings.moc"
