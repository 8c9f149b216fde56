// Figures of the shared PostgreSQL store beside the keyed file's, in one run:
//  - claims: 50 claimers (10 workstations of 5 ports, each claimer a
//    connection and a thread of its own) take a queue of "Auto" rows and
//    rows for their own ports with takeNextForPort until it is empty, and
//    mark each delivered; claims/s and the rows claimed twice, found from the
//    ids each claimer recorded and from the table. Beside it the file's rate,
//    one connection taking the same queue for its five ports;
//  - a group of 100,000 members queued from the group screen's logic.
// The server is a throw-away one with the server's default durability.
// Prints what it measures; exits non-zero when a row was claimed twice or
// left unclaimed.
//
//   bench_shared_store [rows] [claimers] [members] [--no-sync]     (50000 50 100000)
// --no-sync runs the server with fsync off, to tell the disk's share from the rest.
#include "AppState.h"
#include "BenchReporting.h"
#include "GroupSendTiming.h"
#include "PgDatabase.h"
#include "PgServer.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QTemporaryDir>

#include <atomic>
#include <cstdio>
#include <latch>
#include <memory>
#include <thread>
#include <vector>

using namespace tavsms;

namespace {

constexpr int kPorts = 5;

int argument(int argc, char *argv[], int index, int fallback)
{
    return argc > index ? QString::fromLocal8Bit(argv[index]).toInt() : fallback;
}

QString workstationOf(int claimer)
{
    return QStringLiteral("ws%1").arg(claimer / kPorts);
}

QString portOf(int claimer)
{
    return QStringLiteral("COM%1").arg(claimer % kPorts + 1);
}

// One row in five for a claimer's own port, the rest "Auto"; all due.
void fillQueue(Database &db, int rows, int claimers, bool shared)
{
    Transaction tx(db);
    Statement st = db.prepare(QStringLiteral(
        "INSERT INTO q_logs (dated, com_port, outgoing_mobileNo, outgoing_message, delivery_time, workstation) "
        "VALUES (?, ?, ?, ?, ?, ?)"));
    const QString past = QStringLiteral("2026-01-01 00:00:00");
    for (int i = 0; i < rows; ++i) {
        const bool own = i % 5 == 0;
        const int claimer = (i / 5) % claimers;
        st.bind(1, past)
            .bind(2, own ? portOf(claimer) : kRouteAuto)
            .bind(3, QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0')))
            .bind(4, QStringLiteral("Dear customer, your order %1 has been shipped.").arg(i))
            .bind(5, past)
            .bind(6, own && shared ? workstationOf(claimer) : QString(QLatin1String("")));
        st.exec();
    }
    tx.commit();
    db.execScript(QStringLiteral("ANALYZE"));
}

struct ClaimFigures
{
    double seconds = 0;
    qint64 claims = 0;
    qint64 twiceByIds = 0;
    qint64 twiceInTable = 0;
    qint64 left = 0; // rows not delivered at the end
    QString error;
};

// The rows claimed twice as the table tells it: each row delivered holds
// its claimer's number in comments, so a row two claimers took disagrees
// with one of their records.
void checkTable(Database &db, const std::vector<std::vector<qint64>> &taken, ClaimFigures &f)
{
    QHash<qint64, int> marked;
    Statement st = db.prepare(QStringLiteral("SELECT id, comments FROM q_logs WHERE status = 'Delivered'"));
    while (st.next())
        marked.insert(st.integer(QStringLiteral("id")), st.text(QStringLiteral("comments")).toInt());
    QHash<qint64, int> seen;
    for (size_t c = 0; c < taken.size(); ++c)
        for (qint64 id : taken[c]) {
            if (seen[id]++ > 0)
                ++f.twiceByIds;
            if (marked.value(id, -1) != int(c))
                ++f.twiceInTable;
        }
    f.left = db.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status <> 'Delivered'")).toLongLong();
}

ClaimFigures claimShared(const QString &url, int claimers)
{
    std::vector<std::vector<qint64>> taken(static_cast<size_t>(claimers));
    std::vector<QString> errors(static_cast<size_t>(claimers));
    std::latch connected(claimers + 1);
    std::latch go(1);
    std::vector<std::thread> threads;
    for (int c = 0; c < claimers; ++c)
        threads.emplace_back([&, c] {
            std::unique_ptr<PgDatabase> db;
            try {
                db = std::make_unique<PgDatabase>(url);
                db->setWorkstation(workstationOf(c));
            } catch (const DbError &e) {
                errors[size_t(c)] = e.message();
            }
            connected.count_down();
            go.wait();
            if (!db)
                return;
            MessageQueue queue(*db);
            const QString port = portOf(c);
            const QString mark = QString::number(c);
            try {
                for (;;) {
                    const QDateTime now = QDateTime::currentDateTime();
                    const std::optional<QueueRow> row = queue.takeNextForPort(port, now);
                    if (!row)
                        break;
                    taken[size_t(c)].push_back(row->id);
                    queue.markDelivered(row->id, port, mark, now);
                }
            } catch (const DbError &e) {
                errors[size_t(c)] = e.message();
            }
        });
    connected.arrive_and_wait();
    QElapsedTimer timer;
    timer.start();
    go.count_down();
    for (std::thread &t : threads)
        t.join();
    ClaimFigures f;
    f.seconds = timer.nsecsElapsed() / 1e9;
    for (size_t c = 0; c < taken.size(); ++c) {
        f.claims += qint64(taken[c].size());
        if (f.error.isEmpty())
            f.error = errors[c];
    }
    PgDatabase db(url);
    checkTable(db, taken, f);
    return f;
}

ClaimFigures claimLocal(Store &store)
{
    std::vector<std::vector<qint64>> taken(kPorts);
    QElapsedTimer timer;
    timer.start();
    ClaimFigures f;
    // The five port senders of one workstation take turns, as on its one thread.
    for (int empty = 0, c = 0; empty < kPorts; c = (c + 1) % kPorts) {
        const QDateTime now = QDateTime::currentDateTime();
        const std::optional<QueueRow> row = store.queue().takeNextForPort(portOf(c), now);
        if (!row) {
            ++empty;
            continue;
        }
        empty = 0;
        taken[size_t(c)].push_back(row->id);
        store.queue().markDelivered(row->id, portOf(c), QString::number(c), now);
    }
    f.seconds = timer.nsecsElapsed() / 1e9;
    for (const auto &ids : taken)
        f.claims += qint64(ids.size());
    checkTable(store.db(), taken, f);
    return f;
}

void printClaims(const char *what, const ClaimFigures &f, int rows)
{
    std::printf("%s: %lld of %d rows claimed and marked delivered in %.2f s: %.0f claims/s; claimed twice: %lld by "
                "the ids recorded, %lld by the table; left undelivered %lld%s%s\n",
                what, static_cast<long long>(f.claims), rows, f.seconds, f.claims / f.seconds,
                static_cast<long long>(f.twiceByIds), static_cast<long long>(f.twiceInTable),
                static_cast<long long>(f.left), f.error.isEmpty() ? "" : "; error: ", qPrintable(f.error));
}

double groupSend(Store &store, int members, qint64 *queued)
{
    const bench::GroupSendTiming t = bench::timeGroupSend(store, members);
    *queued = t.queued;
    return t.seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argument(argc, argv, 1, 50000);
    const int claimers = argument(argc, argv, 2, 50);
    const int members = argument(argc, argv, 3, 100000);
    QTemporaryDir dir;
    test::PgServer server(app.arguments().contains(QStringLiteral("--no-sync")) ? test::PgServer::Durability::Quick
                                                                               : test::PgServer::Durability::Durable);
    std::printf("server: %s\n", qPrintable(server.settings()));
    bool sound = true;

    {
        const QString url = server.freshDatabase();
        Store::openShared(url, QStringLiteral("bench"));
        PgDatabase db(url);
        fillQueue(db, rows, claimers, true);
        const ClaimFigures shared = claimShared(url, claimers);
        printClaims(qPrintable(QStringLiteral("shared store, %1 claimers on %2 workstations").arg(claimers).arg((claimers + kPorts - 1) / kPorts)),
                    shared, rows);
        sound = sound && shared.twiceByIds == 0 && shared.twiceInTable == 0 && shared.left == 0;
    }
    {
        Store store(dir.filePath(QStringLiteral("claims.mdb")));
        fillQueue(store.db(), rows, kPorts, false);
        const ClaimFigures local = claimLocal(store);
        printClaims("keyed file, one connection for 5 ports", local, rows);
        sound = sound && local.twiceByIds == 0 && local.twiceInTable == 0 && local.left == 0;
    }

    qint64 queued = 0;
    {
        auto store = Store::openShared(server.freshDatabase(), QStringLiteral("bench"));
        const double secs = groupSend(*store, members, &queued);
        std::printf("group send on the shared store: %lld of %d members queued in %.3f s (goal at most 2 s)\n",
                    static_cast<long long>(queued), members, secs);
        sound = sound && queued == members;
    }
    {
        Store store(dir.filePath(QStringLiteral("group.mdb")));
        const double secs = groupSend(store, members, &queued);
        std::printf("group send on the keyed file: %lld of %d members queued in %.3f s\n",
                    static_cast<long long>(queued), members, secs);
        sound = sound && queued == members;
    }
    return sound ? 0 : 1;
}
