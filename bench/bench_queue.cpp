// Figures for the message store: bulk queueing and the port senders' due-row pick.
// Prints what it measures; it asserts nothing.
#include "DateTimeText.h"
#include "QueueBatch.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tavsms;

namespace {

void bulkQueue(Store &store, int count)
{
    QElapsedTimer timer;
    timer.start();
    QueueBatch batch(store.db(), store.queue());
    for (int i = 0; i < count; ++i) {
        if (!batch.add(QStringLiteral("98%1").arg(i % 100000000, 8, 10, QLatin1Char('0')),
                       QStringLiteral("Dear customer, your order %1 has been shipped. Thank you for shopping with us.")
                           .arg(i),
                       kRouteAuto))
            break;
    }
    if (!batch.finish()) {
        std::fprintf(stderr, "queueing failed: %s\n", qPrintable(batch.error()));
        return;
    }
    const double secs = timer.nsecsElapsed() / 1e9;
    std::printf("addToQueue: %d messages in one transaction: %.3f s (%.0f rows/s; goal <= 1 s)\n", count, secs,
                count / secs);
}

void dueSelection(Store &store, int total, int pending)
{
    Database &db = store.db();
    const QString past = DateTimeText::stored(QDateTime::currentDateTime().addDays(-30));
    const QString future = DateTimeText::stored(QDateTime::currentDateTime().addDays(1));
    {
        // A delivery log of a busy year, with a live backlog spread over the routes.
        Transaction tx(db);
        Statement st = db.prepare(QStringLiteral(
            "INSERT OR FAIL INTO q_logs (dated, com_port, outgoing_mobileNo, outgoing_message, delivery_time, status, "
            "retry_no, sent_at, sent_from) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        static const char *routes[] = {"Auto", "COM1", "COM2", "COM3", "WEBGATEWAY"};
        for (int i = 0; i < total; ++i) {
            const bool live = i >= total - pending;
            const QString route = QString::fromLatin1(routes[i % 5]);
            st.bind(1, past)
                .bind(2, route)
                .bind(3, QStringLiteral("9876543210"))
                .bind(4, QStringLiteral("A message of about the usual length for a bulk SMS, with some words."))
                .bind(5, live && i % 4 == 0 ? future : past)
                .bind(6, live ? QStringLiteral("Pending") : QStringLiteral("Delivered"))
                .bind(7, live ? i % 3 : 0)
                .bind(8, live ? QVariant() : QVariant(past))
                .bind(9, live ? QVariant() : QVariant(route == QLatin1String("Auto") ? QStringLiteral("COM1") : route));
            st.exec();
        }
        tx.commit();
    }
    db.execScript(QStringLiteral("ANALYZE"));

    std::vector<double> samples;
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < 2000; ++i) {
        QElapsedTimer timer;
        timer.start();
        const auto row = store.queue().nextDueForPort(QStringLiteral("COM%1").arg(i % 5 + 1), now);
        samples.push_back(timer.nsecsElapsed() / 1e6);
        if (!row) {
            std::fprintf(stderr, "no due row found\n");
            return;
        }
    }
    std::sort(samples.begin(), samples.end());
    std::printf("due-row selection with %d rows (%d pending): median %.3f ms, p99 %.3f ms (goal: median <= 1 ms)\n",
                total, pending, samples[samples.size() / 2], samples[samples.size() * 99 / 100]);

    QElapsedTimer timer;
    timer.start();
    const qint64 queued = store.queue().queuedCount();
    std::printf("queue count with %d rows: %lld queued, %.3f ms\n", total, static_cast<long long>(queued),
                timer.nsecsElapsed() / 1e6);

    // What the message-flow screen asks: one connection's deliveries in a period.
    timer.restart();
    const qint64 delivered = db.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered' AND "
                                                      "sent_from = ? AND sent_at >= ? AND sent_at < ?"),
                                       {QStringLiteral("COM2"), DateTimeText::stored(QDateTime::currentDateTime().addDays(-31)),
                                        DateTimeText::stored(QDateTime::currentDateTime())})
                                 .toLongLong();
    std::printf("delivered count of one connection in a month with %d rows: %lld rows, %.3f ms\n", total,
                static_cast<long long>(delivered), timer.nsecsElapsed() / 1e6);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    {
        Store store(dir.filePath(QStringLiteral("bulk.mdb")));
        bulkQueue(store, 100000);
    }
    {
        Store store(dir.filePath(QStringLiteral("log.mdb")));
        dueSelection(store, 1000000, 5000);
    }
    return 0;
}
