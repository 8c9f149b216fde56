#pragma once

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

namespace tavsms::test {

// Runs the event loop until `done()` holds or `timeoutMs` pass, and says
// whether it held. QTest::qWaitFor (and the QTRY_ macros) sleep ten
// milliseconds between looks with no event handled meanwhile, so every step
// of a chain of events waited for (a dialogue with a simulated device on this
// thread, a request and its answer) costs at least that. Here `done()` is
// asked each time the loop has dealt with everything pending, and every few
// milliseconds for what other threads and processes change.
template<typename Done>
[[nodiscard]] bool waitFor(Done done, int timeoutMs = 10000)
{
    if (done())
        return true;
    QEventLoop loop;
    const auto look = [&] {
        if (done())
            loop.quit();
    };
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, look);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, look);
    poll.start(2);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

} // namespace tavsms::test

// QTRY_VERIFY and QTRY_COMPARE, without their sleeps.
#define WAIT_VERIFY_WITHIN(expr, timeoutMs)                                                                    \
    QVERIFY2(::tavsms::test::waitFor([&] { return bool(expr); }, timeoutMs), "still false: " #expr)
#define WAIT_VERIFY(expr) WAIT_VERIFY_WITHIN(expr, 10000)
#define WAIT_COMPARE_WITHIN(actual, expected, timeoutMs)                                                       \
    do {                                                                                                       \
        (void)::tavsms::test::waitFor([&] { return (actual) == (expected); }, timeoutMs);                      \
        QCOMPARE(actual, expected);                                                                            \
    } while (false)
#define WAIT_COMPARE(actual, expected) WAIT_COMPARE_WITHIN(actual, expected, 10000)
