// Status reports matched against the parts sent: 1,000,000 parts (one per
// message) sent over three days on five ports, then 100,000 reports of
// recent parts matched in one commit, as the desk matches a batch. Prints
// the time and the plan of the match.
//   bench_delivery [PARTS] [REPORTS]
#include "AppState.h"
#include "Database.h"
#include "DateTimeText.h"
#include "DeliveryConfirmations.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavsms;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int parts = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    const int reports = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 100000;
    QTemporaryDir dir;
    Store store(dir.filePath(QStringLiteral("bench.mdb")));
    Database &db = store.db();
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime first = now.addDays(-3);
    const auto port = [](int i) { return kSoftwarePorts.at(i % 5); };
    const auto number = [](int i) { return QStringLiteral("98%1").arg(i % 200000, 8, 10, QLatin1Char('0')); };
    // A part's reference as its port counts them: its send on that port, mod 256.
    const auto reference = [](int i) { return (i / 5) % 256; };
    QElapsedTimer clock;
    clock.start();
    {
        // The rows as the senders leave them, written directly for speed.
        Transaction tx(db);
        Statement part = db.prepare(QStringLiteral(
            "INSERT INTO delivery_parts (q_log_id, port, workstation, recipient, recipient_key, reference, part_no, "
            "parts, sent_at, state) VALUES (?, ?, '', ?, ?, ?, 1, 1, ?, 0)"));
        Statement message = db.prepare(QStringLiteral(
            "INSERT INTO delivery_messages (q_log_id, port, workstation, parts, confirmed, state, sent_at) "
            "VALUES (?, ?, '', 1, 0, 'Awaiting', ?)"));
        for (int i = 0; i < parts; ++i) {
            const QString at = DateTimeText::stored(first.addMSecs(qint64(i) * 3 * 86400 * 1000 / parts));
            part.bind(1, i + 1).bind(2, port(i)).bind(3, number(i)).bind(4, number(i)).bind(5, reference(i)).bind(6, at);
            part.exec();
            message.bind(1, i + 1).bind(2, port(i)).bind(3, at);
            message.exec();
        }
        tx.commit();
    }
    std::printf("%d parts written in %lld ms\n", parts, static_cast<long long>(clock.elapsed()));

    // Reports of the newest parts, a few in ten in any order, some failed, some temporary.
    QList<StatusReport> batch;
    batch.reserve(reports);
    QRandomGenerator random(7);
    for (int k = 0; k < reports; ++k) {
        const int i = parts - 1 - int(random.bounded(quint32(parts / 4)));
        const int roll = int(random.bounded(100));
        batch << StatusReport{port(i), reference(i), QStringLiteral("+91") + number(i),
                              roll < 90 ? 0 : roll < 95 ? 0x41 : 0x21, now};
    }
    DeliveryConfirmations confirmations(db);
    clock.restart();
    const QList<DeliveryConfirmations::Outcome> outcomes = confirmations.matchAll(batch);
    const qint64 ms = clock.elapsed();
    int counts[4] = {};
    for (auto o : outcomes)
        ++counts[int(o)];
    std::printf("%d reports matched against %d parts in %lld ms (one commit): %d confirmed, %d failed, %d waiting, "
                "%d unmatched (a part already settled, or one its reference has moved on from)\n",
                reports, parts, static_cast<long long>(ms), counts[0], counts[1], counts[2], counts[3]);
    for (const QString &sql : db.cachedStatements()) {
        if (!sql.startsWith(QLatin1String("SELECT id, q_log_id FROM delivery_parts")))
            continue;
        Statement plan = db.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
        while (plan.next())
            std::printf("  plan of the match: %s\n", qPrintable(plan.text(QStringLiteral("detail"))));
    }
    return 0;
}
