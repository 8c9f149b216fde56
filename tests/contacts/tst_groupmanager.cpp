// Groups and their members (adding and removing a number by its last ten
// characters), the group screen's logic and the member grid: names,
// deletion, single entry, series, validation and bulk saving, on a real store.
#include "GroupManager.h"
#include "MemberTableModel.h"
#include "RecordingPrompter.h"
#include "SharedStore.h"
#include "Store.h"

#include <QCoroTask>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test;
using Field = GroupManager::Field;
using Outcome = Groups::AddOutcome;

class TestGroupManager : public QObject
{
    Q_OBJECT

    Store *m_store = nullptr;
    std::unique_ptr<RecordingPrompter> m_prompter;
    std::unique_ptr<GroupManager> m_logic;

    Database &db() { return m_store->db(); }
    GroupManager &logic() { return *m_logic; }
    RecordingPrompter &prompter() { return *m_prompter; }

    qint64 addGroup(const QString &name, const QStringList &numbers = {})
    {
        const qint64 id = Groups(db()).create(name, QDateTime::currentDateTime());
        for (const QString &number : numbers) // as other means stored them, blanks and prefixes kept
            db().exec(QStringLiteral("INSERT INTO groups_mem (group_name, group_mem_mobile) VALUES (?, ?)"),
                      {id, number});
        return id;
    }
    // Numbers of a group's members as stored, oldest first.
    QStringList numbers(qint64 group)
    {
        QStringList out;
        for (const Groups::Member &m : Groups(db()).members(group))
            out << m.mobile;
        return out;
    }
    // "mobile|name|email" of a group's members, oldest first.
    QStringList members(const QString &group)
    {
        QStringList out;
        Statement st = db().prepare(QStringLiteral(
            "SELECT m.group_mem_mobile, m.group_mem_name, m.group_mem_email FROM groups_mem m "
            "JOIN groups g ON g.id = m.group_name WHERE g.group_name = ? ORDER BY m.id"));
        st.bind(1, group);
        while (st.next())
            out << QStringList{st.text(QStringLiteral("group_mem_mobile")), st.text(QStringLiteral("group_mem_name")),
                               st.text(QStringLiteral("group_mem_email"))}
                       .join(QLatin1Char('|'));
        return out;
    }
    QStringList groupNames() { return Groups(db()).namesByAge(); }
    QString lastText() { return prompter().entries().isEmpty() ? QString() : prompter().entries().last().text; }
    static BulkPanel validated() { return BulkPanel{true, true, true}; }

private Q_SLOTS:
    void init()
    {
        m_store = &freshStore();
        m_prompter = std::make_unique<RecordingPrompter>();
        m_logic = std::make_unique<GroupManager>(db(), prompter());
    }

    void namesAreSortedAndIdsFoundByExactName()
    {
        Groups groups(db());
        QCOMPARE(groups.names(), QStringList());
        const qint64 friends = addGroup(QStringLiteral("Friends"));
        addGroup(QStringLiteral("O'Brien's"));
        addGroup(QStringLiteral("Customers"));
        addGroup(QStringLiteral("Friends")); // a second group of the same name
        QCOMPARE(groups.names(), (QStringList{"Customers", "Friends", "Friends", "O'Brien's"}));
        QCOMPARE(groups.idOf(QStringLiteral("Friends")), std::optional<qint64>(friends)); // the first one
        QVERIFY(groups.idOf(QStringLiteral("O'Brien's")));
        for (const QString &other : {QStringLiteral("friends"), QStringLiteral("Friends "), QString()})
            QVERIFY(!groups.idOf(other));
    }

    // Numbers stored by other means keep their prefix or blanks; add looks
    // past both, and past the prefix of the number added.
    void addStoresTheLastTenCharactersOnce_data()
    {
        QTest::addColumn<QStringList>("stored"); // in "News"; "Other" holds 9000000001
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("number");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QStringList>("after");
        const QStringList none;
        const QStringList one{"9000000001"};
        QTest::newRow("prefix and blanks dropped") << none << "News" << " +919000000001 " << Outcome::Added << one;
        QTest::newRow("0 before it") << one << "News" << "09000000001" << Outcome::AlreadyMember << one;
        QTest::newRow("91 before it") << one << "News" << "919000000001" << Outcome::AlreadyMember << one;
        QTest::newRow("stored with +91") << QStringList{"+919000000001"} << "News" << "9000000001"
                                         << Outcome::AlreadyMember << QStringList{"+919000000001"};
        QTest::newRow("stored with 0") << QStringList{"09000000001"} << "News" << "+919000000001"
                                       << Outcome::AlreadyMember << QStringList{"09000000001"};
        QTest::newRow("stored with blanks") << QStringList{"9000000001  "} << "News" << "9000000001"
                                            << Outcome::AlreadyMember << QStringList{"9000000001  "};
        QTest::newRow("another number") << one << "News" << "9000000004" << Outcome::Added
                                        << QStringList{"9000000001", "9000000004"};
        QTest::newRow("no such group") << none << "Gone" << "9000000001" << Outcome::NoSuchGroup << none;
        QTest::newRow("letter case of the name counts") << none << "news" << "9000000001" << Outcome::NoSuchGroup
                                                        << none;
    }
    void addStoresTheLastTenCharactersOnce()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, group);
        QFETCH(QString, number);
        QFETCH(Outcome, outcome);
        QFETCH(QStringList, after);
        const qint64 news = addGroup(QStringLiteral("News"), stored);
        const qint64 other = addGroup(QStringLiteral("Other"), {QStringLiteral("9000000001")});
        QCOMPARE(Groups(db()).addMemberUnlessPresent(group, number), outcome);
        QCOMPARE(numbers(news), after);
        QCOMPARE(numbers(other), QStringList{"9000000001"});
    }

    // Remove looks at the number as stored: trailing blanks hide a member
    // from it, though add still sees that member.
    void removeTakesTheFirstMatchOnly()
    {
        const qint64 news = addGroup(QStringLiteral("News"), {"9111111111", "919000000001", "09000000001", "9000000002 "});
        const qint64 other = addGroup(QStringLiteral("Other"), {QStringLiteral("9000000001")});
        Groups groups(db());
        QVERIFY(!groups.removeMember(QStringLiteral("News"), QStringLiteral("+918888888888")));
        QVERIFY(!groups.removeMember(QStringLiteral("News"), QStringLiteral("9000000002")));
        QVERIFY(!groups.removeMember(QStringLiteral("Gone"), QStringLiteral("9111111111")));
        QCOMPARE(numbers(news).size(), 4);

        // Two rows match: one goes (whichever the engine lists first), one stays.
        QVERIFY(groups.removeMember(QStringLiteral("News"), QStringLiteral("+919000000001")));
        const QStringList left = numbers(news);
        QCOMPARE(left.size(), 3);
        QVERIFY2(left.at(1).endsWith(QStringLiteral("9000000001")), qPrintable(left.join(QLatin1Char(','))));
        QVERIFY(groups.removeMember(QStringLiteral("News"), QStringLiteral(" 9000000001")));
        QCOMPARE(numbers(news), (QStringList{"9111111111", "9000000002 "}));
        QVERIFY(!groups.removeMember(QStringLiteral("News"), QStringLiteral("9000000001")));
        QCOMPARE(numbers(other), QStringList{"9000000001"}); // the other group keeps its member
    }
    void createGroup_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("groups"); // after, oldest first
        QTest::addColumn<QString>("box_text");   // shown, or empty for none
        QTest::newRow("ampersand and quote") << "Tom & Jerry's" << QStringList{"Staff", "Tom and Jerrys"}
                                             << "Group Created";
        QTest::newRow("same apart from blanks") << "  Staff " << QStringList{"Staff"} << "Group Name Already Exists.";
        QTest::newRow("other letter case") << "staff" << QStringList{"Staff", "staff"} << "Group Created";
        QTest::newRow("empty box") << "" << QStringList{"Staff"} << "";
        QTest::newRow("blanks only") << "   " << QStringList{"Staff", "   "} << "Group Created";
    }
    void createGroup()
    {
        QFETCH(QString, box);
        QFETCH(QStringList, groups);
        QFETCH(QString, box_text);
        addGroup(QStringLiteral("Staff"));
        const GroupManager::ListOutcome outcome = logic().createGroup(box);
        QCOMPARE(groupNames(), groups);
        QCOMPARE(lastText(), box_text);
        QCOMPARE(outcome.groups.has_value(), box_text == QLatin1String("Group Created"));
        if (outcome.groups)
            QCOMPARE(*outcome.groups, groups);
        else
            QCOMPARE(outcome.focus, Field::GroupName);
    }

    void deleteAsksFirstAndTakesTheMembers()
    {
        const qint64 staff = addGroup(QStringLiteral("Ram's team"));
        const qint64 other = addGroup(QStringLiteral("Other"));
        Groups(db()).addMember(staff, QStringLiteral("A"), QStringLiteral("9876543210"), {});
        Groups(db()).addMember(other, QStringLiteral("B"), QStringLiteral("9876543211"), {});

        prompter().queueAnswer(false);
        GroupManager::ListOutcome outcome = QCoro::waitFor(logic().deleteGroup(QStringLiteral("Ram's team")));
        QVERIFY(!outcome.groups);
        QCOMPARE(groupNames(), (QStringList{"Ram's team", "Other"}));
        QCOMPARE(prompter().entries().first().preset, Prompter::Default::Cancel);

        prompter().queueAnswer(true);
        outcome = QCoro::waitFor(logic().deleteGroup(QStringLiteral("Ram's team")));
        QCOMPARE(outcome.groups, std::optional<QStringList>(QStringList{"Other"}));
        QCOMPARE(lastText(), QStringLiteral("Group has been deleted."));
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM groups_mem")).toInt(), 1);
        QCOMPARE(members(QStringLiteral("Other")), QStringList{"9876543211|B|"});

        prompter().clear();
        outcome = QCoro::waitFor(logic().deleteGroup(QStringLiteral("  ")));
        QCOMPARE(outcome.focus, Field::GroupName);
        QCOMPARE(lastText(), QStringLiteral("Please create a group first."));
        QCOMPARE(prompter().count(), 1); // no question
    }

    void addMember_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("mobile");
        QTest::addColumn<QString>("stored"); // or empty when refused
        QTest::addColumn<int>("focus");
        QTest::addColumn<QString>("box");
        const QString club = QStringLiteral("O'Brien \"club\"");
        const QString added = QStringLiteral("Member added successfully!");
        const int none = int(Field::None);
        QTest::newRow("ten digits") << club << "9876543210" << "9876543210" << none << added;
        QTest::newRow("blanks around kept") << club << " 9876543210 " << " 9876543210 " << none << added;
        QTest::newRow("ten letters") << club << "abcdefghij" << "abcdefghij" << none << added;
        for (const char *bad : {"987654321", "09876543210", ""})
            QTest::addRow("refused: '%s'", bad) << club << bad << "" << int(Field::Mobile) << GroupManager::kNumberRule;
        QTest::newRow("no group") << "" << "9876543210" << "" << int(Field::GroupName) << "Please create a group first.";
        QTest::newRow("group deleted meanwhile") << "Gone" << "9876543210" << "" << none
                                                 << "The group \"Gone\" no longer exists.";
    }
    void addMember()
    {
        QFETCH(QString, group);
        QFETCH(QString, mobile);
        QFETCH(QString, stored);
        QFETCH(int, focus);
        QFETCH(QString, box);
        addGroup(QStringLiteral("O'Brien \"club\""));
        QCOMPARE(int(logic().addMember(group, QStringLiteral("D'Souza"), mobile, QStringLiteral("d'souza@example.com"))),
                 focus);
        QCOMPARE(lastText(), box);
        QCOMPARE(members(QStringLiteral("O'Brien \"club\"")),
                 stored.isEmpty() ? QStringList() : QStringList{stored + QStringLiteral("|D'Souza|d'souza@example.com")});
    }

    void series_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("bulk");
        QTest::addColumn<int>("lines");     // lines in the box after, -1 when refused
        QTest::addColumn<QString>("first"); // first line after
        QTest::addColumn<QString>("message");
        QTest::newRow("span of 5000") << "9876500000" << "9876505000" << "" << 5001 << "9876500000" << "";
        QTest::newRow("span of 5001") << "9876500000" << "9876505001" << "" << -1 << ""
                                      << "Maximum 5000 numbers can be created at a time.";
        QTest::newRow("beyond 32 bits, appended") << "9999999998" << "9999999999" << "9000000000" << 3
                                                  << "9000000000" << "";
        QTest::newRow("start above end") << "9876500010" << "9876500000" << "x" << 1 << "x" << "";
        QTest::newRow("leading zero") << "0876500000" << "0876500001" << "" << 2 << "876500000" << "";
        QTest::newRow("empty end") << "9876500000" << " " << "" << -1 << "" << "Please enter start and end values.";
        QTest::newRow("nine digits") << "987650000" << "987650001" << "" << -1 << ""
                                     << "Numbers should be only 10 digit long";
        QTest::newRow("letters") << "98765abcde" << "9876500001" << "" << -1 << ""
                                 << "Start and end values should be numbers.";
    }
    void series()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, bulk);
        QFETCH(int, lines);
        QFETCH(QString, first);
        QFETCH(QString, message);
        const std::optional<QString> out = logic().generateSeries(start, end, bulk);
        QCOMPARE(lastText(), message);
        if (lines < 0) {
            QVERIFY(!out);
            return;
        }
        QVERIFY(out);
        const QStringList got = out->split(QLatin1Char('\n'));
        QCOMPARE(got.size(), lines);
        QCOMPARE(got.first(), first);
        if (lines == 3)
            QCOMPARE(got.last(), QStringLiteral("9999999999"));
    }

    void validate_data()
    {
        QTest::addColumn<QString>("bulk");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLength");
        QTest::newRow("all good") << "9876543210\n9876543211, Ram, r@x.in\n 9876543212 ,Sita"
                                  << "Validation Completed." << -1 << 0;
        QTest::newRow("second line short") << "9876543210\n987654321, Ram\n9876543212"
                                           << "Error at line 2. Invalid Destination Number. It should be 10 digit long."
                                           << 11 << 14;
        QTest::newRow("ends with a line break") << "9876543210\n9876543211\n"
                                                << "Error at line 3. Invalid Destination Number. It should be 10 digit "
                                                   "long."
                                                << 22 << 0;
        QTest::newRow("nothing") << "  " << "Please don't play with application." << -1 << 0;
    }
    void validate()
    {
        QFETCH(QString, bulk);
        QFETCH(QString, message);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        addGroup(QStringLiteral("Staff"));
        const GroupManager::Validation v = logic().validate(QStringLiteral("Staff"), bulk, BulkPanel{});
        QCOMPARE(lastText(), message);
        QCOMPARE(v.selectionStart, selStart);
        QCOMPARE(v.selectionLength, selLength);
        const bool ok = message == QLatin1String("Validation Completed.");
        QCOMPARE(v.panel, ok ? validated() : BulkPanel{});
        if (selStart >= 0)
            QCOMPARE(bulk.mid(selStart, selLength), bulk.split(QLatin1Char('\n')).at(bulk.left(selStart).count(QLatin1Char('\n'))));
    }

    void saveFollowsTheLineForms()
    {
        addGroup(QStringLiteral("Staff"));
        const QString bulk = QStringLiteral("9876543210\n9876543211, Ram\n 9876543212 , Sita , s@x.in \n"
                                            "9876543213,a,b,c,d\n9876543214,O'Neil");
        GroupManager::Saved saved = logic().save(QStringLiteral("Staff"), bulk, validated());
        QVERIFY(saved.clearBox);
        QCOMPARE(saved.panel, BulkPanel{});
        const QStringList once{"9876543210||", "9876543211| Ram|", "9876543212|Sita|s@x.in", "9876543213|a|b",
                               "9876543214|O'Neil|"};
        QCOMPARE(members(QStringLiteral("Staff")), once);
        QCOMPARE(lastText(), QStringLiteral("Numbers added to the group.\n\n5 members added."));

        logic().save(QStringLiteral("Staff"), bulk, validated()); // appends: second rows
        QCOMPARE(members(QStringLiteral("Staff")), once + once);

        // Not validated: nothing happens.
        prompter().clear();
        saved = logic().save(QStringLiteral("Staff"), bulk, BulkPanel{false, true, false});
        QVERIFY(!saved.clearBox);
        QCOMPARE(prompter().count(), 0);
        QCOMPARE(members(QStringLiteral("Staff")).size(), 10);
    }

    void aFailedSaveStoresNothing()
    {
        addGroup(QStringLiteral("Staff"));
        db().execScript(QStringLiteral("CREATE TRIGGER full BEFORE INSERT ON groups_mem WHEN NEW.group_mem_mobile = "
                                       "'9876543212' BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END;"));
        const GroupManager::Saved saved =
            logic().save(QStringLiteral("Staff"), QStringLiteral("9876543210\n9876543211\n9876543212"), validated());
        QVERIFY(!saved.clearBox);
        QCOMPARE(saved.panel, validated()); // the operator can try again
        QCOMPARE(members(QStringLiteral("Staff")), QStringList{});
        QCOMPARE(prompter().entries().last().icon, Prompter::Icon::Critical);
        QVERIFY(!db().inTransaction());
    }

    void memberGridWritesChangedCells()
    {
        const qint64 id = addGroup(QStringLiteral("Staff"));
        Groups(db()).addMember(id, QStringLiteral("Ram"), QStringLiteral("9876543210"), QStringLiteral("r@x.in"));
        Groups(db()).addMember(id, QStringLiteral("Sita"), QStringLiteral("9876543211"), QString());
        MemberTableModel model(db(), prompter());
        model.showGroup(QStringLiteral("Staff"));
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(model.setData(model.index(1, 2), QStringLiteral("s'ita@x.in")));
        QCOMPARE(members(QStringLiteral("Staff")), (QStringList{"9876543210|Ram|r@x.in", "9876543211|Sita|s'ita@x.in"}));

        db().exec(QStringLiteral("DELETE FROM groups_mem WHERE group_mem_name = 'Ram'")); // meanwhile, elsewhere
        QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("Ramesh")));
        QCOMPARE(prompter().entries().last().icon, Prompter::Icon::Exclamation);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("Ram"));

        model.showGroup(QStringLiteral("No such group"));
        QCOMPARE(model.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestGroupManager)
#include "tst_groupmanager.moc"
