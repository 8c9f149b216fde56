// Groups and their members: adding and removing a number by its last ten
// characters, the group screen's logic and the member grid (names,
// deletion, single entry, series, validation and bulk saving). Member files:
// the data file readers, every fixture read cell by cell, and files that are
// not what their extension says refused with a clear reason; the import
// screen's logic: the column check, the file errors, and saving members in
// chunks with the count told being the count stored. "Backup Groups": the
// dated file, its lines, and the quoting that lets each line split back into
// its seven values.
#include "CompoundFile.h"
#include "GroupBackup.h"
#include "GroupManager.h"
#include "Groups.h"
#include "MemberImport.h"
#include "MemberTableModel.h"
#include "QueueLog.h"
#include "RecordingProgress.h"
#include "RecordingPrompter.h"
#include "SharedStore.h"
#include "Store.h"
#include "TableFile.h"
#include "TestDataDirectory.h"
#include "TextTableFile.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test;
using Field = GroupManager::Field;
using Outcome = Groups::AddOutcome;

namespace {

const QString kTitle = QStringLiteral("Error Occured");
const QString kNotAccessible = QStringLiteral("Error Occured: File is not accessiable; ");

QString data(const QString &name)
{
    return QStringLiteral(TAVSMS_TEST_DATA_DIR "/") + name;
}

using Rows = QList<QStringList>;

Rows allRows(const TableFile &file)
{
    Rows out;
    for (qint64 i = 0; i < file.rowCount(); ++i)
        out << file.row(i);
    return out;
}

} // namespace

class TestContacts : public QObject
{
    Q_OBJECT

    Store *m_store = nullptr;
    RecordingPrompter m_prompter;
    RecordingProgress m_progress;
    QTemporaryDir m_files; // files the data rows write
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_target; // the directory the backup goes to
    QDateTime m_now;
    std::unique_ptr<GroupManager> m_logic;

    Database &db() { return m_store->db(); }
    GroupManager &logic() { return *m_logic; }
    qint64 addGroup(const QString &name, const QStringList &numbers = {})
    {
        const qint64 id = Groups(db()).create(name, QDateTime::currentDateTime());
        for (const QString &number : numbers) // as other means stored them, blanks and prefixes kept
            db().exec(QStringLiteral("INSERT INTO groups_mem (group_name, group_mem_mobile) VALUES (?, ?)"),
                      {id, number});
        return id;
    }
    // The columns of each member of the group, oldest first, joined by '|'; NULL shows as <null>.
    QStringList stored(qint64 group, const char *columns = "group_mem_name, group_mem_mobile, group_mem_email")
    {
        Statement st = db().prepare(QStringLiteral("SELECT %1 FROM groups_mem WHERE group_name = ? ORDER BY id")
                                        .arg(QLatin1String(columns)));
        st.bind(1, group);
        return rowLines(st, QStringLiteral("<null>"));
    }
    QStringList numbers(qint64 group) { return stored(group, "group_mem_mobile"); }
    // "mobile|name|email" of the group's members, oldest first.
    QStringList members(const QString &group)
    {
        return stored(Groups(db()).idOf(group).value_or(0), "group_mem_mobile, group_mem_name, group_mem_email");
    }
    int allMembers() { return db().scalar(QStringLiteral("SELECT count(*) FROM groups_mem")).toInt(); }
    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = m_files.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    // A text file of `rows` members numbered from 1.
    QString numbered(int rows)
    {
        QByteArray text = "Phone,Name,Email\r\n";
        for (int i = 1; i <= rows; ++i)
            text += QByteArray::number(9000000000LL + i) + ",M" + QByteArray::number(i) + ",\r\n";
        return write(QStringLiteral("numbered.txt"), text);
    }
    MemberImport::SaveOutcome save(MemberImport &import, const QString &path, const QString &group)
    {
        return QCoro::waitFor(import.save(path, group));
    }

    void addMember(qint64 group, const QVariant &name, const QVariant &mobile, const QVariant &email,
                   const QVariant &start = {}, const QVariant &end = {})
    {
        db().exec(QStringLiteral("INSERT INTO groups_mem (group_name, group_mem_name, group_mem_mobile, "
                                 "group_mem_email, group_mem_subs_start, group_mem_subs_end) VALUES (?, ?, ?, ?, ?, ?)"),
                  {group, name, mobile, email, start, end});
    }
    GroupBackup backup()
    {
        return GroupBackup(db(), m_prompter, {[this] { return m_target; }, [this] { return m_now; }});
    }
    QString backupPath() const { return QDir(m_target).filePath(QStringLiteral("backup-1252026.txt")); }
    QByteArray content() const
    {
        QFile f(backupPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QStringList groupNames() { return Groups(db()).namesByAge(); }
    QString lastText() { return m_prompter.entries().isEmpty() ? QString() : m_prompter.entries().last().text; }
    static BulkPanel validated() { return BulkPanel{true, true, true}; }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_target = m_dir->path();
        m_now = QDateTime(QDate(2026, 12, 5), QTime(10, 18, 46));
        m_store = &freshStore();
        m_prompter.clear();
        m_progress = RecordingProgress();
        m_logic = std::make_unique<GroupManager>(db(), m_prompter);
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

        m_prompter.queueAnswer(false);
        GroupManager::ListOutcome outcome = QCoro::waitFor(logic().deleteGroup(QStringLiteral("Ram's team")));
        QVERIFY(!outcome.groups);
        QCOMPARE(groupNames(), (QStringList{"Ram's team", "Other"}));
        QCOMPARE(m_prompter.entries().first().preset, Prompter::Default::Cancel);

        m_prompter.queueAnswer(true);
        outcome = QCoro::waitFor(logic().deleteGroup(QStringLiteral("Ram's team")));
        QCOMPARE(outcome.groups, std::optional<QStringList>(QStringList{"Other"}));
        QCOMPARE(lastText(), QStringLiteral("Group has been deleted."));
        QCOMPARE(allMembers(), 1);
        QCOMPARE(members(QStringLiteral("Other")), QStringList{"9876543211|B|"});

        m_prompter.clear();
        outcome = QCoro::waitFor(logic().deleteGroup(QStringLiteral("  ")));
        QCOMPARE(outcome.focus, Field::GroupName);
        QCOMPARE(lastText(), QStringLiteral("Please create a group first."));
        QCOMPARE(m_prompter.count(), 1); // no question
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
        m_prompter.clear();
        saved = logic().save(QStringLiteral("Staff"), bulk, BulkPanel{false, true, false});
        QVERIFY(!saved.clearBox);
        QCOMPARE(m_prompter.count(), 0);
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
        QCOMPARE(m_prompter.entries().last().icon, Prompter::Icon::Critical);
        QVERIFY(!db().inTransaction());
    }

    void memberGridWritesChangedCells()
    {
        const qint64 id = addGroup(QStringLiteral("Staff"));
        Groups(db()).addMember(id, QStringLiteral("Ram"), QStringLiteral("9876543210"), QStringLiteral("r@x.in"));
        Groups(db()).addMember(id, QStringLiteral("Sita"), QStringLiteral("9876543211"), QString());
        MemberTableModel model(db(), m_prompter);
        model.showGroup(QStringLiteral("Staff"));
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(model.setData(model.index(1, 2), QStringLiteral("s'ita@x.in")));
        QCOMPARE(members(QStringLiteral("Staff")), (QStringList{"9876543210|Ram|r@x.in", "9876543211|Sita|s'ita@x.in"}));

        db().exec(QStringLiteral("DELETE FROM groups_mem WHERE group_mem_name = 'Ram'")); // meanwhile, elsewhere
        QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("Ramesh")));
        QCOMPARE(m_prompter.entries().last().icon, Prompter::Icon::Exclamation);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("Ram"));

        model.showGroup(QStringLiteral("No such group"));
        QCOMPARE(model.rowCount(), 0);
    }

    void loadListsGroupsAscendingOrNone()
    {
        MemberImport import(db(), m_prompter, m_progress);
        QCOMPARE(import.load()->groups, QStringList{"Groups Not Available"});
        addGroup(QStringLiteral("Staff"));
        addGroup(QStringLiteral("Customers"));
        QCOMPARE(import.load()->groups, (QStringList{"Customers", "Staff"}));
    }

    void readsEveryFixture_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<Rows>("rows");

        const QStringList members{"Phone", "Name", "Email"};
        QTest::newRow("members.xls")
            << "members.xls" << members
            << Rows{{"9876543210", "Asha Rao", "asha@example.com"},     // numeric: plain digits
                    {"919876543211", "O'Brien", "ob@example.com"},      // twelve digits, not 9.19877e+11
                    {"09876543212", "Smith, John", ""},                 // a text phone keeps its 0; empty cell
                    {"9876543213", "Zoë Müller", "zoe@example.com"},    // UTF-8 intact
                    {"9876543214", "", ""},
                    {"98765 43215", "Ravi Kumar", "ravi@example.com"}}; // a blank inside is kept
        QTest::newRow("members.txt, CR LF and quotes")
            << "members.txt" << members
            << Rows{{"9876543210", "Asha Rao", "asha@example.com"},
                    {"919876543211", "O'Brien", "ob@example.com"},
                    {"09876543212", "Smith, John", ""}, // quoted comma; empty last field
                    {"9876543213", "Said \"hi\"", "zoe@example.com"}};
        QTest::newRow("members-bom.txt, LF") << "members-bom.txt" << members
                                             << Rows{{"9876543210", "Asha Rao", "asha@example.com"}};
        QTest::newRow("members-bad-columns.xls") << "members-bad-columns.xls" << QStringList{"PHONE", "Name", "E-mail"}
                                                 << Rows{{"9876543210", "A", "a@b.c"}};
        QTest::newRow("Sheet1 behind another sheet")
            << "members-sheet1-second.xls" << QStringList{"phone", "NAME", "Email", "City"}
            << Rows{{"919876543214", "12.5", "x@example.com", "Pune"}};
        QTest::newRow("dynamic.xls")
            << "dynamic.xls" << QStringList{"Phone", "Message"}
            << Rows{{"9876543210", "Dear Asha, your order 1042 is ready."},
                    {"919876543211", "Line one\nLine two"}, // LF inside a cell
                    {"9876543212", QString(200, QLatin1Char('x'))},
                    {"9876543213", "It's done"},
                    {"", "no number here"},
                    {"9876543215", "after the empty phone"}};
        QTest::newRow("dynamic.txt")
            << "dynamic.txt" << QStringList{"Phone", "Message"}
            << Rows{{"9876543210", "Dear Asha, your order 1042 is ready."},
                    {"919876543211", "Line one\r\nLine two"}}; // CR LF inside a quoted field
    }
    void readsEveryFixture()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, columns);
        QFETCH(Rows, rows);
        const std::unique_ptr<TableFile> table = TableFile::open(data(file));
        QCOMPARE(table->columns(), columns);
        QCOMPARE(allRows(*table), rows);
    }

    void textDetails_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("no line end at the end") << QByteArray("a,b\n1,") << QStringList{"a", "b"} << Rows{{"1", ""}};
        QTest::newRow("blanks kept") << QByteArray("a,b\r\n 1 , x\r\n") << QStringList{"a", "b"} << Rows{{" 1 ", " x"}};
        QTest::newRow("short and long rows") << QByteArray("a,b,c\n1\n1,2,3,4\n") << QStringList{"a", "b", "c"}
                                             << Rows{{"1", "", ""}, {"1", "2", "3"}};
        QTest::newRow("header only") << QByteArray("\xEF\xBB\xBFPhone,Name,Email\r\n")
                                     << QStringList{"Phone", "Name", "Email"} << Rows{};
    }
    void textDetails()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, columns);
        QFETCH(Rows, rows);
        const TextTableFile table(content, QStringLiteral("t.txt"));
        QCOMPARE(table.columns(), columns);
        QCOMPARE(allRows(table), rows);
    }

    // The workbook of members.xls in every layout of its container: as saved
    // (first in the mini stream), after the document summary in the mini
    // stream (as some programs write it; FreeXL alone misreads it), and
    // padded into ordinary sectors as Excel writes it.
    void readsTheWorkbookWhereverItsContainerKeepsIt()
    {
        QFile saved(data(QStringLiteral("members.xls")));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const std::optional<CompoundFile> container = CompoundFile::parse(saved.readAll());
        QVERIFY(container);
        const auto stream = [&](const QString &name) {
            const std::optional<CompoundFile::Stream> s = container->stream({name});
            return s ? container->read(*s).value_or(QByteArray()) : QByteArray();
        };
        const QByteArray workbook = stream(QStringLiteral("Workbook"));
        const QByteArray summary = stream(QStringLiteral("\x05SummaryInformation"));
        QVERIFY(workbook.size() > 0 && workbook.size() < int(CompoundFile::kMiniStreamCutoff) && summary.size() > 0);

        const QByteArray second = CompoundFile::build(
            {{QStringLiteral("\x05SummaryInformation"), summary}, {QStringLiteral("Workbook"), workbook}});
        const std::optional<CompoundFile> odd = CompoundFile::parse(second);
        QVERIFY(odd && odd->stream({QStringLiteral("workbook")})->mini);
        QVERIFY(!odd->startsTheMiniStreamInOrder(*odd->stream({QStringLiteral("Workbook")})));
        QCOMPARE(odd->read(*odd->stream({QStringLiteral("Workbook")})), workbook);

        const std::unique_ptr<TableFile> expected = TableFile::open(saved.fileName());
        for (const auto &[name, bytes] :
             {std::pair{QStringLiteral("second.xls"), second},
              std::pair{QStringLiteral("padded.xls"),
                        CompoundFile::build({{QStringLiteral("Workbook"), workbook.leftJustified(4096, '\0')}})}}) {
            try {
                const std::unique_ptr<TableFile> table = TableFile::open(write(name, bytes));
                QCOMPARE(table->columns(), expected->columns());
                QCOMPARE(allRows(*table), allRows(*expected));
            } catch (const TableFileError &e) {
                QFAIL(qPrintable(e.description()));
            }
        }

        // Cut short anywhere, the odd container is refused with a reason; it
        // is never read past its end.
        for (qsizetype size = 0; size < second.size(); size += 64) {
            try {
                TableFile::open(write(QStringLiteral("cut.xls"), second.left(size)));
            } catch (const TableFileError &) {
            }
        }
    }

    void refusesWhatItCannotRead_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("description");
        QTest::newRow("renamed PDF as xls") << data(QStringLiteral("report-renamed.xls")) << "Excel reader"
                                            << "report-renamed.xls is not an Excel 97-2003 workbook (.xls).";
        QTest::newRow("renamed PDF as txt") << data(QStringLiteral("report-renamed.txt")) << "Text reader"
                                            << "report-renamed.txt is not a text file.";
        QTest::newRow("xls without Sheet1") << data(QStringLiteral("members-no-sheet1.xls")) << "Excel reader"
                                            << "members-no-sheet1.xls has no worksheet named \"Sheet1\".";
        QTest::newRow("damaged workbook")
            << write(QStringLiteral("damaged.xls"), CompoundFile::build({{QStringLiteral("Workbook"), QByteArray(300, '\0')}}))
            << "Excel reader"
            << "damaged.xls cannot be read: the workbook in it is damaged or stored in a way this program cannot read.";
        QTest::newRow("empty txt") << write(QStringLiteral("empty.txt"), {}) << "Text reader"
                                   << "empty.txt is empty: it has no column names.";
        QTest::newRow("only a BOM") << write(QStringLiteral("bom.txt"), "\xEF\xBB\xBF") << "Text reader"
                                    << "bom.txt is empty: it has no column names.";
        QTest::newRow("not UTF-8") << write(QStringLiteral("latin.txt"), "Phone,Name\n1,Jos\xE9\n") << "Text reader"
                                   << "latin.txt is not UTF-8 text.";
        const QString missingXls = m_files.filePath(QStringLiteral("missing.xls"));
        QTest::newRow("missing xls") << missingXls << "Excel reader"
                                     << QStringLiteral("The file %1 does not exist.").arg(missingXls);
        const QString missingTxt = m_files.filePath(QStringLiteral("missing.txt"));
        QTest::newRow("missing txt") << missingTxt << "Text reader"
                                     << QStringLiteral("The file %1 does not exist.").arg(missingTxt);
        QTest::newRow("other type") << data(QStringLiteral("members.txt")) + QStringLiteral(".csv") << "Import"
                                    << "members.txt.csv is neither an Excel file (.xls) nor a text file (.txt).";
    }
    void refusesWhatItCannotRead()
    {
        QFETCH(QString, path);
        QFETCH(QString, source);
        QFETCH(QString, description);
        try {
            TableFile::open(path);
            QFAIL("opened");
        } catch (const TableFileError &e) {
            QCOMPARE(e.source(), source);
            QCOMPARE(e.description(), description);
        }
    }
    void importDataChecksTheFirstThreeColumns_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("rows");    // -1: refused
        QTest::addColumn<QString>("warning"); // the exclamation box shown
        QTest::newRow("members.xls") << data(QStringLiteral("members.xls")) << 6LL << QString();
        // The extension chooses the reader, in any letter case.
        QFile::copy(data(QStringLiteral("members.xls")), m_files.filePath(QStringLiteral("UPPER.XLS")));
        QFile::copy(data(QStringLiteral("members.txt")), m_files.filePath(QStringLiteral("Upper.Txt")));
        QTest::newRow("UPPER.XLS") << m_files.filePath(QStringLiteral("UPPER.XLS")) << 6LL << QString();
        QTest::newRow("Upper.Txt") << m_files.filePath(QStringLiteral("Upper.Txt")) << 4LL << QString();
        QTest::newRow("phone, NAME, Email and a fourth")
            << data(QStringLiteral("members-sheet1-second.xls")) << 1LL << QString();
        QTest::newRow("PHONE, Name, E-mail")
            << data(QStringLiteral("members-bad-columns.xls")) << -1LL
            << "Field No.3 (Email) doesn't match. Please change the Row1 - Column3 data to Email in data File.";
        QTest::newRow("Name first") << write(QStringLiteral("a.txt"), "Name,Phone,Email\n") << -1LL
                                    << "Field No.1 (Phone) doesn't match. Please change the Row1 - Column1 data to "
                                       "Phone in data File.";
        QTest::newRow("Email second") << write(QStringLiteral("b.txt"), "phone,Email,Name\n") << -1LL
                                      << "Field No.2 (Name) doesn't match. Please change the Row1 - Column2 data to "
                                         "Name in data File.";
        QTest::newRow("two columns") << write(QStringLiteral("c.txt"), "Phone,Name\n1,a\n") << -1LL
                                     << "Field No.3 (Email) doesn't match. Please change the Row1 - Column3 data to "
                                        "Email in data File.";
    }
    void importDataChecksTheFirstThreeColumns()
    {
        QFETCH(QString, file);
        QFETCH(qint64, rows);
        QFETCH(QString, warning);
        MemberImport import(db(), m_prompter, m_progress);
        const std::shared_ptr<const TableFile> read = import.importData(QStringLiteral(" ") + file + QStringLiteral(" "));
        if (rows < 0) {
            QVERIFY(!read);
            QCOMPARE(m_prompter.count(), 1);
            QCOMPARE(int(m_prompter.entries().at(0).icon), int(Prompter::Icon::Exclamation));
            QVERIFY2(m_prompter.contains(kTitle, warning), qPrintable(m_prompter.dump()));
        } else {
            QVERIFY2(read, qPrintable(m_prompter.dump()));
            QCOMPARE(read->rowCount(), rows);
            QCOMPARE(m_prompter.count(), 0);
        }
    }

    // Import Data and Save both tell why a file cannot be read, and store nothing.
    void unreadableFilesAreReported()
    {
        const QString message = kNotAccessible + "Excel reader - report-renamed.xls is not an Excel 97-2003 workbook (.xls).";
        const qint64 group = addGroup(QStringLiteral("Staff"));
        MemberImport import(db(), m_prompter, m_progress);
        QVERIFY(!import.importData(data(QStringLiteral("report-renamed.xls"))));
        QVERIFY2(m_prompter.contains(kTitle, message), qPrintable(m_prompter.dump()));
        m_prompter.clear();
        QVERIFY(save(import, data(QStringLiteral("report-renamed.xls")), QStringLiteral("Staff")).failed);
        QVERIFY2(m_prompter.count() == 1 && m_prompter.contains(kTitle, message), qPrintable(m_prompter.dump()));
        QCOMPARE(int(m_prompter.entries().at(0).icon), int(Prompter::Icon::Critical));
        QCOMPARE(stored(group), QStringList());
        // An empty path: nothing read, nothing said.
        m_prompter.clear();
        QVERIFY(!import.importData(QStringLiteral("   ")));
        QVERIFY(!save(import, QStringLiteral(" "), QStringLiteral("Staff")).failed);
        QCOMPARE(m_prompter.count(), 0);
    }

    void saveAppendsEveryRowAsRead_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("members");
        QTest::newRow("members.xls") << data(QStringLiteral("members.xls"))
                                     << QStringList{"Asha Rao|9876543210|asha@example.com",
                                                    "O'Brien|9876543211|ob@example.com", // 91 falls away
                                                    "Smith, John|9876543212|",           // so does 0; empty, not NULL
                                                    "Zoë Müller|9876543213|zoe@example.com",
                                                    "|9876543214|",
                                                    "Ravi Kumar|8765 43215|ravi@example.com"}; // last ten, blank and all
        QTest::newRow("short phone, empty phone, blanks kept")
            << write(QStringLiteral("short.txt"), "Phone,Name,Email\n98765, Lee ,l@x\n,Nobody,\n")
            << QStringList{" Lee |98765|l@x", "Nobody||"};
    }
    void saveAppendsEveryRowAsRead()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, members);
        const qint64 group = addGroup(QStringLiteral("O'Brien's \"best\""));
        MemberImport import(db(), m_prompter, m_progress);
        const MemberImport::SaveOutcome outcome = save(import, file, QStringLiteral("O'Brien's \"best\""));
        QCOMPARE(stored(group), members);
        QCOMPARE(outcome.saved, qint64(members.size()));
        QVERIFY2(m_prompter.contains(QStringLiteral("Success"),
                                     QStringLiteral("Group has been updated.\n\n%1 members saved.").arg(members.size())),
                 qPrintable(m_prompter.dump()));
    }

    // Save reads the columns by name: wherever they are, but all three must
    // be there. A second save appends.
    void saveFindsColumnsByNameAndAppends()
    {
        const qint64 group = addGroup(QStringLiteral("Staff"));
        MemberImport import(db(), m_prompter, m_progress);
        const QString any = write(QStringLiteral("any.txt"), "EMAIL,x,name,PHONE\ne@x,?,Kim,919000000001\n");
        save(import, any, QStringLiteral("Staff"));
        save(import, any, QStringLiteral("Staff"));
        QCOMPARE(stored(group), (QStringList{"Kim|9000000001|e@x", "Kim|9000000001|e@x"}));
        m_prompter.clear();
        QVERIFY(save(import, data(QStringLiteral("members-bad-columns.xls")), QStringLiteral("Staff")).failed);
        QVERIFY2(m_prompter.contains(kTitle, kNotAccessible + "Excel reader - The file has no column named Email."),
                 qPrintable(m_prompter.dump()));
        QCOMPARE(stored(group).size(), 2);
    }

    void saveWithoutAGroupStoresNothing()
    {
        MemberImport import(db(), m_prompter, m_progress);
        QVERIFY(save(import, data(QStringLiteral("members.xls")), QStringLiteral("Groups Not Available")).failed);
        QCOMPARE(m_prompter.count(), 1);
        QCOMPARE(int(m_prompter.entries().at(0).icon), int(Prompter::Icon::Exclamation));
        QVERIFY(m_prompter.entries().at(0).text.startsWith(QStringLiteral("There is no group to save to.")));

        // A group deleted since the screen listed it.
        m_prompter.clear();
        QVERIFY(save(import, data(QStringLiteral("members.xls")), QStringLiteral("Gone")).failed);
        QVERIFY2(m_prompter.contains(kTitle, QStringLiteral("The group \"Gone\" no longer exists. Open the screen again "
                                                            "for the current list of groups.\n\n0 members saved.")),
                 qPrintable(m_prompter.dump()));
        QCOMPARE(allMembers(), 0);
    }

    void aBigFileIsSavedInChunksAndCancelKeepsThoseSaved_data()
    {
        QTest::addColumn<int>("cancelAt");
        QTest::addColumn<QList<qint64>>("steps");
        QTest::addColumn<QString>("box");
        QTest::newRow("whole file") << 0 << QList<qint64>{10, 20, 25} << "Group has been updated.\n\n25 members saved.";
        QTest::newRow("cancelled") << 10 << QList<qint64>{10} << "Saving was cancelled: 10 of 25 members were saved.";
    }
    void aBigFileIsSavedInChunksAndCancelKeepsThoseSaved()
    {
        QFETCH(int, cancelAt);
        QFETCH(QList<qint64>, steps);
        QFETCH(QString, box);
        const qint64 group = addGroup(QStringLiteral("Staff"));
        MemberImport import(db(), m_prompter, m_progress, 10);
        m_progress.cancelAt = cancelAt;
        const MemberImport::SaveOutcome outcome = save(import, numbered(25), QStringLiteral("Staff"));
        QCOMPARE(outcome.cancelled, cancelAt > 0);
        QCOMPARE(outcome.saved, steps.last());
        QCOMPARE(m_progress.steps, steps);
        QCOMPARE(stored(group).size(), steps.last());
        QCOMPARE(stored(group).last(), QStringLiteral("M%1|%2|").arg(steps.last()).arg(9000000000LL + steps.last()));
        QCOMPARE(m_prompter.entries().value(0).text, box);
        QCOMPARE(m_progress.total_, 25);
        QCOMPARE(m_progress.ended, 1);
    }

    // A failing insert (the disk full, faked by a trigger at the 16th row), or
    // a commit refused (a deferred constraint the 15th row breaks), keeps and
    // counts what was committed before it.
    void aFailingInsertReportsExactlyWhatWasStored_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::addColumn<int>("kept");
        QTest::addColumn<QString>("fault");
        const QString full = QStringLiteral("CREATE TRIGGER full_disk BEFORE INSERT ON groups_mem WHEN (SELECT count(*) "
                                            "FROM groups_mem) >= 15 BEGIN SELECT RAISE(ROLLBACK, 'disk is full'); END");
        QTest::newRow("chunks of 10") << 10 << 10 << full;
        QTest::newRow("chunks of 5") << 5 << 15 << full;
        QTest::newRow("one chunk") << 100 << 0 << full;
        QTest::newRow("commit refused") << 10 << 10
                                        << "PRAGMA foreign_keys = ON; CREATE TABLE parent (id INTEGER PRIMARY KEY); "
                                           "CREATE TABLE child (p INTEGER REFERENCES parent (id) DEFERRABLE INITIALLY "
                                           "DEFERRED); CREATE TRIGGER refused AFTER INSERT ON groups_mem WHEN (SELECT "
                                           "count(*) FROM groups_mem) = 15 BEGIN INSERT INTO child VALUES (1); END";
    }
    void aFailingInsertReportsExactlyWhatWasStored()
    {
        QFETCH(int, chunk);
        QFETCH(int, kept);
        QFETCH(QString, fault);
        const qint64 group = addGroup(QStringLiteral("Staff"));
        db().execScript(fault);
        MemberImport import(db(), m_prompter, m_progress, chunk);
        const MemberImport::SaveOutcome outcome = save(import, numbered(25), QStringLiteral("Staff"));
        QVERIFY(outcome.failed);
        QCOMPARE(outcome.saved, kept);
        QCOMPARE(stored(group).size(), kept);
        QCOMPARE(m_prompter.count(), 1);
        const RecordingPrompter::Entry &box = m_prompter.entries().at(0);
        QCOMPARE(box.title, kTitle);
        QVERIFY2(box.text.startsWith(kNotAccessible + QStringLiteral("Database - ")), qPrintable(box.text));
        QVERIFY2(box.text.endsWith(QStringLiteral("\n\n%1 members saved.").arg(kept)), qPrintable(box.text));
        QVERIFY(!db().inTransaction());
    }

    void fileNameIsTheDateWithoutSlashes()
    {
        QCOMPARE(GroupBackup::fileName(QDate(2026, 12, 5)), QStringLiteral("backup-1252026.txt"));
        QCOMPARE(GroupBackup::fileName(QDate(2027, 1, 1)), QStringLiteral("backup-112027.txt"));
        QCOMPARE(GroupBackup::fileName(QDate(2026, 10, 31)), QStringLiteral("backup-10312026.txt"));
    }

    // One line per member of an existing group; subscription dates as their
    // display text, whatever form they were stored in.
    void writesOneLinePerMemberOfAnExistingGroup()
    {
        const qint64 staff = addGroup(QStringLiteral("Staff"));
        addMember(staff, "Asha", "9876543210", "a@x.in", "2026-03-01 09:05:00", "2026-12-31 23:59:59");
        addMember(staff, QVariant(), QStringLiteral("9876543211"), QVariant());
        addMember(999, QStringLiteral("Orphan"), QStringLiteral("9000000000"), QStringLiteral("o@x")); // no such group
        addMember(staff, "N", "1", QString(), "2026-03-01 00:05:00", "3/1/2026 9:05 AM");
        addMember(staff, "N", "2", QString(), "soon", "2026-02-30 10:00:00");
        QVERIFY(QCoro::waitFor(backup().run()));
        QCOMPARE(content(), QByteArray("Staff,Asha,9876543210,a@x.in,0,3/1/2026 9:05:00 AM,12/31/2026 11:59:59 PM\r\n"
                                       "Staff,,9876543211,,0,,\r\n"
                                       "Staff,N,1,,0,3/1/2026 12:05:00 AM,3/1/2026 9:05:00 AM\r\n"
                                       "Staff,N,2,,0,soon,2026-02-30 10:00:00\r\n"));
        QVERIFY(m_prompter.entries().at(0).question);
        QCOMPARE(m_prompter.entries().at(1).text, QStringLiteral("Backup Created"));
        QCOMPARE(m_prompter.count(), 2);
    }

    void cancelWritesNothingAndAnEmptyDatabaseAnEmptyFile()
    {
        m_prompter.queueAnswer(false);
        QVERIFY(!QCoro::waitFor(backup().run()));
        QVERIFY(!QFile::exists(backupPath()));
        QCOMPARE(m_prompter.count(), 1);
        QVERIFY(QCoro::waitFor(backup().run()));
        QCOMPARE(content(), QByteArray());
    }

    // The second backup of the day replaces the first. Names and numbers
    // are for the user alone: a new backup and one that replaces a file
    // readable by others are both 0600, whatever the umask.
    void theSecondBackupOfTheDayReplacesTheFirstKeepingItPrivate()
    {
        const Umask common(022);
        const qint64 staff = addGroup(QStringLiteral("Staff"));
        addMember(staff, QStringLiteral("First"), QStringLiteral("1"), QString());
        addMember(staff, QStringLiteral("Second"), QStringLiteral("2"), QString());
        QVERIFY(QCoro::waitFor(backup().run()));
        QCOMPARE(modeOf(backupPath()), 0600);
        QVERIFY(QFile::setPermissions(backupPath(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        db().exec(QStringLiteral("DELETE FROM groups_mem WHERE group_mem_name = 'Second'"));
        m_now = m_now.addSecs(3600);
        QVERIFY(QCoro::waitFor(backup().run()));
        QCOMPARE(content(), QByteArray("Staff,First,1,,0,,\r\n"));
        QCOMPARE(modeOf(backupPath()), 0600);
        QCOMPARE(QDir(m_target).entryList(QDir::Files), QStringList{"backup-1252026.txt"});
    }

    // A value with a comma, a quote or a line break is quoted; each line then
    // splits back into the seven values stored.
    void quotedValuesSplitBackIntoSeven()
    {
        const QStringList awkward{QStringLiteral("Smith, John"), QStringLiteral("Said \"hi\""),
                                  QStringLiteral("two\r\nlines"), QStringLiteral("lf\nonly"),
                                  QStringLiteral("O'Brien"), QStringLiteral(" blanks "), QStringLiteral("\"")};
        const qint64 group = addGroup(QStringLiteral("Sales, \"North\""));
        for (const QString &name : awkward)
            addMember(group, name, QStringLiteral("98765,43210"), name);
        QVERIFY(QCoro::waitFor(backup().run()));

        const TextTableFile lines(QByteArray("h1,h2,h3,h4,h5,h6,h7\r\n") + content(), QStringLiteral("backup"));
        QCOMPARE(lines.rowCount(), awkward.size());
        for (qint64 i = 0; i < lines.rowCount(); ++i) {
            const QStringList expected{QStringLiteral("Sales, \"North\""), awkward.at(i), QStringLiteral("98765,43210"),
                                       awkward.at(i), QStringLiteral("0"), QString(), QString()};
            QCOMPARE(lines.row(i), expected);
        }
    }

    void anUnwritableFileIsReported()
    {
        addGroup(QStringLiteral("Staff"));
        m_target = m_dir->filePath(QStringLiteral("no/such/dir"));
        QVERIFY(!QCoro::waitFor(backup().run()));
        QCOMPARE(m_prompter.count(), 2);
        const RecordingPrompter::Entry &box = m_prompter.entries().at(1);
        QCOMPARE(int(box.icon), int(Prompter::Icon::Critical));
        QVERIFY2(box.text.startsWith(QStringLiteral("The backup file %1 could not be written: ").arg(backupPath())),
                 qPrintable(box.text));
    }
};

QTEST_GUILESS_MAIN(TestContacts)
#include "tst_memberfiles.moc"
