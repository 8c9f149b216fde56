// "Backup Groups": the dated file, its lines, and the quoting that lets each
// line split back into its seven values.
#include "GroupBackup.h"
#include "Groups.h"
#include "RecordingPrompter.h"
#include "SharedStore.h"
#include "Store.h"
#include "TestDataDirectory.h"
#include "TextTableFile.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test;

class TestGroupBackup : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    Store *m_store = nullptr;
    RecordingPrompter m_prompter;
    QString m_target;  // the directory the backup goes to
    QDateTime m_now{QDate(2026, 12, 5), QTime(10, 18, 46)};

    Database &db() { return m_store->db(); }
    qint64 addGroup(const QString &name) { return Groups(db()).create(name, m_now); }
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
    QString path() const { return QDir(m_target).filePath(QStringLiteral("backup-1252026.txt")); }
    QByteArray content() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = &freshStore();
        m_target = m_dir->path();
        m_prompter.clear();
    }

    void fileNameIsTheDateWithoutSlashes_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("name");
        QTest::newRow("5 December 2026") << QDate(2026, 12, 5) << "backup-1252026.txt";
        QTest::newRow("1 January 2027") << QDate(2027, 1, 1) << "backup-112027.txt";
        QTest::newRow("31 October 2026") << QDate(2026, 10, 31) << "backup-10312026.txt";
    }
    void fileNameIsTheDateWithoutSlashes()
    {
        QFETCH(QDate, day);
        QFETCH(QString, name);
        QCOMPARE(GroupBackup::fileName(day), name);
    }

    void writesOneLinePerMemberOfAnExistingGroup()
    {
        const qint64 staff = addGroup(QStringLiteral("Staff"));
        addMember(staff, QStringLiteral("Asha"), QStringLiteral("9876543210"), QStringLiteral("a@x.in"),
                  QStringLiteral("2026-03-01 09:05:00"), QStringLiteral("2026-12-31 23:59:59"));
        addMember(staff, QVariant(), QStringLiteral("9876543211"), QVariant());
        addMember(999, QStringLiteral("Orphan"), QStringLiteral("9000000000"), QStringLiteral("o@x")); // no such group
        QVERIFY(QCoro::waitFor(backup().run()));
        QCOMPARE(content(), QByteArray("Staff,Asha,9876543210,a@x.in,0,3/1/2026 9:05:00 AM,12/31/2026 11:59:59 PM\r\n"
                                       "Staff,,9876543211,,0,,\r\n"));
        QVERIFY(m_prompter.entries().at(0).question);
        QCOMPARE(m_prompter.entries().at(1).text, QStringLiteral("Backup Created"));
        QCOMPARE(m_prompter.count(), 2);
    }

    // Subscription dates are written as their display text, whatever form they were stored in.
    void datesAreWrittenAsDisplayText_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("written");
        QTest::newRow("after midnight") << "2026-03-01 00:05:00" << "3/1/2026 12:05:00 AM";
        QTest::newRow("display text") << "3/1/2026 9:05 AM" << "3/1/2026 9:05:00 AM";
        QTest::newRow("not a date") << "soon" << "soon";
        QTest::newRow("no such day") << "2026-02-30 10:00:00" << "2026-02-30 10:00:00";
    }
    void datesAreWrittenAsDisplayText()
    {
        QFETCH(QString, stored);
        QFETCH(QString, written);
        addMember(addGroup(QStringLiteral("G")), QStringLiteral("N"), QStringLiteral("1"), QString(), stored);
        QVERIFY(QCoro::waitFor(backup().run()));
        QCOMPARE(QString::fromUtf8(content()), QStringLiteral("G,N,1,,0,%1,\r\n").arg(written));
    }

    void cancelWritesNothingAndAnEmptyDatabaseAnEmptyFile()
    {
        m_prompter.queueAnswer(false);
        QVERIFY(!QCoro::waitFor(backup().run()));
        QVERIFY(!QFile::exists(path()));
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
        QCOMPARE(modeOf(path()), 0600);
        QVERIFY(QFile::setPermissions(path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        db().exec(QStringLiteral("DELETE FROM groups_mem WHERE group_mem_name = 'Second'"));
        m_now = m_now.addSecs(3600);
        QVERIFY(QCoro::waitFor(backup().run()));
        QCOMPARE(content(), QByteArray("Staff,First,1,,0,,\r\n"));
        QCOMPARE(modeOf(path()), 0600);
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
        QVERIFY(content().startsWith("\"Sales, \"\"North\"\"\",\"Smith, John\",\"98765,43210\""));
        QVERIFY(content().contains("\r\n\"Sales, \"\"North\"\"\",O'Brien,\"98765,43210\",O'Brien,0,,\r\n"));
    }

    void anUnwritableFileIsReported()
    {
        addGroup(QStringLiteral("Staff"));
        m_target = m_dir->filePath(QStringLiteral("no/such/dir"));
        QVERIFY(!QCoro::waitFor(backup().run()));
        QCOMPARE(m_prompter.count(), 2);
        const RecordingPrompter::Entry &box = m_prompter.entries().at(1);
        QCOMPARE(int(box.icon), int(Prompter::Icon::Critical));
        QVERIFY2(box.text.startsWith(QStringLiteral("The backup file %1 could not be written: ").arg(path())),
                 qPrintable(box.text));
    }
};

QTEST_GUILESS_MAIN(TestGroupBackup)
#include "tst_groupbackup.moc"
