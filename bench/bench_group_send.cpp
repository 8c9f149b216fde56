// Figure for the group screen: a message to a group of 100,000 members,
// queued through the screen's logic in chunks. Prints what it measures.
#include "AppState.h"
#include "GroupSend.h"
#include "Progress.h"
#include "Prompter.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavsms;

namespace {

class QuietProgress : public Progress
{
public:
    void begin(const QString &, qint64) override {}
    void advance(qint64) override { ++chunks; }
    bool cancelRequested() const override { return false; }
    void end() override {}
    int chunks = 0;
};

class PrintingPrompter : public Prompter
{
public:
    void notify(Icon, const QString &title, const QString &text) override
    {
        std::printf("  [%s] %s\n", qPrintable(title), qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    }
    QCoro::Task<bool> question(const QString &, const QString &, Icon, Default) override { co_return false; }
};

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
    PrintingPrompter prompter;
    QuietProgress progress;
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
                rows, kMembers, secs, progress.chunks);
    return rows == kMembers ? 0 : 1;
}
