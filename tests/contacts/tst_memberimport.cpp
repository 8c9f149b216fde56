// The import screen's logic: the column check, the file errors, and saving
// members in chunks with the count told being the count stored.
#include "Groups.h"
#include "MemberImport.h"
#include "RecordingProgress.h"
#include "RecordingPrompter.h"
#include "SharedStore.h"
#include "Store.h"
#include "TableFile.h"

#include <QCoroTask>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test;

namespace {

const QString kTitle = QStringLiteral("Error Occured");
const QString kNotAccessible = QStringLiteral("Error Occured: File is not accessiable; ");

QString data(const QString &name)
{
    return QStringLiteral(TAVSMS_TEST_DATA_DIR "/") + name;
}

} // namespace

class TestMemberImport : public QObject
{
    Q_OBJECT

    Store *m_store = nullptr;
    RecordingPrompter m_prompter;
    RecordingProgress m_progress;
    QTemporaryDir m_files; // files the data rows write

    Database &db() { return m_store->db(); }
    qint64 addGroup(const QString &name) { return Groups(db()).create(name, QDateTime::currentDateTime()); }
    // "name|mobile|email" of each member of the group, oldest first; NULL shows as <null>.
    QStringList stored(qint64 group)
    {
        QStringList out;
        Statement st = db().prepare(QStringLiteral("SELECT group_mem_name, group_mem_mobile, group_mem_email FROM "
                                                   "groups_mem WHERE group_name = ? ORDER BY id"));
        st.bind(1, group);
        while (st.next()) {
            QStringList cells;
            for (int i = 0; i < 3; ++i)
                cells << (st.value(i).isNull() ? QStringLiteral("<null>") : st.value(i).toString());
            out << cells.join(QLatin1Char('|'));
        }
        return out;
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

private Q_SLOTS:
    void init()
    {
        m_store = &freshStore();
        m_prompter.clear();
        m_progress = RecordingProgress();
    }

    void loadListsGroupsAscendingOrNone()
    {
        MemberImport import(db(), m_prompter, m_progress);
        QCOMPARE(import.load()->groups, QStringList{"Groups Not Available"});
        addGroup(QStringLiteral("Staff"));
        addGroup(QStringLiteral("Customers"));
        QCOMPARE(import.load()->groups, (QStringList{"Customers", "Staff"}));
    }

    void importDataChecksTheFirstThreeColumns_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("rows");    // -1: refused
        QTest::addColumn<QString>("warning"); // the exclamation box shown
        QTest::newRow("members.xls") << data(QStringLiteral("members.xls")) << 6LL << QString();
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
    void unreadableFilesAreReported_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("renamed PDF") << data(QStringLiteral("report-renamed.xls"))
                                     << "Excel reader - report-renamed.xls is not an Excel 97-2003 workbook (.xls).";
        const QString missing = m_files.filePath(QStringLiteral("gone.xls"));
        QTest::newRow("missing") << missing << QStringLiteral("Excel reader - The file %1 does not exist.").arg(missing);
    }
    void unreadableFilesAreReported()
    {
        QFETCH(QString, file);
        QFETCH(QString, message);
        const qint64 group = addGroup(QStringLiteral("Staff"));
        MemberImport import(db(), m_prompter, m_progress);
        QVERIFY(!import.importData(file));
        QVERIFY2(m_prompter.contains(kTitle, kNotAccessible + message), qPrintable(m_prompter.dump()));
        m_prompter.clear();
        QVERIFY(save(import, file, QStringLiteral("Staff")).failed);
        QVERIFY2(m_prompter.contains(kTitle, kNotAccessible + message), qPrintable(m_prompter.dump()));
        QCOMPARE(m_prompter.count(), 1);
        QCOMPARE(int(m_prompter.entries().at(0).icon), int(Prompter::Icon::Critical));
        QCOMPARE(stored(group), QStringList());
    }

    void anEmptyPathDoesNothing()
    {
        addGroup(QStringLiteral("Staff"));
        MemberImport import(db(), m_prompter, m_progress);
        QVERIFY(!import.importData(QStringLiteral("   ")));
        QVERIFY(!save(import, QStringLiteral(" "), QStringLiteral("Staff")).failed);
        QCOMPARE(m_prompter.count(), 0);
        QCOMPARE(allMembers(), 0);
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
        QTest::newRow("members.txt") << data(QStringLiteral("members.txt"))
                                     << QStringList{"Asha Rao|9876543210|asha@example.com",
                                                    "O'Brien|9876543211|ob@example.com",
                                                    "Smith, John|9876543212|",
                                                    "Said \"hi\"|9876543213|zoe@example.com"};
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

    // A failing insert (the disk full, faked by a trigger after 15 rows) keeps
    // and counts what was committed before it.
    void aFailingInsertReportsExactlyWhatWasStored_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::addColumn<int>("kept");
        QTest::newRow("chunks of 10") << 10 << 10;
        QTest::newRow("chunks of 5") << 5 << 15;
        QTest::newRow("one chunk") << 100 << 0;
    }
    void aFailingInsertReportsExactlyWhatWasStored()
    {
        QFETCH(int, chunk);
        QFETCH(int, kept);
        const qint64 group = addGroup(QStringLiteral("Staff"));
        db().execScript(QStringLiteral(
            "CREATE TRIGGER full_disk BEFORE INSERT ON groups_mem WHEN (SELECT count(*) FROM groups_mem) >= 15 "
            "BEGIN SELECT RAISE(ROLLBACK, 'database or disk is full'); END"));
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
};

QTEST_GUILESS_MAIN(TestMemberImport)
#include "tst_memberimport.moc"
