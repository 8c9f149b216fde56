#pragma once

#include <QEventLoop>
#include <QTest>
#include <QTimer>

namespace tavsms::test {

// Runs the event loop until `done()` holds or `timeoutMs` pass, and says
// whether it held. QTest::qWaitFor (and the QTRY_ macros) sleep ten
// milliseconds between looks with no event handled meanwhile, so every step
// of a chain of events waited for costs at least that; here events are
// handled as they come and `done()` is asked again every millisecond.
template<typename Done>
[[nodiscard]] bool waitFor(Done done, int timeoutMs = 5000)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer look;
    look.setInterval(1);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    look.start();
    loop.exec();
    return done();
}

} // namespace tavsms::test

// QTRY_VERIFY and QTRY_COMPARE, without their sleeps.
#define WAIT_VERIFY_WITHIN(expr, timeoutMs)                                                                    \
    QVERIFY2(::tavsms::test::waitFor([&] { return bool(expr); }, timeoutMs), #expr)
#define WAIT_VERIFY(expr) WAIT_VERIFY_WITHIN(expr, 5000)
#define WAIT_COMPARE_WITHIN(actual, expected, timeoutMs)                                                       \
    do {                                                                                                       \
        (void)::tavsms::test::waitFor([&] { return (actual) == (expected); }, timeoutMs);                      \
        QCOMPARE(actual, expected);                                                                            \
    } while (false)
#define WAIT_COMPARE(actual, expected) WAIT_COMPARE_WITHIN(actual, expected, 5000)
