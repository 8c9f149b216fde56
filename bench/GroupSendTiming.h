#pragma once

#include "AppState.h"
#include "BenchReporting.h"
#include "GroupSend.h"
#include "Store.h"

#include <QElapsedTimer>

namespace tavsms::bench {

struct GroupSendTiming
{
    double seconds = 0;
    qint64 queued = 0; // rows in q_logs afterwards
    int chunks = 0;
};

// A group of `members` made in the store, then one message to it queued
// through the group screen's logic; only the queueing is timed.
inline GroupSendTiming timeGroupSend(Store &store, int members)
{
    {
        Transaction tx(store.db());
        store.db().exec(QStringLiteral("INSERT INTO groups (dated, group_name) VALUES ('2026-01-01 00:00:00', 'All')"));
        const qint64 group = store.db().lastInsertId();
        Statement st = store.db().prepare(
            QStringLiteral("INSERT INTO groups_mem (group_name, group_mem_name, group_mem_mobile) VALUES (?, ?, ?)"));
        for (int i = 0; i < members; ++i) {
            st.bind(1, group).bind(2, QStringLiteral("Member %1").arg(i)).bind(3, QStringLiteral("9%1").arg(i, 9, 10, QLatin1Char('0')));
            st.exec();
        }
        tx.commit();
    }
    AppState state;
    PrintingPrompter prompter(false);
    CountingProgress progress;
    GroupSend send(store, state, prompter, progress);
    QElapsedTimer timer;
    timer.start();
    QCoro::waitFor(send.send(QStringLiteral("All"),
                             QStringLiteral("Dear customer, our shop opens at 10 tomorrow. Thank you for shopping with us."),
                             QStringLiteral("Auto")));
    GroupSendTiming t;
    t.seconds = timer.nsecsElapsed() / 1e9;
    t.queued = store.db().scalar(QStringLiteral("SELECT count(*) FROM q_logs")).toLongLong();
    t.chunks = progress.turns;
    return t;
}

} // namespace tavsms::bench
