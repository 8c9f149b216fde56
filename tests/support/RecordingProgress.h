#pragma once

#include "Progress.h"

#include <QList>

#include <functional>

namespace tavsms::test {

// Remembers what long work reported, and presses Cancel when told to.
class RecordingProgress : public Progress
{
public:
    void begin(const QString &label, qint64 total) override
    {
        label_ = label;
        total_ = total;
        ++begun;
    }
    void advance(qint64 done) override
    {
        steps.append(done);
        if (onAdvance)
            onAdvance(done);
        if (cancelAt > 0 && done >= cancelAt)
            cancel = true;
    }
    bool cancelRequested() const override { return cancel; }
    void end() override { ++ended; }

    QString label_;
    qint64 total_ = 0;
    QList<qint64> steps;
    int begun = 0;
    int ended = 0;
    bool cancel = false;
    qint64 cancelAt = 0;                      // press Cancel once this many are done
    std::function<void(qint64)> onAdvance;    // runs at each report
};

} // namespace tavsms::test
