// Groups and their members: names, ids, and adding and removing a number by its last ten characters.
#include "Groups.h"
#include "SharedStore.h"
#include "Store.h"

#include <QTest>

using namespace tavsms;
using Outcome = Groups::AddOutcome;

class TestGroups : public QObject
{
    Q_OBJECT

    Database *m_db = nullptr;

    Database &db() { return *m_db; }
    qint64 addGroup(const QString &name, const QStringList &numbers = {})
    {
        const qint64 id = Groups(db()).create(name, QDateTime::currentDateTime());
        for (const QString &number : numbers)
            db().exec(QStringLiteral("INSERT INTO groups_mem (group_name, group_mem_mobile) VALUES (?, ?)"),
                      {id, number});
        return id;
    }
    // Numbers of a group's members as stored, oldest first.
    QStringList members(qint64 group)
    {
        QStringList out;
        for (const Groups::Member &m : Groups(db()).members(group))
            out << m.mobile;
        return out;
    }

private Q_SLOTS:
    void init() { m_db = &test::freshStore().db(); }

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
        QCOMPARE(members(news), after);
        QCOMPARE(members(other), QStringList{"9000000001"});
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
        QCOMPARE(members(news).size(), 4);

        // Two rows match: one goes (whichever the engine lists first), one stays.
        QVERIFY(groups.removeMember(QStringLiteral("News"), QStringLiteral("+919000000001")));
        const QStringList left = members(news);
        QCOMPARE(left.size(), 3);
        QVERIFY2(left.at(1).endsWith(QStringLiteral("9000000001")), qPrintable(left.join(QLatin1Char(','))));
        QVERIFY(groups.removeMember(QStringLiteral("News"), QStringLiteral(" 9000000001")));
        QCOMPARE(members(news), (QStringList{"9111111111", "9000000002 "}));
        QVERIFY(!groups.removeMember(QStringLiteral("News"), QStringLiteral("9000000001")));
        QCOMPARE(members(other), QStringList{"9000000001"}); // the other group keeps its member
    }
};

QTEST_GUILESS_MAIN(TestGroups)
#include "tst_groups.moc"
