#pragma once

#include "ReportRenderer.h"

namespace tavsms {

// Saves a report as a PDF file. The pages are written to "<path>.part" and
// the file takes its name only once the last page is done, so a cancelled or
// failed save leaves no half file (and an older file of that name intact).
class PdfExport
{
public:
    struct Outcome
    {
        RenderOutcome render;
        QString error;  // why nothing was saved (empty when saved or cancelled)
        bool saved() const { return render.complete() && error.isEmpty(); }
    };

    // Where the pages go until the last one is done.
    static QString partPath(const QString &path) { return path + QStringLiteral(".part"); }

    static QCoro::Task<Outcome> save(const Report &report, QString path, Progress &progress, QObject &guard);
};

} // namespace tavsms
