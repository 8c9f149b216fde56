#include "PdfExport.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include <memory>

namespace tavsms {

QCoro::Task<PdfExport::Outcome> PdfExport::save(const Report &report, QString path, Progress &progress,
                                                 QObject &guard)
{
    Outcome outcome;
    const QString part = partPath(path);
    {
        // The writer says nothing when it cannot write; find out first.
        QFile probe(part);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            outcome.error = QStringLiteral("The report cannot be saved as %1: %2").arg(path, probe.errorString());
            co_return outcome;
        }
    }
    auto writer = std::make_unique<QPdfWriter>(part);
    writer->setResolution(300);
    writer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF()));
    writer->setTitle(report.caption);
    writer->setCreator(QStringLiteral("TAVSMS Bulk SMS Software"));
    outcome.render = co_await ReportRenderer::render(*writer, report, progress, guard);
    writer.reset(); // closes the file
    if (!outcome.render.complete()) {
        QFile::remove(part);
        if (!outcome.render.error.isEmpty())
            outcome.error = QStringLiteral("The report could not be saved as %1: %2").arg(path, outcome.render.error);
        co_return outcome;
    }
    if (QFile::exists(path) && !QFile::remove(path)) {
        QFile::remove(part);
        outcome.error = QStringLiteral("The report cannot replace %1.").arg(path);
        co_return outcome;
    }
    if (!QFile::rename(part, path)) {
        QFile::remove(part);
        outcome.error = QStringLiteral("The report could not be saved as %1.").arg(path);
    }
    co_return outcome;
}

} // namespace tavsms
