// Figures for the paged grid model over a delivery log of 1,000,000 q_logs rows,
// newest first: opening it (the first page) and fetching pages deep down.
// Prints what it measures; it asserts nothing.
#include "DateTimeText.h"
#include "QueryTableModel.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavsms;

namespace {

constexpr int kRows = 1000000;

void fillLog(Database &db)
{
    QElapsedTimer timer;
    timer.start();
    // A year of sending in bursts: fifty rows share each second.
    const QDateTime start = QDateTime::currentDateTime().addDays(-365);
    Transaction tx(db);
    Statement st = db.prepare(QStringLiteral(
        "INSERT OR FAIL INTO q_logs (dated, com_port, outgoing_mobileNo, outgoing_message, delivery_time, status, sent_at, "
        "sent_from) VALUES (?, ?, ?, ?, ?, 'Delivered', ?, ?)"));
    for (int i = 0; i < kRows; ++i) {
        const QString dated = DateTimeText::stored(start.addSecs(i / 50));
        st.bind(1, dated)
            .bind(2, QStringLiteral("COM%1").arg(i % 5 + 1))
            .bind(3, QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0')))
            .bind(4, QStringLiteral("A message of about the usual length for a bulk SMS, with some words."))
            .bind(5, dated)
            .bind(6, dated)
            .bind(7, QStringLiteral("COM%1").arg(i % 5 + 1));
        st.exec();
    }
    tx.commit();
    db.execScript(QStringLiteral("ANALYZE"));
    std::printf("filled q_logs with %d rows in %.1f s\n", kRows, timer.nsecsElapsed() / 1e9);
}

enum class Order { Dated, DatedNullSafe, IdOnly };

TableQuery newestFirst(Order order)
{
    const auto time = [](const QVariant &v) { return DateTimeText::display(DateTimeText::parse(v.toString())); };
    TableQuery q;
    q.from = QStringLiteral("q_logs");
    q.columns = {{QStringLiteral("dated"), QStringLiteral("Dated"), time, Qt::AlignCenter},
                 {QStringLiteral("com_port"), QStringLiteral("Port"), {}},
                 {QStringLiteral("outgoing_mobileNo"), QStringLiteral("Mobile No"), {}},
                 {QStringLiteral("outgoing_message"), QStringLiteral("Message"), {}, Qt::AlignLeft, true},
                 {QStringLiteral("status"), QStringLiteral("Status"), {}},
                 {QStringLiteral("sent_at"), QStringLiteral("Sent"), time}};
    if (order == Order::IdOnly)
        q.sortKeys = {{QStringLiteral("id"), Qt::DescendingOrder}};
    else
        q.sortKeys = {{QStringLiteral("dated"), Qt::DescendingOrder, order == Order::DatedNullSafe},
                      {QStringLiteral("id"), Qt::DescendingOrder}};
    return q;
}

void measure(Database &db, const char *label, Order order, int pages)
{
    QueryTableModel model(db, newestFirst(order));
    QElapsedTimer timer;
    timer.start();
    model.reload();
    const double open = timer.nsecsElapsed() / 1e6;
    // The view reads the cells it shows; so does this.
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < model.columnCount(); ++c)
            model.index(r, c).data();
    const double shown = timer.nsecsElapsed() / 1e6;

    timer.restart();
    for (int i = 0; i < pages; ++i)
        model.fetchMore({});
    const double paging = timer.nsecsElapsed() / 1e6 / pages;
    timer.restart();
    model.fetchMore({});
    const double deep = timer.nsecsElapsed() / 1e6;
    std::printf("%s:\n  open (first %d rows) %.1f ms, open and the texts of 40 rows %.1f ms; "
                "next %d pages %.1f ms each; page %d %.1f ms%s\n",
                label, model.pageSize(), open, shown, pages, paging, pages + 2, deep,
                model.errorText().isEmpty() ? "" : qPrintable(QStringLiteral(" (error: ") + model.errorText() + ')'));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Store store(dir.filePath(QStringLiteral("grid.mdb")));
    fillLog(store.db());
    // Without an index on dated every page sorts the whole table: a few pages tell.
    measure(store.db(), "ORDER BY dated DESC, id DESC, schema as it is", Order::Dated, 3);
    measure(store.db(), "ORDER BY dated DESC, id DESC, schema as it is, dated NULL-safe", Order::DatedNullSafe, 3);
    measure(store.db(), "ORDER BY id DESC, schema as it is", Order::IdOnly, 50);
    // Not in the schema: what an index on the first sort key would give.
    store.db().execScript(QStringLiteral("CREATE INDEX bench_q_logs_dated ON q_logs (dated); ANALYZE"));
    measure(store.db(), "ORDER BY dated DESC, id DESC, with an index on dated", Order::Dated, 50);
    measure(store.db(), "ORDER BY dated DESC, id DESC, with an index on dated, dated NULL-safe", Order::DatedNullSafe,
            50);
    return 0;
}
