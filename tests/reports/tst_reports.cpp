// The report engine (pages, headings, footer and "End of Report" as a PDF
// reader sees them; saving that is cancelled or cannot write) and the
// reports of frmRptGroups: its choice lists, the group members and the
// messages sent, read back from the PDFs they make.
#include "Groups.h"
#include "MiscReports.h"
#include "PdfExport.h"
#include "PdfText.h"
#include "RecordingProgress.h"
#include "RecordingPrompter.h"
#include "ReportPage.h"
#include "SharedStore.h"
#include "Store.h"

#include <QCoroTask>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tavsms;

namespace {

Report reportOf(int count, const QString &title = QStringLiteral("Group Members"))
{
    Report report;
    report.caption = title;
    report.layout.title = title;
    report.layout.headings = {"Group Name", "Member Name", "Mobile Number"};
    report.layout.footer = ReportLayout::footerFor(QStringLiteral("www.example.org"));
    report.total = count;
    report.open = [count] {
        QList<QStringList> rows;
        for (int i = 0; i < count; ++i)
            rows << QStringList{QStringLiteral("Group%1").arg(i / 100), QStringLiteral("Member%1").arg(i),
                                QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0'))};
        return std::make_unique<ListRows>(rows);
    };
    return report;
}

PdfExport::Outcome save(const Report &report, const QString &path, test::RecordingProgress &progress)
{
    QObject guard;
    return QCoro::waitFor(PdfExport::save(report, path, progress, guard));
}

int pagesOf(const QString &text) { return int(text.count(QLatin1Char('\f'))); }

} // namespace

class TestReports : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Store *m_store = nullptr;
    test::RecordingPrompter m_prompter;

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
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
        const QString file = path("report.pdf");
        test::RecordingProgress progress;
        const PdfExport::Outcome outcome = save(report, file, progress);
        return outcome.saved() ? test::pdfText(file) : QStringLiteral("not saved: ") + outcome.error;
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

    void pdfCarriesEveryRowAndThePageFurniture_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("minPages");
        QTest::newRow("no rows") << 0 << 1;
        QTest::newRow("one page") << 7 << 1;
        QTest::newRow("several pages") << 260 << 4;
    }
    void pdfCarriesEveryRowAndThePageFurniture()
    {
        QFETCH(int, rows);
        QFETCH(int, minPages);
        const QString file = path("report.pdf");
        test::RecordingProgress progress;
        const PdfExport::Outcome outcome = save(reportOf(rows), file, progress);
        QVERIFY2(outcome.saved(), qPrintable(outcome.error));
        QCOMPARE(outcome.render.rows, qint64(rows));
        QCOMPARE(progress.begun, 1);
        QCOMPARE(progress.ended, 1);
        QCOMPARE(progress.total_, qint64(rows));
        QCOMPARE(progress.steps.last(), qint64(rows));
        QVERIFY(!QFile::exists(file + QStringLiteral(".part")));

        const QString text = test::pdfText(file);
        const int pages = pagesOf(text);
        QCOMPARE(pages, outcome.render.pages);
        QVERIFY2(pages >= minPages, qPrintable(QString::number(pages)));
        // The title once, on the first page; headings, footer and number on every page.
        QCOMPARE(text.count(QStringLiteral("Group Members")), 1);
        QCOMPARE(text.count(QStringLiteral("Member Name")), pages);
        QCOMPARE(text.count(QStringLiteral("Report Generated by TAVSMS Bulk SMS Software. visit www.example.org")),
                 pages);
        const QStringList pageTexts = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        for (int p = 0; p < pages; ++p)
            QVERIFY2(pageTexts.at(p).contains(QRegularExpression(QStringLiteral("Page %1\\s*$").arg(p + 1))),
                     qPrintable(pageTexts.at(p)));
        // Every row once, in order, and "End of Report" after the last.
        qsizetype at = 0;
        for (int i = 0; i < rows; ++i) {
            const QString number = QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0'));
            const qsizetype found = text.indexOf(QStringLiteral("Member%1 ").arg(i), at);
            QVERIFY2(found >= 0, qPrintable(QStringLiteral("row %1 missing").arg(i)));
            QVERIFY(text.indexOf(number, found) > found);
            at = found;
        }
        QCOMPARE(text.count(QStringLiteral("End of Report")), 1);
        QVERIFY(text.indexOf(QStringLiteral("End of Report")) > at);
        QVERIFY(pageTexts.last().contains(QStringLiteral("End of Report")));
    }

    // Around a full page: nothing lost or repeated, "End of Report" once,
    // on a page of its own when the rows fill the last page.
    void lastPageBoundaries()
    {
        const QSizeF a4 = ReportPage::a4Landscape();
        QImage canvas(a4.toSize(), QImage::Format_RGB32);
        canvas.setDotsPerMeterX(2835); // 72 dpi: one pixel a point
        canvas.setDotsPerMeterY(2835);
        const Report big = reportOf(500);
        qint64 perFirstPage = 0;
        {
            ReportPage page(big.layout, a4);
            QPainter painter(&canvas);
            perFirstPage = page.paint(painter, 1, *big.open()).rows;
        }
        QVERIFY(perFirstPage > 10);
        for (qint64 count = perFirstPage - 2; count <= perFirstPage + 2; ++count) {
            const Report report = reportOf(int(count));
            const std::unique_ptr<ReportRows> rows = report.open();
            ReportPage page(report.layout, a4);
            qint64 painted = 0;
            int pages = 0;
            int finishes = 0;
            for (int n = 1; n <= 5 && finishes == 0; ++n) {
                QPainter painter(&canvas);
                const ReportPage::Result r = page.paint(painter, n, *rows);
                painted += r.rows;
                finishes += r.finished;
                ++pages;
            }
            QCOMPARE(painted, count);
            QCOMPARE(finishes, 1);
            QVERIFY2(pages == (count < perFirstPage ? 1 : 2), qPrintable(QString::number(count)));
        }
    }

    void longTextWraps()
    {
        Report report = reportOf(0);
        const QString text = QStringLiteral("start ") + QStringLiteral("word ").repeated(60) + QStringLiteral("finish");
        report.open = [text] { return std::make_unique<ListRows>(QList<QStringList>{{"G", text, "9800000000"}}); };
        const QString file = path("wrapped.pdf");
        test::RecordingProgress progress;
        QVERIFY(save(report, file, progress).saved());
        const QString read = test::pdfText(file);
        QVERIFY(read.contains(QStringLiteral("start")));
        QVERIFY2(read.contains(QStringLiteral("finish")), qPrintable(read));
        QVERIFY2(read.count(QStringLiteral("word")) == 60, qPrintable(read));
    }

    // A save cancelled, one that cannot write its file and one that cannot
    // read its rows: no file and no half file, an older report as it was.
    void aSaveThatDoesNotFinishLeavesNoFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("error"); // what the outcome says
        QTest::newRow("cancelled") << "older.pdf" << "";
        QTest::newRow("no such folder") << "no/such/folder/report.pdf" << "The report cannot be saved as %1";
        QTest::newRow("the rows cannot be read") << "older.pdf" << "no such table: q_logs";
    }
    void aSaveThatDoesNotFinishLeavesNoFile()
    {
        QFETCH(QString, file);
        QFETCH(QString, error);
        file = m_dir.filePath(file);
        QFile old(file);
        if (old.open(QIODevice::WriteOnly))
            old.write("older report");
        old.close();
        Report report = reportOf(5000);
        if (error.startsWith(QLatin1String("no such table")))
            report.open = []() -> std::unique_ptr<ReportRows> { throw DbError(QStringLiteral("no such table: q_logs"), 1); };
        test::RecordingProgress progress;
        progress.cancelAt = 1;
        const PdfExport::Outcome outcome = save(report, file, progress);
        QVERIFY(!outcome.saved());
        QCOMPARE(outcome.render.cancelled, error.isEmpty());
        QVERIFY(outcome.render.rows < 5000);
        QVERIFY2(outcome.error.contains(error.replace(QLatin1String("%1"), file)), qPrintable(outcome.error));
        QVERIFY(!QFile::exists(file + QStringLiteral(".part")));
        QCOMPARE(old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray(),
                 file.contains(QLatin1String("no/such")) ? QByteArray() : QByteArray("older report"));
        QCOMPARE(progress.ended, progress.begun);
    }

    void choiceLists()
    {
        for (const QDate today : {QDate(2026, 12, 7), QDate(2031, 1, 1)}) {
            const std::optional<MiscReports::State> state = reports(today).load();
            QVERIFY(state);
            QCOMPARE(state->groups, (QStringList{"All", "Alpha", "Empty", "Staff"}));
            QCOMPARE(state->years.last(), QString::number(today.year()));
            QCOMPARE(state->years.at(state->yearIndex), QString::number(today.year()));
        }
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

    void impossibleDate()
    {
        for (const auto &[day, month, year] : {std::tuple{31, 4, 2026}, {29, 2, 2026}, {31, 2, 2008}})
            QVERIFY(!reports().sentSince(day, month, year));
        QCOMPARE(m_prompter.entries().size(), 3);
        for (const test::RecordingPrompter::Entry &box : m_prompter.entries())
            QCOMPARE(box.text, QStringLiteral("An error has been occured!!"));
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

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
