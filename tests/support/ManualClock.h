#pragma once

#include "AppState.h"

#include <QDateTime>

#include <chrono>

namespace tavsms::test {

// A clock that moves only when told: handed to the program's state, it lets a
// test step time exactly (a poll period, a back-off pause) instead of
// waiting for the wall clock and asserting a wide window.
class ManualClock
{
public:
    // Starts at the current whole second (the store keeps seconds).
    explicit ManualClock(QDateTime start = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch()))
        : m_now(std::move(start))
    {
    }
    void attach(AppState &state)
    {
        state.setClock([this] { return m_now; });
    }
    QDateTime now() const { return m_now; }
    void advance(std::chrono::milliseconds by) { m_now = m_now.addMSecs(by.count()); }

private:
    QDateTime m_now;
};

} // namespace tavsms::test
