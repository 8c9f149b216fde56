#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <coroutine>
#include <memory>

namespace tavsms {

// co_await NextSignal(obj, &Obj::signal, timeout): suspends until the signal
// is emitted or the time-out passes; yields true for the signal. The
// coroutine resumes from the event loop, never inside the emitter, and only
// once however often the signal fires before it runs. (qCoro()'s signal
// awaiter of this QCoro version resumes a destroyed awaiter when a signal
// fires twice before its queued call is delivered.) If `obj` is destroyed
// first, the coroutine is never resumed. A negative time-out never expires.
template<typename T, typename Signal>
class NextSignal
{
    struct State
    {
        QPointer<T> obj;
        QMetaObject::Connection connection;
        QTimer timer;
        std::coroutine_handle<> handle;
        bool fired = false;
        bool signalled = false;

        ~State() { QObject::disconnect(connection); }

        void fire(bool bySignal)
        {
            if (fired)
                return;
            fired = true;
            signalled = bySignal;
            QObject::disconnect(connection);
            timer.stop();
            const std::coroutine_handle<> h = handle;
            QMetaObject::invokeMethod(obj.data(), [h] { h.resume(); }, Qt::QueuedConnection);
        }
    };

public:
    NextSignal(T *obj, Signal signal, std::chrono::milliseconds timeout)
        : m_state(std::make_shared<State>())
        , m_signal(signal)
        , m_timeout(timeout)
    {
        m_state->obj = obj;
    }

    bool await_ready() const noexcept { return m_state->obj.isNull(); }

    void await_suspend(std::coroutine_handle<> handle)
    {
        State *state = m_state.get();
        state->handle = handle;
        state->connection = QObject::connect(state->obj.data(), m_signal, state->obj.data(),
                                             [state] { state->fire(true); }, Qt::DirectConnection);
        if (m_timeout.count() >= 0) {
            state->timer.setSingleShot(true);
            QObject::connect(&state->timer, &QTimer::timeout, state->obj.data(), [state] { state->fire(false); });
            state->timer.start(m_timeout);
        }
    }

    bool await_resume() const noexcept { return m_state->signalled; }

private:
    std::shared_ptr<State> m_state;
    Signal m_signal;
    std::chrono::milliseconds m_timeout;
};

} // namespace tavsms
