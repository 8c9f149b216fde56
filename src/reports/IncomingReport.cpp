#include "IncomingReport.h"

#include "Database.h"
#include "DateTimeText.h"
#include "IncomingLog.h"
#include "IncomingSmsReport.h"
#include "NetworkSettings.h"

namespace tavsms {

Report incomingSmsReport(Database &db)
{
    Report report;
    report.caption = QStringLiteral("Incoming SMS");
    QString site;
    try {
        site = NetworkSettings::load(db).productSite;
    } catch (const DbError &) {
    }
    report.layout = {QStringLiteral("Incoming SMS"), IncomingSmsReport::captions(), {3, 3, 2, 8},
                     ReportLayout::footerFor(site)};
    report.total = IncomingLog(db).count();
    const auto time = [](const QVariant &stored) {
        return IncomingSmsReport::timeText(DateTimeText::parse(stored.toString()));
    };
    Database *store = &db;
    report.open = [store, time]() -> std::unique_ptr<ReportRows> {
        return std::make_unique<StatementRows>(IncomingLog(*store).newestFirstForReport(), 4,
                                               QList<StatementRows::Formatter>{time, time});
    };
    return report;
}

} // namespace tavsms
