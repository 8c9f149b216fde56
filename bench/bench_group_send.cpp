// Figure for the group screen: a message to a group of 100,000 members,
// queued through the screen's logic in chunks. Prints what it measures.
#include "AppState.h"
#include "BenchReporting.h"
#include "GroupSend.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavsms;

namespace {

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Store store(dir.filePath(QStringLiteral("bench.mdb")));
    constexpr int kMembers = 100000;
    {
        Transaction tx(store.db());
        store.db().exec(QStringLiteral("INSERT INTO groups (dated, group_name) VALUES ('2026-01-01 00:00:00', 'All')"));
        const qint64 group = store.db().lastInsertId();
        Statement st = store.db().prepare(
            QStringLiteral("INSERT INTO groups_mem (group_name, group_mem_name, group_mem_mobile) VALUES (?, ?, ?)"));
        for (int i = 0; i < kMembers; ++i) {
            st.bind(1, group).bind(2, QStringLiteral("Member %1").arg(i)).bind(3, QStringLiteral("9%1").arg(i, 9, 10, QLatin1Char('0')));
            st.exec();
        }
        tx.commit();
    }

    AppState state;
    bench::PrintingPrompter prompter(false);
    bench::CountingProgress progress;
    GroupSend send(store, state, prompter, progress);
    QElapsedTimer timer;
    timer.start();
    QCoro::waitFor(send.send(QStringLiteral("All"),
                             QStringLiteral("Dear customer, our shop opens at 10 tomorrow. Thank you for shopping with us."),
                             QStringLiteral("Auto")));
    const double secs = timer.nsecsElapsed() / 1e9;
    const qint64 rows = store.db().scalar(QStringLiteral("SELECT count(*) FROM q_logs")).toLongLong();
    std::printf("group send: %lld of %d members queued from the group screen in %.3f s, %d chunks "
                "(goal 0.5 s, at most 2 s)\n",
                rows, kMembers, secs, progress.turns);
    return rows == kMembers ? 0 : 1;
}
