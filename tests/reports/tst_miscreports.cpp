// frmRptGroups' logic: its choice lists and the group-members and
// sent-messages reports, read back from the PDFs they make.
#include "Database.h"
#include "Groups.h"
#include "MiscReports.h"
#include "PdfExport.h"
#include "PdfText.h"
#include "RecordingProgress.h"
#include "RecordingPrompter.h"
#include "SharedStore.h"
#include "Store.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tavsms;

class TestMiscReports : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    Store *m_store = nullptr;
    test::RecordingPrompter m_prompter;

    Database &db() { return m_store->db(); }

    qint64 addGroup(const QString &name) { return Groups(db()).create(name, QDateTime::currentDateTime()); }
    void addMember(qint64 group, const QString &name, const QString &mobile, const QString &email)
    {
        db().exec(QStringLiteral("INSERT INTO groups_mem (group_name, group_mem_name, group_mem_mobile, "
                                 "group_mem_email) VALUES (?, ?, ?, ?)"),
                  {group, name, mobile, email});
    }
    void addSent(const QString &dated, const QString &mobile, const QString &text, const QString &status,
                 const QString &sentFrom)
    {
        db().exec(QStringLiteral("INSERT INTO q_logs (dated, com_port, outgoing_mobileNo, outgoing_message, status, "
                                 "sent_at, sent_from) VALUES (?, 'Auto', ?, ?, ?, ?, ?)"),
                  {dated, mobile, text, status, sentFrom.isEmpty() ? QVariant() : QVariant(dated),
                   sentFrom.isEmpty() ? QVariant() : QVariant(sentFrom)});
    }
    // The report's text as a PDF reader sees it.
    QString rendered(const Report &report)
    {
        const QString path = m_dir.filePath(QStringLiteral("report.pdf"));
        QObject guard;
        test::RecordingProgress progress;
        const PdfExport::Outcome outcome = QCoro::waitFor(PdfExport::save(report, path, progress, guard));
        if (!outcome.saved())
            return QStringLiteral("not saved: ") + outcome.error;
        return test::pdfText(path);
    }
    MiscReports reports(QDate today = QDate(2026, 12, 7)) { return MiscReports(db(), m_prompter, today); }

private Q_SLOTS:
    void init()
    {
        m_store = &test::freshStore();
        m_prompter.clear();
        db().exec(QStringLiteral("UPDATE config_network SET productSite = ?"), {QStringLiteral("www.tavsms.example")});
        const qint64 staff = addGroup(QStringLiteral("Staff"));
        addGroup(QStringLiteral("Empty"));
        const qint64 alpha = addGroup(QStringLiteral("Alpha"));
        addMember(staff, QStringLiteral("Asha"), QStringLiteral("9800000001"), QStringLiteral("asha@example.org"));
        addMember(staff, QStringLiteral("Ravi"), QStringLiteral("9800000002"), QString());
        addMember(alpha, QStringLiteral("Zed"), QStringLiteral("9800000003"), QStringLiteral("zed@example.org"));

        addSent(QStringLiteral("2026-12-04 23:59:00"), QStringLiteral("9700000001"), QStringLiteral("late one"),
                QStringLiteral("Delivered"), QStringLiteral("COM3"));
        addSent(QStringLiteral("2026-12-05 00:00:00"), QStringLiteral("9700000002"), QStringLiteral("midnight one"),
                QStringLiteral("Pending"), QString());
        addSent(QStringLiteral("2026-12-06 10:00:00"), QStringLiteral("9700000003"), QStringLiteral("gateway one"),
                QStringLiteral("Delivered"), QStringLiteral("WEBGATEWAY"));
        addSent(QStringLiteral("2026-12-06 11:00:00"), QStringLiteral("9700000004"), QStringLiteral("port one"),
                QStringLiteral("Delivered"), QStringLiteral("COM1"));
    }
    void choiceLists_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("lastYear");
        QTest::newRow("2026") << QDate(2026, 12, 7) << "2026";
        QTest::newRow("2031") << QDate(2031, 1, 1) << "2031";
    }
    void choiceLists()
    {
        QFETCH(QDate, today);
        QFETCH(QString, lastYear);
        const std::optional<MiscReports::State> state = reports(today).load();
        QVERIFY(state);
        QCOMPARE(state->groups, (QStringList{"All", "Alpha", "Empty", "Staff"}));
        QCOMPARE(state->connections, (QStringList{"Software Port 1", "Software Port 2", "Software Port 3",
                                                  "Software Port 4", "Software Port 5", "WEBGATEWAY"}));
        QCOMPARE(state->years.last(), lastYear);
        QCOMPARE(state->years.at(state->yearIndex), lastYear);
    }

    void groupMembers_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("all") << "" << QStringList{"Alpha", "Zed", "Asha", "asha@example.org", "Ravi"} << QStringList{};
        QTest::newRow("one group") << "Staff" << QStringList{"Asha", "9800000001", "Ravi", "9800000002"}
                                   << QStringList{"Zed", "9800000003"};
        QTest::newRow("no members") << "Empty" << QStringList{} << QStringList{"Asha", "Zed", "Staff", "Alpha"};
    }
    void groupMembers()
    {
        QFETCH(QString, group);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, absent);
        const std::optional<Report> report =
            reports().groupMembers(group.isEmpty() ? std::nullopt : std::optional<QString>(group));
        QVERIFY(report);
        QCOMPARE(report->caption, QStringLiteral("Group Members"));
        const QString text = rendered(*report);
        QVERIFY2(text.startsWith(QStringLiteral("Group Members")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Report Generated by TAVSMS Bulk SMS Software. visit www.tavsms.example")));
        qsizetype at = 0;
        for (const QString &value : shown) {
            const qsizetype found = text.indexOf(value, at);
            QVERIFY2(found > at, qPrintable(value + QStringLiteral(" in order\n") + text));
            at = found;
        }
        for (const QString &value : absent)
            QVERIFY2(!text.contains(value), qPrintable(value));
        QVERIFY(m_prompter.entries().isEmpty());
    }

    void sentByConnection_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("port 3") << "Software Port 3" << QStringList{"9700000001"};
        QTest::newRow("port 1") << "Software Port 1" << QStringList{"9700000004"};
        QTest::newRow("gateway") << "WEBGATEWAY" << QStringList{"9700000003"};
        QTest::newRow("port 5") << "Software Port 5" << QStringList{};
    }
    void sentByConnection()
    {
        QFETCH(QString, choice);
        QFETCH(QStringList, shown);
        const std::optional<Report> report = reports().sentByConnection(choice);
        QVERIFY(report);
        QCOMPARE(report->caption, QStringLiteral("Messages Sent By Connection ") + choice);
        QCOMPARE(report->total, qint64(shown.size()));
        const QString text = rendered(*report);
        QVERIFY2(text.startsWith(QStringLiteral("Messages Sent by Connection")), qPrintable(text));
        for (int n = 1; n <= 4; ++n) {
            const QString number = QStringLiteral("970000000%1").arg(n);
            QCOMPARE(text.contains(number), shown.contains(number));
        }
    }

    void sentSinceADate()
    {
        const std::optional<Report> report = reports().sentSince(5, 12, 2026);
        QVERIFY(report);
        QCOMPARE(report->caption, QStringLiteral("Messages Sent On and After Date 12/5/2026"));
        QCOMPARE(report->total, qint64(3));
        const QString text = rendered(*report);
        // Newest queued first, every status; the evening before is left out.
        const qsizetype port = text.indexOf(QStringLiteral("port one"));
        const qsizetype gateway = text.indexOf(QStringLiteral("gateway one"));
        const qsizetype midnight = text.indexOf(QStringLiteral("midnight one"));
        QVERIFY2(port > 0 && gateway > port && midnight > gateway, qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("12/5/2026 12:00:00 AM")));
        QVERIFY(text.contains(QStringLiteral("Pending")));
        QVERIFY(!text.contains(QStringLiteral("late one")));
    }

    void impossibleDate_data()
    {
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::newRow("31 April") << 31 << 4 << 2026;
        QTest::newRow("29 February 2026") << 29 << 2 << 2026;
        QTest::newRow("31 February") << 31 << 2 << 2008;
    }
    void impossibleDate()
    {
        QFETCH(int, day);
        QFETCH(int, month);
        QFETCH(int, year);
        QVERIFY(!reports().sentSince(day, month, year));
        QCOMPARE(m_prompter.entries().size(), 1);
        QCOMPARE(m_prompter.entries().first().text, QStringLiteral("An error has been occured!!"));
    }

    void storeFailures()
    {
        db().execScript(QStringLiteral("ALTER TABLE q_logs RENAME TO gone; ALTER TABLE groups_mem RENAME TO gone_too"));
        QVERIFY(!reports().sentByConnection(QStringLiteral("WEBGATEWAY")));
        QVERIFY(!reports().sentSince(1, 1, 2026));
        QVERIFY(!reports().groupMembers(std::nullopt));
        QCOMPARE(m_prompter.entries().size(), 3);
        QCOMPARE(m_prompter.entries().at(0).text, QStringLiteral("An error has been occured!!"));
        QCOMPARE(m_prompter.entries().at(1).text, QStringLiteral("An error has been occured!!"));
        const QString group = m_prompter.entries().at(2).text;
        QVERIFY2(group.contains(QStringLiteral("no such table")) && group.contains(QStringLiteral(" : Database : 1")),
                 qPrintable(group));
    }
};

QTEST_MAIN(TestMiscReports)
#include "tst_miscreports.moc"
