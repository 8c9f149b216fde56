#pragma once

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <functional>

namespace tavsms::test {

// Turns the event loop until `done` holds, looking at it each time the loop
// has dealt with everything pending (and every few milliseconds, for what
// other threads change); false when `timeoutMs` passes first. QTRY_* and
// qWaitFor sleep between their rounds, so a dialogue with a simulated device
// on this thread would move one step per sleep; here it runs at full speed.
inline bool waitFor(const std::function<bool()> &done, int timeoutMs = 10000)
{
    if (done())
        return true;
    QEventLoop loop;
    bool met = false;
    const auto look = [&] {
        if (!met && done()) {
            met = true;
            loop.quit();
        }
    };
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, look);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, look);
    poll.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return met || done();
}

} // namespace tavsms::test

// QTRY_VERIFY and QTRY_COMPARE on waitFor().
#define WAIT_VERIFY(expr) QVERIFY2(::tavsms::test::waitFor([&] { return bool(expr); }), "still false: " #expr)
#define WAIT_COMPARE(actual, expected)                                                                        \
    do {                                                                                                      \
        (void)::tavsms::test::waitFor([&] { return (actual) == (expected); });                                \
        QCOMPARE(actual, expected);                                                                           \
    } while (false)
