// Groups and their members: names, ids, and adding and removing a number by its last ten characters.
#include "Groups.h"
#include "SharedStore.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QTest>

using namespace tavsms;
using Outcome = Groups::AddOutcome;

class TestGroups : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestDataDirectory> m_dir;
    Store *m_store = nullptr;
    std::unique_ptr<Groups> m_groups;

    Database &db() { return m_store->db(); }
    Groups &groups() { return *m_groups; }

    qint64 addGroup(const QString &name)
    {
        db().exec(QStringLiteral("INSERT INTO groups (dated, group_name) VALUES ('2026-01-01 00:00:00', ?)"), {name});
        return db().lastInsertId();
    }
    void seedMember(qint64 group, const QString &number)
    {
        db().exec(QStringLiteral("INSERT INTO groups_mem (group_name, group_mem_mobile) VALUES (?, ?)"),
                  {group, number});
    }
    // Numbers of a group's members as stored, oldest first.
    QStringList members(qint64 group)
    {
        QStringList out;
        Statement st = db().prepare(
            QStringLiteral("SELECT group_mem_mobile FROM groups_mem WHERE group_name = ? ORDER BY id"));
        st.bind(1, group);
        while (st.next())
            out << st.text(QStringLiteral("group_mem_mobile"));
        return out;
    }
    int allMembers() { return db().scalar(QStringLiteral("SELECT count(*) FROM groups_mem")).toInt(); }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        m_store = &tavsms::test::freshStore();
        m_groups = std::make_unique<Groups>(db());
    }
    void cleanup()
    {
        m_groups.reset();
        m_store = nullptr;
        m_dir.reset();
    }

    void namesAreSortedAndIdsFoundByExactName()
    {
        QCOMPARE(groups().names(), QStringList());
        const qint64 friends = addGroup(QStringLiteral("Friends"));
        addGroup(QStringLiteral("O'Brien's"));
        addGroup(QStringLiteral("Customers"));
        addGroup(QStringLiteral("Friends")); // a second group of the same name
        QCOMPARE(groups().names(), (QStringList{"Customers", "Friends", "Friends", "O'Brien's"}));

        QCOMPARE(groups().idOf(QStringLiteral("Friends")), std::optional<qint64>(friends)); // the first one
        QVERIFY(groups().idOf(QStringLiteral("O'Brien's")));
        QVERIFY(!groups().idOf(QStringLiteral("friends")));
        QVERIFY(!groups().idOf(QStringLiteral("Friends ")));
        QVERIFY(!groups().idOf(QString()));
    }

    void addStoresTheLastTenCharactersOnce()
    {
        const qint64 news = addGroup(QStringLiteral("News"));
        QCOMPARE(groups().addMemberUnlessPresent(QStringLiteral("News"), QStringLiteral(" +919000000001 ")),
                 Outcome::Added);
        QCOMPARE(members(news), (QStringList{"9000000001"}));

        // The same number in another form is the same member.
        for (const QString &again : {QStringLiteral("9000000001"), QStringLiteral("09000000001"),
                                     QStringLiteral("919000000001")})
            QCOMPARE(groups().addMemberUnlessPresent(QStringLiteral("News"), again), Outcome::AlreadyMember);
        QCOMPARE(members(news).size(), 1);

        // A member in another group does not count.
        const qint64 other = addGroup(QStringLiteral("Other"));
        QCOMPARE(groups().addMemberUnlessPresent(QStringLiteral("Other"), QStringLiteral("9000000001")),
                 Outcome::Added);
        QCOMPARE(members(other), (QStringList{"9000000001"}));
    }

    // Numbers stored by other means keep their prefix or blanks; add looks
    // past both.
    void addComparesTheTrimmedStoredNumberByItsLastTen()
    {
        const qint64 news = addGroup(QStringLiteral("News"));
        seedMember(news, QStringLiteral("+919000000001"));
        seedMember(news, QStringLiteral("09000000002"));
        seedMember(news, QStringLiteral("9000000003  "));
        QCOMPARE(groups().addMemberUnlessPresent(QStringLiteral("News"), QStringLiteral("+919000000001")),
                 Outcome::AlreadyMember);
        QCOMPARE(groups().addMemberUnlessPresent(QStringLiteral("News"), QStringLiteral("9000000002")),
                 Outcome::AlreadyMember);
        QCOMPARE(groups().addMemberUnlessPresent(QStringLiteral("News"), QStringLiteral("9000000003")),
                 Outcome::AlreadyMember);
        QCOMPARE(members(news).size(), 3);
        QCOMPARE(groups().addMemberUnlessPresent(QStringLiteral("News"), QStringLiteral("9000000004")),
                 Outcome::Added);
        QCOMPARE(members(news).last(), QStringLiteral("9000000004"));
    }

    void addToAMissingGroupWritesNothing()
    {
        addGroup(QStringLiteral("News"));
        QCOMPARE(groups().addMemberUnlessPresent(QStringLiteral("Gone"), QStringLiteral("9000000001")),
                 Outcome::NoSuchGroup);
        QCOMPARE(groups().addMemberUnlessPresent(QStringLiteral("news"), QStringLiteral("9000000001")),
                 Outcome::NoSuchGroup);
        QCOMPARE(allMembers(), 0);
    }

    void removeTakesTheFirstMatchOnly()
    {
        const qint64 news = addGroup(QStringLiteral("News"));
        const qint64 other = addGroup(QStringLiteral("Other"));
        seedMember(news, QStringLiteral("9111111111"));
        seedMember(news, QStringLiteral("919000000001"));
        seedMember(news, QStringLiteral("09000000001"));
        seedMember(other, QStringLiteral("9000000001"));

        QVERIFY(!groups().removeMember(QStringLiteral("News"), QStringLiteral("+918888888888")));
        QCOMPARE(members(news).size(), 3);

        // Two rows match: one goes (whichever the engine lists first), one stays.
        QVERIFY(groups().removeMember(QStringLiteral("News"), QStringLiteral("+919000000001")));
        const QStringList left = members(news);
        QCOMPARE(left.size(), 2);
        QCOMPARE(left.first(), QStringLiteral("9111111111"));
        QVERIFY2(left.last().endsWith(QStringLiteral("9000000001")), qPrintable(left.join(QLatin1Char(','))));
        QVERIFY(groups().removeMember(QStringLiteral("News"), QStringLiteral(" 9000000001")));
        QCOMPARE(members(news), (QStringList{"9111111111"}));
        QVERIFY(!groups().removeMember(QStringLiteral("News"), QStringLiteral("9000000001")));
        QCOMPARE(members(other), (QStringList{"9000000001"})); // the other group keeps its member
        QVERIFY(!groups().removeMember(QStringLiteral("Gone"), QStringLiteral("9111111111")));
    }

    // Remove looks at the number as stored: trailing blanks hide a member
    // from it, though add still sees that member.
    void removeComparesTheStoredNumberUntrimmed()
    {
        const qint64 news = addGroup(QStringLiteral("News"));
        seedMember(news, QStringLiteral("9000000001 "));
        QVERIFY(!groups().removeMember(QStringLiteral("News"), QStringLiteral("9000000001")));
        QCOMPARE(members(news), (QStringList{"9000000001 "}));
        QCOMPARE(groups().addMemberUnlessPresent(QStringLiteral("News"), QStringLiteral("9000000001")),
                 Outcome::AlreadyMember);
    }
};

QTEST_GUILESS_MAIN(TestGroups)
#include "tst_groups.moc"
