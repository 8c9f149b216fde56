#include "IncomingReport.h"

#include "Database.h"
#include "DateTimeText.h"
#include "IncomingLog.h"
#include "NetworkSettings.h"

namespace tavsms {

namespace {

// Captions of the list and the report, in column order.
QStringList captions()
{
    return {QStringLiteral("Message Received"), QStringLiteral("Message Sent"), QStringLiteral("Sender's Number"),
            QStringLiteral("Message")};
}

// A stored date-time as the list and the report show it.
} // namespace

Report incomingSmsReport(Database &db)
{
    Report report;
    report.caption = QStringLiteral("Incoming SMS");
    QString site;
    try {
        site = NetworkSettings::load(db).productSite;
    } catch (const DbError &) {
    }
    report.layout = {QStringLiteral("Incoming SMS"), captions(), {3, 3, 2, 8}, ReportLayout::footerFor(site)};
    report.total = IncomingLog(db).count();
    Database *store = &db;
    report.open = [store]() -> std::unique_ptr<ReportRows> {
        return std::make_unique<StatementRows>(IncomingLog(*store).newestFirstForReport(), 4,
                                               QList<StatementRows::Formatter>{DateTimeText::displayStored, DateTimeText::displayStored});
    };
    return report;
}

TableQuery incomingSmsList()
{
    const QStringList caption = captions();
    TableQuery q;
    q.from = QStringLiteral("incoming_logs");
    q.columns = {
        {QStringLiteral("dated"), caption.at(0), DateTimeText::displayStored, Qt::AlignCenter},
        {QStringLiteral("incoming_date"), caption.at(1), DateTimeText::displayStored},
        {QStringLiteral("incoming_mobileNo"), caption.at(2), {}},
        {QStringLiteral("incoming_message"), caption.at(3), {}, Qt::AlignLeft | Qt::AlignVCenter, true},
    };
    // dated may be NULL (the schema allows it); no index on it is lost by
    // comparing it NULL-safely.
    q.sortKeys = {{QStringLiteral("dated"), Qt::DescendingOrder, true},
                  {QStringLiteral("id"), Qt::DescendingOrder}};
    return q;
}

} // namespace tavsms
