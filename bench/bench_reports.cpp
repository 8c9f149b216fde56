// Prints the report figures: a 10,000-row report saved as PDF (chunked, as
// "Save as PDF" does it), and the time until the first page of a
// 100,000-row report shows in the report window. Asserts nothing.
#include "BenchReporting.h"
#include "Database.h"
#include "Groups.h"
#include "MiscReports.h"
#include "PdfExport.h"
#include "ReportWindow.h"
#include "Store.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavsms;

namespace {

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    Store store(dir.filePath(QStringLiteral("bench.mdb")));
    Database &db = store.db();
    {
        Transaction tx(db);
        Groups groups(db);
        const qint64 group = groups.create(QStringLiteral("Ten thousand"), QDateTime::currentDateTime());
        for (int i = 0; i < 10000; ++i)
            groups.addMember(group, QStringLiteral("Member number %1").arg(i),
                             QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0')),
                             QStringLiteral("member%1@example.org").arg(i));
        const QDateTime start(QDate(2026, 1, 1), QTime(0, 0));
        for (int i = 0; i < 100000; ++i) {
            const QString when = start.addSecs(i * 60).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            db.exec(QStringLiteral("INSERT INTO q_logs (dated, com_port, outgoing_mobileNo, outgoing_message, status, "
                                   "sent_at, sent_from) VALUES (?, 'COM1', ?, ?, 'Delivered', ?, 'COM1')"),
                    {when, QStringLiteral("97%1").arg(i, 8, 10, QLatin1Char('0')),
                     QStringLiteral("Message %1: your order has been dispatched and will reach you soon.").arg(i), when});
        }
        tx.commit();
    }
    bench::PrintingPrompter prompter(false);
    MiscReports reports(db, prompter);

    {
        const std::optional<Report> report = reports.groupMembers(QStringLiteral("Ten thousand"));
        const QString path = dir.filePath(QStringLiteral("members.pdf"));
        bench::CountingProgress progress;
        QObject guard;
        QElapsedTimer timer;
        timer.start();
        const PdfExport::Outcome outcome = QCoro::waitFor(PdfExport::save(*report, path, progress, guard));
        const qint64 ms = timer.elapsed();
        std::printf("10,000-row group report to PDF: %lld ms, %d pages, %lld rows, %lld KB, %d turns of the event "
                    "loop%s\n",
                    ms, outcome.render.pages, outcome.render.rows, QFileInfo(path).size() / 1024, progress.turns,
                    outcome.saved() ? "" : " (NOT SAVED)");
    }
    {
        QElapsedTimer timer;
        timer.start();
        const std::optional<Report> report = reports.sentSince(1, 1, 2026);
        const qint64 counted = timer.elapsed();
        auto *window = new ReportWindow(*report, nullptr);
        const qint64 shown = timer.elapsed();
        std::printf("100,000-row sent report, first page in the report window: %lld ms (count %lld ms, %lld rows)\n",
                    shown, counted, report->total);
        delete window;
    }
    return 0;
}
