#include "ModemChannel.h"

#include "MainController.h"
#include "ModemPort.h"
#include "ModemPortInitializer.h"
#include "PhoneConsole.h"
#include "PortSender.h"

namespace tavsms {

ModemChannel::ModemChannel(MainController &controller, ModemTimeouts timeouts, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_timeouts(timeouts)
{
    AppState &state = controller.state();
    std::array<ModemPort *, kPortCount> raw{};
    for (int i = 0; i < kPortCount; ++i) {
        m_ports[size_t(i)] = std::make_unique<ModemPort>(kSoftwarePorts.at(i));
        raw[size_t(i)] = m_ports[size_t(i)].get();
        // The abort-waits flag ends every wait on every port at once.
        connect(&state, &AppState::abortWaitsRaised, m_ports[size_t(i)].get(), &ModemPort::wake);
    }
    // The store opens at start(); its users reach it through the controller then.
    const StoreAccess store = [&controller]() -> Store & { return controller.store(); };
    m_poller = std::make_unique<IncomingPoller>(state, store, controller.debugLog(), m_timeouts);
    for (int i = 0; i < kPortCount; ++i) {
        m_senders[size_t(i)] = std::make_unique<PortSender>(i, *raw[size_t(i)], controller.portTimer(i), state,
                                                            store, *m_poller, m_timeouts, controller.debugLog());
        connect(&controller.portTimer(i), &QTimer::timeout, m_senders[size_t(i)].get(), &PortSender::onTimer);
    }
    m_initializer = std::make_unique<ModemPortInitializer>(controller, raw, m_timeouts);
    m_initializer->setInFlight([this] {
        QList<qint64> ids;
        for (const auto &sender : m_senders)
            if (const auto id = sender->rowInFlight())
                ids << *id;
        return ids;
    });
    connect(m_initializer.get(), &ModemPortInitializer::tipRequested, this, &ModemChannel::tipRequested);
    controller.setPortInitializer(m_initializer.get());
    m_console = std::make_unique<PhoneConsole>(*raw[0], store, state, m_timeouts);
    connect(&controller, &MainController::closingPorts, this, &ModemChannel::closeAll);
}

ModemChannel::~ModemChannel()
{
    m_controller.setPortInitializer(nullptr);
    // Ports go first: a wait suspended on one of them is never resumed into
    // a sender that is already gone.
    for (auto &port : m_ports)
        port.reset();
}

void ModemChannel::setIncomingHandler(IncomingHandler handler)
{
    m_poller->setHandler(std::move(handler));
}

void ModemChannel::closeAll()
{
    for (auto &port : m_ports)
        port->close();
}

} // namespace tavsms
