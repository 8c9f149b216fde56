#pragma once

#include <QObject>
#include <QTimer>

#include <coroutine>

namespace tavsms {

// co_await NextTurn{guard}: lets every event waiting in the loop run, then
// resumes, unless `guard` has been destroyed meanwhile (its screen closed),
// in which case the coroutine never resumes. Long work awaits it between
// chunks so the senders, the listener and the screens keep running.
struct NextTurn
{
    QObject *guard;
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiter)
    {
        QTimer::singleShot(0, guard, [waiter] { waiter.resume(); });
    }
    void await_resume() const noexcept {}
};

} // namespace tavsms
