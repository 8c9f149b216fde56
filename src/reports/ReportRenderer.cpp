#include "ReportRenderer.h"

#include "NextTurn.h"
#include "Progress.h"
#include "ReportPage.h"

#include <QPagedPaintDevice>
#include <QPainter>

namespace tavsms {

QCoro::Task<RenderOutcome> ReportRenderer::render(QPagedPaintDevice &device, const Report &report,
                                                  Progress &progress, QObject &guard, int pagesPerTurn,
                                                  std::function<void()> abandon)
{
    RenderOutcome outcome;
    std::unique_ptr<ReportRows> rows;
    try {
        rows = report.open();
    } catch (const DbError &e) {
        outcome.error = e.message();
        co_return outcome;
    }
    const QSizeF points(device.width() * 72.0 / device.logicalDpiX(), device.height() * 72.0 / device.logicalDpiY());
    ReportPage page(report.layout, points);
    QPainter painter;
    if (!painter.begin(&device)) {
        outcome.error = QStringLiteral("The output could not be opened.");
        co_return outcome;
    }
    progress.begin(report.caption, report.total);
    for (;;) {
        ReportPage::Result done;
        try {
            done = page.paint(painter, outcome.pages + 1, *rows);
        } catch (const DbError &e) {
            outcome.error = e.message();
            break;
        }
        ++outcome.pages;
        outcome.rows += done.rows;
        if (done.finished)
            break;
        if (outcome.pages % std::max(1, pagesPerTurn) == 0) {
            progress.advance(outcome.rows);
            co_await NextTurn{&guard};
            if (progress.cancelRequested()) {
                outcome.cancelled = true;
                if (abandon)
                    abandon();
                break;
            }
        }
        if (!device.newPage()) {
            outcome.error = QStringLiteral("A new page could not be started.");
            break;
        }
    }
    painter.end();
    progress.advance(outcome.rows);
    progress.end();
    co_return outcome;
}

} // namespace tavsms
