#pragma once

// What the benchmarks hand the logic for its boxes and its progress: boxes
// are printed on one line each, progress only counted.

#include "Progress.h"
#include "Prompter.h"

#include <QCoroTask>

#include <cstdio>

namespace tavsms::bench {

class PrintingPrompter : public Prompter
{
public:
    // Every question is answered thus.
    explicit PrintingPrompter(bool answer = true)
        : m_answer(answer)
    {
    }
    void notify(Icon, const QString &title, const QString &text) override
    {
        std::printf("  [%s] %s\n", qPrintable(title),
                    qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    }
    QCoro::Task<bool> question(const QString &, const QString &, Icon, Default) override { co_return m_answer; }

private:
    bool m_answer;
};

// Counts the turns of the event loop a long piece of work takes.
class CountingProgress : public Progress
{
public:
    void begin(const QString &, qint64) override {}
    void advance(qint64) override { ++turns; }
    bool cancelRequested() const override { return false; }
    void end() override {}
    int turns = 0;
};

} // namespace tavsms::bench
