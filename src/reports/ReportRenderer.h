#pragma once

#include "Report.h"

#include <QCoroTask>
#include <QString>

#include <functional>

class QObject;
class QPagedPaintDevice;

namespace tavsms {

class Progress;

struct RenderOutcome
{
    int pages = 0;
    qint64 rows = 0;
    bool cancelled = false;
    QString error;  // the device or the store failed
    bool complete() const { return !cancelled && error.isEmpty(); }
};

// Renders a whole report onto a printer or PDF writer, a few pages per turn
// of the event loop, so the program keeps running; Cancel is heard between
// turns; `abandon` then runs while the device is still open (a printer
// drops the job). Work whose guard is destroyed (its window closed) stops there.
class ReportRenderer
{
public:
    static constexpr int kPagesPerTurn = 3;

    static QCoro::Task<RenderOutcome> render(QPagedPaintDevice &device, const Report &report, Progress &progress,
                                             QObject &guard, int pagesPerTurn = kPagesPerTurn,
                                             std::function<void()> abandon = {});
};

} // namespace tavsms
