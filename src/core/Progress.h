#pragma once

#include <QString>

namespace tavsms {

// How long work shows how far it has got, and hears the operator's Cancel.
// Screens hand a progress bar; the service and tests hand their own.
class Progress
{
public:
    virtual ~Progress() = default;

    // Work of `total` steps starts.
    virtual void begin(const QString &label, qint64 total) = 0;
    // `done` steps of the total are done.
    virtual void advance(qint64 done) = 0;
    // The operator asked to stop; the work stops at its next safe point.
    virtual bool cancelRequested() const = 0;
    // The work has ended, done, cancelled or failed.
    virtual void end() = 0;
};

} // namespace tavsms
