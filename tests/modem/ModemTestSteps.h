#pragma once

// Small steps the modem channel's tests share.
#include "ModemRig.h"

#include <QCoroTask>
#include <QTest>

#include <optional>

namespace tavsms::test {

inline const QString kGsmModem = QStringLiteral("GSM Modem - TAV");
inline const QString kCdma = QStringLiteral("CDMA Mobile - Nokia");

// Ticks "Unicode and long messages (PDU mode)" for a configured port.
inline void usePdu(ModemRig &rig, const QString &softwarePort)
{
    rig.withStore([&](Store &s) {
        s.db().exec(QStringLiteral("UPDATE config_ports SET pduMode = 1 WHERE softwarePortNo = ?"), {softwarePort});
    });
}

inline QString status(ModemRig &rig, qint64 id)
{
    return rig.store().queue().row(id)->status;
}

inline void enqueue(ModemRig &rig, const QString &number, const QString &text, const QString &route = kRouteAuto)
{
    QVERIFY(rig.store().queue().addToQueue(number, text, route));
}

template<typename T>
QCoro::Task<void> storeResult(QCoro::Task<T> task, std::optional<T> *out)
{
    *out = co_await task;
}

inline QCoro::Task<void> markDone(QCoro::Task<void> task, bool *done)
{
    co_await task;
    *done = true;
}

// Runs a coroutine to its end while the event loop turns.
template<typename T>
std::optional<T> finish(QCoro::Task<T> task)
{
    std::optional<T> result;
    auto waiter = storeResult(std::move(task), &result);
    (void)QTest::qWaitFor([&] { return result.has_value(); }, 5000);
    return result;
}

inline bool finish(QCoro::Task<void> task)
{
    bool done = false;
    auto waiter = markDone(std::move(task), &done);
    (void)QTest::qWaitFor([&] { return done; }, 5000);
    return done;
}

} // namespace tavsms::test
