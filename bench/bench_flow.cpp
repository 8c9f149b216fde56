// Figures for the two views over the delivery log: the message flow's six
// delivered counts for "All Time" and "This Month" with 1,000,000 delivered
// rows (from the daily counts, and for comparison counted from q_logs through
// an index of the delivered rows), and the queue view's first screenful of
// pending rows, also with a million rows waiting. Prints what it measures;
// it asserts nothing.
#include "DateTimeText.h"
#include "DeliveryLog.h"
#include "MessageQueue.h"
#include "QueryTableModel.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavsms;

namespace {

constexpr int kRows = 1000000;

// A year of traffic up to now, spread over the six connections, written
// as rows already delivered are written by other means (the daily counts
// follow them). `pendingEvery`: one row in so many is still "Pending"; of
// the rest a few are "Sending" or "Failed", the others delivered. There are
// kRows delivered rows, or kRows rows in all when every row is pending.
void fillLog(Database &db, int pendingEvery)
{
    QElapsedTimer timer;
    timer.start();
    const QDateTime start = QDateTime::currentDateTime().addDays(-365);
    Transaction tx(db);
    Statement st = db.prepare(QStringLiteral(
        "INSERT OR FAIL INTO q_logs (dated, com_port, outgoing_mobileNo, outgoing_message, delivery_time, status, sent_at, "
        "sent_from) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    int delivered = 0;
    int i = 0;
    for (; pendingEvery == 1 ? i < kRows : delivered < kRows; ++i) {
        const QString dated = DateTimeText::stored(start.addSecs(qint64(i) * 365 * 86400 / kRows));
        const QString connection = kDeliveryConnections.at(i % 6);
        QString status = QueueStatus::Delivered;
        if (i % pendingEvery == 0)
            status = QueueStatus::Pending;
        else if (i % 97 == 1)
            status = QueueStatus::Failed;
        else if (i % 101 == 2)
            status = QueueStatus::Sending;
        const bool sent = status == QueueStatus::Delivered || status == QueueStatus::Failed;
        delivered += status == QueueStatus::Delivered;
        st.bind(1, dated)
            .bind(2, connection)
            .bind(3, QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0')))
            .bind(4, QStringLiteral("A message of about the usual length for a bulk SMS, with some words."))
            .bind(5, dated)
            .bind(6, status)
            .bind(7, sent ? QVariant(dated) : QVariant())
            .bind(8, sent ? QVariant(connection) : QVariant());
        st.exec();
    }
    tx.commit();
    db.execScript(QStringLiteral("ANALYZE"));
    std::printf("filled q_logs with %d rows, %d delivered (one in %d pending) in %.1f s\n", i, delivered,
                pendingEvery, timer.nsecsElapsed() / 1e9);
}

void measureCounts(DeliveryLog &log)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime monthStart(QDate(now.date().year(), now.date().month(), 1), QTime(0, 0));
    for (int run = 1; run <= 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        const DeliveredCounts all = log.deliveredCounts({}, {});
        const double allMs = timer.nsecsElapsed() / 1e6;
        timer.restart();
        const DeliveredCounts month = log.deliveredCounts(monthStart, now);
        const double monthMs = timer.nsecsElapsed() / 1e6;
        qint64 allTotal = 0, monthTotal = 0;
        for (size_t i = 0; i < all.size(); ++i) {
            allTotal += all[i];
            monthTotal += month[i];
        }
        std::printf("  run %d: All Time %.1f ms (%lld delivered), This Month %.1f ms (%lld), together %.1f ms\n", run,
                    allMs, static_cast<long long>(allTotal), monthMs, static_cast<long long>(monthTotal),
                    allMs + monthMs);
    }
}

// The same six "All Time" figures counted from the log itself, through an
// index of the delivered rows: what the daily counts spare the screen.
void measureDirectCounts(Database &db)
{
    QElapsedTimer timer;
    timer.start();
    db.execScript(QStringLiteral(
        "CREATE INDEX q_logs_delivered_bench ON q_logs (sent_from, sent_at) WHERE status = 'Delivered'; ANALYZE"));
    std::printf("  (index of the delivered rows built in %.1f s)\n", timer.nsecsElapsed() / 1e9);
    for (int run = 1; run <= 3; ++run) {
        timer.restart();
        qint64 total = 0;
        for (const QString &connection : kDeliveryConnections)
            total += db.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered' AND sent_from = ?"),
                               {connection})
                         .toLongLong();
        std::printf("  run %d: All Time %.1f ms (%lld delivered)\n", run, timer.nsecsElapsed() / 1e6,
                    static_cast<long long>(total));
    }
    db.execScript(QStringLiteral("DROP INDEX q_logs_delivered_bench"));
}

void measureQueueView(Database &db)
{
    for (int run = 1; run <= 3; ++run) {
        QueryTableModel model(db, MessageQueue::pendingQuery());
        QElapsedTimer timer;
        timer.start();
        model.reload();
        // The view reads the cells it shows; so does this.
        for (int r = 0; r < 40; ++r)
            for (int c = 0; c < model.columnCount(); ++c)
                model.index(r, c).data();
        const double shown = timer.nsecsElapsed() / 1e6;
        timer.restart();
        for (int i = 0; i < 20; ++i)
            model.fetchMore({});
        const double paging = timer.nsecsElapsed() / 1e6 / 20;
        std::printf("  run %d: first page and the texts of 40 rows %.1f ms (%d rows read); next pages %.1f ms each%s\n",
                    run, shown, model.pageSize(), paging,
                    model.errorText().isEmpty() ? "" : qPrintable(QStringLiteral(" (error: ") + model.errorText() + ')'));
    }
}

void measureAll(int pendingEvery)
{
    QTemporaryDir dir;
    Store store(dir.filePath(QStringLiteral("flow.mdb")));
    fillLog(store.db(), pendingEvery);
    std::printf("Message flow, six counts (goal: All Time within 100 ms):\n");
    DeliveryLog log(store.db());
    measureCounts(log);
    if (pendingEvery > 1) {
        std::printf("The same counted from q_logs (for comparison):\n");
        measureDirectCounts(store.db());
    }
    std::printf("Queue view, pending rows in queue order:\n");
    measureQueueView(store.db());
    store.db().execScript(QStringLiteral("DROP INDEX q_logs_pending_order; ANALYZE"));
    std::printf("Queue view without q_logs_pending_order (for comparison):\n");
    measureQueueView(store.db());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    measureAll(50);  // a log that is mostly delivered
    measureAll(1);   // a million messages waiting
    return 0;
}
