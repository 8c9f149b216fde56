#pragma once

// The fake gateway answering every request with success after a round trip,
// from a thread of its own, as a real one would from another machine: on the
// sender's thread its timers would wait on the sender.

#include "FakeGateway.h"

#include <QThread>

#include <functional>
#include <memory>

namespace tavsms::bench {

class GatewayOnItsOwnThread
{
public:
    explicit GatewayOnItsOwnThread(int roundTripMs)
    {
        m_anchor.moveToThread(&m_thread);
        m_thread.start();
        run([&] {
            m_gateway = std::make_unique<test::FakeGateway>();
            m_gateway->setHandler([roundTripMs](const test::FakeGateway::Request &) {
                return test::FakeGateway::Reply{200, "OK", "Message Sent! Success", roundTripMs};
            });
            m_started = m_gateway->start();
        });
    }
    ~GatewayOnItsOwnThread()
    {
        run([&] { m_gateway.reset(); });
        m_thread.quit();
        m_thread.wait();
    }

    bool started() const { return m_started; }
    // Runs `work` on the gateway's thread and waits for it: the only way to
    // look at or touch the gateway.
    void run(const std::function<void()> &work)
    {
        QMetaObject::invokeMethod(&m_anchor, work, Qt::BlockingQueuedConnection);
    }
    test::FakeGateway &gateway() { return *m_gateway; }

private:
    QThread m_thread;
    QObject m_anchor;
    std::unique_ptr<test::FakeGateway> m_gateway;
    bool m_started = false;
};

} // namespace tavsms::bench
