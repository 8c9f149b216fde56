// The message flow statistics (the bounds of each period and which rows
// each count takes, with the clock set) and the queue view (sending waits
// while it is open; "Clear Queue" deletes the pending rows only, after
// asking), on a real store.
#include "AppState.h"
#include "DeliveryLog.h"
#include "MessageFlow.h"
#include "QueryTableModel.h"
#include "QueueLog.h"
#include "QueuedMessages.h"
#include "RecordingPrompter.h"
#include "Schema.h"
#include "SharedStore.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QCoroTask>
#include <QTest>

using namespace tavsms;

namespace {

QDateTime at(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

class TestMessageFlow : public QObject
{
    Q_OBJECT

    Store *m_store = nullptr;
    test::RecordingPrompter m_prompter;
    AppState m_state;

    Database &db() { return m_store->db(); }
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
        DeliveredCounts counts{};
        for (size_t i = 0; i < counts.size(); ++i) {
            QString sql = QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered' AND sent_from = ?");
            QVariantList params{kDeliveryConnections.at(qsizetype(i))};
            if (from.isValid()) {
                sql += QStringLiteral(" AND sent_at >= ?");
                params << from.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            }
            if (until.isValid()) {
                sql += QStringLiteral(" AND sent_at < ?");
                params << until.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            }
            counts[i] = db().scalar(sql, params).toLongLong();
        }
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
        addRow(QStringLiteral("Failed"), QStringLiteral("WEBGATEWAY"), QStringLiteral("WEBGATEWAY"),
               "2026-12-07 09:00:00");
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
        QCOMPARE(state->portLabels[0], QStringLiteral("COM1 - "));
        QCOMPARE(state->portLabels[1], QStringLiteral("COM2 - Airtel"));
        QCOMPARE(state->internetLabel, QStringLiteral("Internet - WEBGATEWAY"));
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
};

QTEST_GUILESS_MAIN(TestMessageFlow)
#include "tst_messageflow.moc"
