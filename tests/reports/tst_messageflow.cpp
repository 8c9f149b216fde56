// The message flow statistics (the bounds of each period and which rows
// each count takes, with the clock set) and the queue view (sending waits
// while it is open; "Clear Queue" deletes the pending rows only, after
// asking), on a real store. The report engine (pages, headings, footer and
// "End of Report" as a PDF reader sees them; saving that is cancelled or
// cannot write) and the reports of frmRptGroups: its choice lists, the
// group members and the messages sent, read back from the PDFs they make.
#include "AppState.h"
#include "DeliveryConfirmations.h"
#include "DeliveryLog.h"
#include "Groups.h"
#include "MessageFlow.h"
#include "MiscReports.h"
#include "PdfExport.h"
#include "PdfText.h"
#include "QueryTableModel.h"
#include "QueueLog.h"
#include "QueuedMessages.h"
#include "RecordingProgress.h"
#include "RecordingPrompter.h"
#include "ReportPage.h"
#include "Schema.h"
#include "SharedStore.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QCoroTask>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tavsms;

namespace {

QDateTime at(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

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

    Store *m_store = nullptr;
    test::RecordingPrompter m_prompter;
    AppState m_state;
    QTemporaryDir m_dir;

    Database &db() { return m_store->db(); }
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
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

    // The groups, members and sent messages the reports of frmRptGroups show.
    void addReportRows()
    {
        db().exec(QStringLiteral("UPDATE config_network SET productSite = ?"), {QStringLiteral("www.tavsms.example")});
        const qint64 staff = addGroup(QStringLiteral("Staff"));
        addGroup(QStringLiteral("Empty"));
        const qint64 alpha = addGroup(QStringLiteral("Alpha"));
        addMember(staff, QStringLiteral("Asha"), QStringLiteral("9800000001"), QStringLiteral("asha@example.org"));
        addMember(staff, QStringLiteral("Ravi"), QStringLiteral("9800000002"), QString());
        addMember(alpha, QStringLiteral("Zed"), QStringLiteral("9800000003"), QStringLiteral("zed@example.org"));

        addSent("2026-12-04 23:59:00", "9700000001", "late one", "Delivered", "COM3");
        addSent("2026-12-05 00:00:00", "9700000002", "midnight one", "Pending", QString());
        addSent("2026-12-06 10:00:00", "9700000003", "gateway one", "Delivered", "WEBGATEWAY");
        addSent("2026-12-06 11:00:00", "9700000004", "port one", "Delivered", "COM1");
    }
    // A row queued, then brought to its status as the senders bring it (by an update).
    void addRow(const QString &status, const QString &comPort, const QString &sentFrom, const QString &sentAt)
    {
        db().exec(QStringLiteral("INSERT INTO q_logs (dated, com_port, outgoing_mobileNo, outgoing_message, "
                                 "delivery_time) VALUES (?, ?, '9800000000', 'hi', ?)"),
                  {QStringLiteral("2026-11-01 08:00:00"), comPort, QStringLiteral("2026-11-01 08:00:00")});
        db().exec(QStringLiteral("UPDATE q_logs SET status = ?, sent_at = ?, sent_from = ? WHERE id = ?"),
                  {status, sentAt.isEmpty() ? QVariant() : QVariant(sentAt),
                   sentFrom.isEmpty() ? QVariant() : QVariant(sentFrom), db().lastInsertId()});
    }

    // What one count over the log gives, connection by connection.
    DeliveredCounts countedInTheLog(const QDateTime &from, const QDateTime &until)
    {
        const auto bound = [](const QDateTime &t) {
            return t.isValid() ? QVariant(t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))) : QVariant();
        };
        DeliveredCounts counts{};
        for (size_t i = 0; i < counts.size(); ++i)
            counts[i] = db().scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered' AND sent_from = ?1 "
                                                   "AND (?2 IS NULL OR sent_at >= ?2) AND (?3 IS NULL OR sent_at < ?3)"),
                                    {kDeliveryConnections.at(qsizetype(i)), bound(from), bound(until)})
                            .toLongLong();
        return counts;
    }

    void queueRow(const QString &number, const QString &status)
    {
        const EnqueueResult r = m_store->queue().addToQueue(number, QStringLiteral("text ") + number,
                                                            QStringLiteral("Auto"));
        QVERIFY(r);
        db().exec(QStringLiteral("UPDATE q_logs SET status = ? WHERE id = ?"), {status, r.id});
    }
    QStringList rowsLeft()
    {
        return test::QueueLog(db()).rows(QStringLiteral("outgoing_mobileNo || ' ' || status"));
    }
    // 9000000001 to 9000000005, in the statuses the queue view lists.
    void addOneOfEach()
    {
        int n = 0;
        for (const char *status : {"Pending", "Sending", "Delivered", "Failed", "Pending"})
            queueRow(QStringLiteral("900000000%1").arg(++n), QString::fromLatin1(status));
    }

private Q_SLOTS:
    void init()
    {
        m_store = &test::freshStore();
        m_prompter.clear();
    }

    // The bounds of each period, seen in which rows each count takes.
    void countsPerConnection_data()
    {
        QTest::addColumn<QString>("period");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QList<int>>("expected"); // COM1 … COM5, gateway
        const QDateTime now = at("2026-12-07 10:00:00");
        QTest::newRow("today: from midnight, a row at now counts") << "Today" << now << QList<int>{0, 1, 0, 0, 2, 0};
        QTest::newRow("yesterday: 23:59:59 counts, today 00:00 does not")
            << "Yesterday" << now << QList<int>{1, 0, 0, 0, 0, 0};
        QTest::newRow("last 7 days: 11:00 a week ago counts, 09:00 not, now not")
            << "Last 7 Days" << now << QList<int>{1, 1, 1, 0, 1, 1};
        QTest::newRow("this month on the 1st: that day up to now")
            << "This Month" << at("2026-12-01 08:00:00") << QList<int>{0, 0, 0, 0, 0, 1};
        QTest::newRow("all time: every delivered row") << "All Time" << now << QList<int>{1, 1, 1, 1, 2, 1};
    }
    void countsPerConnection()
    {
        QFETCH(QString, period);
        QFETCH(QDateTime, now);
        QFETCH(QList<int>, expected);
        // Delivered rows count for the connection that sent them, whatever they were routed to.
        addRow(QStringLiteral("Delivered"), QStringLiteral("COM1"), QStringLiteral("COM1"), "2026-12-06 23:59:59");
        addRow(QStringLiteral("Delivered"), QStringLiteral("Auto"), QStringLiteral("COM2"), "2026-12-07 00:00:00");
        addRow(QStringLiteral("Delivered"), QStringLiteral("Auto"), QStringLiteral("COM3"), "2026-11-30 11:00:00");
        addRow(QStringLiteral("Delivered"), QStringLiteral("COM4"), QStringLiteral("COM4"), "2026-11-30 09:00:00");
        addRow(QStringLiteral("Delivered"), QStringLiteral("COM1"), QStringLiteral("WEBGATEWAY"), "2026-12-01 00:00:00");
        addRow(QStringLiteral("Delivered"), QStringLiteral("COM5"), QStringLiteral("COM5"), "2026-12-07 10:00:00");
        addRow(QStringLiteral("Delivered"), QStringLiteral("COM5"), QStringLiteral("COM5"), "2026-12-07 09:59:59");
        // Never counted, whatever their time and connection.
        addRow(QStringLiteral("Pending"), QStringLiteral("COM1"), {}, {});
        addRow(QStringLiteral("Pending"), QStringLiteral("COM2"), QStringLiteral("COM2"), "2026-12-07 01:00:00");
        addRow(QStringLiteral("Sending"), QStringLiteral("COM3"), QStringLiteral("COM3"), "2026-12-07 02:00:00");
        addRow("Failed", "WEBGATEWAY", "WEBGATEWAY", "2026-12-07 09:00:00");
        addRow(QStringLiteral("Failed"), QStringLiteral("Auto"), QStringLiteral("COM1"), "2026-12-07 03:00:00");

        m_state.setClock([now] { return now; });
        MessageFlow flow(db(), m_prompter, m_state);
        const std::optional<MessageFlow::Stats> stats = flow.showStats(period);
        QVERIFY(stats);
        QList<int> counts;
        int total = 0;
        for (qint64 c : stats->counts) {
            counts << int(c);
            total += int(c);
        }
        QCOMPARE(counts, expected);
        QCOMPARE(stats->total, qint64(total));
        QCOMPARE(m_prompter.count(), 0);
    }

    // The counts read whole days from the per-day table and the ends from the
    // log: any pair of bounds must give what one count over the log gives.
    void countsAgreeWithTheLogForAnyBounds_data()
    {
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<QDateTime>("until");
        const QDateTime none;
        QTest::newRow("open both ends") << none << none;
        QTest::newRow("open below, mid-day above") << none << at("2026-12-05 12:00:00");
        QTest::newRow("mid-day below, open above") << at("2026-12-03 06:30:00") << none;
        QTest::newRow("mid-day to mid-day over days") << at("2026-12-01 12:00:00") << at("2026-12-06 12:00:01");
        QTest::newRow("across one midnight") << at("2026-12-03 20:00:00") << at("2026-12-04 04:00:00");
        QTest::newRow("to the next midnight exactly") << at("2026-12-03 20:00:00") << at("2026-12-04 00:00:00");
        QTest::newRow("midnight to mid-day next day") << at("2026-12-03 00:00:00") << at("2026-12-04 13:00:00");
        QTest::newRow("empty") << at("2026-12-04 13:00:00") << at("2026-12-04 13:00:00");
    }
    void countsAgreeWithTheLogForAnyBounds()
    {
        QFETCH(QDateTime, from);
        QFETCH(QDateTime, until);
        // Deliveries every 97 minutes over a week, on every connection and a
        // foreign one, with a few rows in other statuses among them.
        const QStringList from7 = kDeliveryConnections + QStringList{QStringLiteral("COM9")};
        Transaction tx(db());
        QDateTime t = at("2026-11-30 00:00:00");
        for (int i = 0; t < at("2026-12-08 00:00:00"); ++i, t = t.addSecs(97 * 60)) {
            const QString status = i % 11 == 3 ? QStringLiteral("Failed") : QStringLiteral("Delivered");
            addRow(status, QStringLiteral("Auto"), from7.at(i % from7.size()), t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        }
        addRow(QStringLiteral("Delivered"), QStringLiteral("Auto"), QStringLiteral("COM2"), "2026-12-04 00:00:00");
        addRow(QStringLiteral("Delivered"), QStringLiteral("Auto"), QStringLiteral("COM2"), {});
        tx.commit();

        const DeliveredCounts expected = countedInTheLog(from, until);
        const DeliveredCounts counts = DeliveryLog(db()).deliveredCounts(from, until);
        for (size_t i = 0; i < expected.size(); ++i)
            QCOMPARE(counts[i], expected[i]);
    }

    // Every figure is the count over the log, however a row got there or
    // went: queued and delivered by the senders, written already delivered
    // (by this program or another one on the same file), copied in bulk,
    // replaced, moved, renumbered, deleted.
    void countsFollowEveryKindOfChange()
    {
        MessageQueue &queue = m_store->queue();
        const EnqueueResult a = queue.addToQueue(QStringLiteral("9800000001"), QStringLiteral("a"), QStringLiteral("Auto"));
        QVERIFY(a && queue.claim(a.id));
        queue.markDelivered(a.id, QStringLiteral("COM2"), QStringLiteral("OK"), at("2026-12-04 10:00:00"));

        const QString row = QStringLiteral("(dated, com_port, outgoing_mobileNo, outgoing_message, delivery_time, "
                                           "status, sent_at, sent_from) VALUES ('2026-12-01 08:00:00', 'Auto', "
                                           "'9800000000', 'hi', '2026-12-01 08:00:00', ");
        auto other = Database::open(db().path(), QByteArray(Store::kKey)); // another program, its own settings
        other->exec(QStringLiteral("INSERT INTO q_logs ") + row + QStringLiteral("'Delivered', '2026-12-02 09:00:00', 'COM2')"));
        const QStringList changes = {
            QStringLiteral("INSERT INTO q_logs ") + row + QStringLiteral("'Delivered', '2026-12-03 23:59:59', 'WEBGATEWAY')"),
            QStringLiteral("INSERT INTO q_logs ") + row + QStringLiteral("'Delivered', NULL, 'COM1')"),
            QStringLiteral("INSERT INTO q_logs ") + row + QStringLiteral("'Failed', '2026-12-03 10:00:00', 'COM1')"),
            QStringLiteral("INSERT INTO q_logs (dated, com_port, outgoing_mobileNo, outgoing_message, delivery_time, "
                           "status, sent_at, sent_from) SELECT dated, com_port, outgoing_mobileNo, outgoing_message, "
                           "delivery_time, status, sent_at, 'COM5' FROM q_logs WHERE status = 'Delivered'"),
            QStringLiteral("INSERT OR REPLACE INTO q_logs (id, status) VALUES (%1, 'Pending')").arg(a.id),
            QStringLiteral("REPLACE INTO q_logs (id, status, sent_at, sent_from) VALUES (%1, 'Delivered', "
                           "'2026-12-05 01:00:00', 'COM3')").arg(a.id),
            QStringLiteral("INSERT OR IGNORE INTO q_logs (id, status, sent_from) VALUES (%1, 'Delivered', 'COM4')").arg(a.id),
            QStringLiteral("UPDATE q_logs SET sent_at = '2026-12-06 12:00:00', sent_from = 'COM4' WHERE sent_from = 'COM5'"),
            QStringLiteral("UPDATE q_logs SET status = 'Failed' WHERE sent_from = 'COM2'"),
            QStringLiteral("UPDATE q_logs SET status = 'Delivered' WHERE status = 'Failed'"),
            QStringLiteral("UPDATE q_logs SET id = id + 1000 WHERE sent_from = 'COM4'"),
            QStringLiteral("UPDATE OR REPLACE q_logs SET id = %1 WHERE id = (SELECT max(id) FROM q_logs)").arg(a.id),
            QStringLiteral("DELETE FROM q_logs WHERE sent_from = 'WEBGATEWAY'"),
            QStringLiteral("DELETE FROM q_logs"),
        };
        const QList<FlowBounds> periods = {{},
                                           {at("2026-12-03 00:00:00"), {}},
                                           {at("2026-12-02 12:00:00"), at("2026-12-06 00:00:00")}};
        for (const QString &change : changes) {
            db().exec(change);
            for (const FlowBounds &p : periods)
                QVERIFY2(DeliveryLog(db()).deliveredCounts(p.from, p.until) == countedInTheLog(p.from, p.until), qPrintable(change));
        }
    }

    // A log written before the daily counts (version 2), and one whose counts
    // missed rows written already delivered (version 4), count right after
    // the upgrade.
    void anEarlierLogIsCountedAfterTheUpgrade_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("before the daily counts") << 2;
        QTest::newRow("counts that missed direct inserts") << 4;
    }
    void anEarlierLogIsCountedAfterTheUpgrade()
    {
        QFETCH(int, version);
        const test::TestDataDirectory dir;
        const QString path = dir.root() + QStringLiteral("/old.mdb");
        {
            auto old = Database::open(path, QByteArray(Store::kKey));
            Schema::upgrade(*old, version);
            const char *rows[][2] = {{"Delivered", "2026-12-02 10:00:00"},
                                     {"Delivered", "2026-12-03 10:00:00"},
                                     {"Pending", nullptr}};
            for (const auto &row : rows)
                old->exec(QStringLiteral("INSERT INTO q_logs (dated, com_port, outgoing_mobileNo, outgoing_message, "
                                         "delivery_time, status, sent_at, sent_from) VALUES ('2026-11-01 08:00:00', "
                                         "'Auto', '9800000000', 'hi', '2026-11-01 08:00:00', ?, ?, ?)"),
                          {QString::fromLatin1(row[0]), row[1] ? QVariant(QString::fromLatin1(row[1])) : QVariant(),
                           row[1] ? QVariant(QStringLiteral("COM4")) : QVariant()});
        }
        Store upgraded(path);
        QCOMPARE(Schema::version(upgraded.db()), Schema::kCurrentVersion);
        QCOMPARE(DeliveryLog(upgraded.db()).deliveredCounts({}, {})[3], 2);
        QCOMPARE(DeliveryLog(upgraded.db()).deliveredCounts(at("2026-12-03 00:00:00"), {})[3], 1);
    }

    void loadLabelsThePortsAndAnEmptyLogCountsZero()
    {
        db().exec(QStringLiteral("UPDATE config_ports SET mobileOperator = 'Airtel' WHERE softwarePortNo = 'COM2'"));
        MessageFlow flow(db(), m_prompter, m_state);
        const auto state = flow.load();
        QVERIFY(state);
        QCOMPARE(state->portLabels[0] + QLatin1Char('|') + state->portLabels[1], QStringLiteral("COM1 - |COM2 - Airtel"));
        QVERIFY(!flow.showStats(QString()));
        QVERIFY(!flow.showStats(QStringLiteral("Last 30 Days")));
        const auto stats = flow.showStats(QStringLiteral("All Time"));
        QVERIFY(stats && stats->counts == DeliveredCounts{} && stats->total == 0);
    }

    // Sending waits while the view is open, and is as the operator left it afterwards.
    void sendingWaitsWhileOpenAndIsAsBeforeAfterwards()
    {
        enum Meanwhile { Nothing, Started, Stopped, ShutDown };
        const struct { bool before; Meanwhile meanwhile; bool after; } cases[] = {
            {true, Nothing, true},   {false, Nothing, false}, {true, ShutDown, false},
            {false, Started, true},  {true, Stopped, false}, // "Stop Message Sending" while it is paused
        };
        for (const auto &c : cases) {
            AppState state;
            state.setSendingRunning(c.before);
            {
                QueuedMessages view(db(), m_prompter, state);
                QVERIFY(!state.sendingRunning());
                if (c.meanwhile != Nothing)
                    state.setSendingRunning(c.meanwhile == Started);
                state.setAbortWaits(c.meanwhile == ShutDown);
            }
            QVERIFY2(state.sendingRunning() == c.after, qPrintable(QStringLiteral("case %1").arg(&c - cases)));
        }
    }

    void theGridShowsThePendingRowsOldestFirst()
    {
        addOneOfEach();
        QueryTableModel model(db(), QueuedMessages::query());
        model.reload();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("9000000001"));
        QCOMPARE(model.index(1, 1).data().toString(), QStringLiteral("9000000005"));
        QCOMPARE(model.index(1, 2).data().toString(), QStringLiteral("text 9000000005"));
        QCOMPARE(model.index(1, 4).data().toString(), QStringLiteral("Pending"));
        QCOMPARE(model.index(1, 5).data().toString(), QStringLiteral("0"));
    }

    void clearQueue_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("left");
        const QStringList all = {QStringLiteral("9000000001 Pending"), QStringLiteral("9000000002 Sending"),
                                 QStringLiteral("9000000003 Delivered"), QStringLiteral("9000000004 Failed"),
                                 QStringLiteral("9000000005 Pending")};
        QTest::newRow("Cancel changes nothing") << false << all;
        QTest::newRow("OK deletes the pending rows only")
            << true
            << QStringList{QStringLiteral("9000000002 Sending"), QStringLiteral("9000000003 Delivered"),
                           QStringLiteral("9000000004 Failed")};
    }
    void clearQueue()
    {
        QFETCH(bool, answer);
        QFETCH(QStringList, left);
        addOneOfEach();
        AppState state;
        QueuedMessages view(db(), m_prompter, state);
        m_prompter.queueAnswer(answer);
        QCOMPARE(QCoro::waitFor(view.clearQueue()), answer);
        QCOMPARE(rowsLeft(), left);

        QCOMPARE(m_prompter.count(), answer ? 2 : 1);
        QCOMPARE(m_prompter.entries().first().preset, Prompter::Default::Cancel);
        QCOMPARE(m_prompter.contains(QStringLiteral("Success"), QStringLiteral("Queue has been cleared!!")), answer);
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
        QCOMPARE((QList<qint64>{progress.begun, progress.ended, progress.total_, progress.steps.last()}),
                 (QList<qint64>{1, 1, rows, rows}));
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
        addReportRows();
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
        addReportRows();
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
        addReportRows();
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
        addReportRows();
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

    // What the handsets said: in the sent reports, in a report of its own
    // for a period, in Message Flow beside the delivered counts and in the
    // queue view.
    void handsetConfirmationsShown()
    {
        addReportRows();
        DeliveryConfirmations confirmations(db());
        const auto sent = [&](const char *text, const char *number, const char *port, int reference, int status) {
            const qint64 id = db().scalar(QStringLiteral("SELECT id FROM q_logs WHERE outgoing_message = ?"),
                                          {QString::fromLatin1(text)}).toLongLong();
            const QDateTime at = m_store->queue().row(id)->sentAt;
            confirmations.recordSent(id, QString::fromLatin1(port), QString::fromLatin1(number), {reference}, at);
            confirmations.match({QString::fromLatin1(port), reference, QString::fromLatin1(number), status, at.addSecs(5)});
        };
        sent("port one", "9700000004", "COM1", 3, 0);
        sent("late one", "9700000001", "COM3", 4, 0x41);

        const QString since = rendered(*reports().sentSince(5, 12, 2026));
        QVERIFY2(since.contains(QStringLiteral("Handset")) && since.contains(QStringLiteral("Confirmed"))
                     && since.contains(QStringLiteral("Not requested")),
                 qPrintable(since));
        QVERIFY(rendered(*reports().sentByConnection(QStringLiteral("Software Port 3"))).contains(QStringLiteral("incompatible")));

        const std::optional<Report> period = reports().confirmations(QDate(2026, 12, 4), QDate(2026, 12, 6));
        QVERIFY(period);
        QCOMPARE(period->total, 2);
        const QString text = rendered(*period);
        QVERIFY2(text.startsWith(QStringLiteral("Handset Confirmations")) && text.contains(QStringLiteral("9700000004"))
                     && text.contains(QStringLiteral("9700000001")) && text.contains(QStringLiteral("12/6/2026 11:00:05 AM")),
                 qPrintable(text));
        QCOMPARE(reports().confirmations(QDate(2026, 12, 5), QDate(2026, 12, 6))->total, 1);
        QVERIFY(!reports().confirmations(QDate(2026, 12, 6), QDate(2026, 12, 5)));

        m_state.setClock([] { return at("2026-12-07 10:00:00"); });
        const std::optional<MessageFlow::Stats> stats = MessageFlow(db(), m_prompter, m_state).showStats("All Time");
        QCOMPARE(stats->confirmed, (DeliveredCounts{1, 0, 0, 0, 0, 0}));
        QCOMPARE(stats->confirmedTotal, 1);

        queueRow(QStringLiteral("9000000001"), QStringLiteral("Pending"));
        QueryTableModel model(db(), QueuedMessages::query());
        model.reload();
        QCOMPARE(model.headerData(6, Qt::Horizontal).toString(), QStringLiteral("Handset"));
        QCOMPARE(model.index(0, 6).data().toString(), HandsetState::NotRequested);
    }

    // An impossible date, and tables that cannot be read, are told.
    void impossibleDatesAndStoreFailures()
    {
        for (const auto &[day, month, year] : {std::tuple{31, 4, 2026}, {29, 2, 2026}, {31, 2, 2008}})
            QVERIFY(!reports().sentSince(day, month, year));
        db().execScript(QStringLiteral("ALTER TABLE q_logs RENAME TO gone; ALTER TABLE groups_mem RENAME TO gone_too"));
        QVERIFY(!reports().sentByConnection(QStringLiteral("WEBGATEWAY")));
        QVERIFY(!reports().sentSince(1, 1, 2026));
        QVERIFY(!reports().groupMembers(std::nullopt));
        QCOMPARE(m_prompter.entries().size(), 6);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(m_prompter.entries().at(i).text, QStringLiteral("An error has been occured!!"));
        const QString group = m_prompter.entries().at(5).text;
        QVERIFY2(group.contains(QStringLiteral("no such table")) && group.contains(QStringLiteral(" : Database : 1")),
                 qPrintable(group));
    }
};

QTEST_MAIN(TestReports)
#include "tst_messageflow.moc"
