#include "ModemChannel.h"

#include "MainController.h"
#include "ModemPort.h"
#include "ModemPortInitializer.h"
#include "PhoneConsole.h"
#include "PortSender.h"
#include "SerialPortLayer.h"
#include "StatusReportDesk.h"

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
        m_ports[size_t(i)]->setDebugLog(&controller.debugLog());
        connect(m_ports[size_t(i)].get(), &ModemPort::lost, this, [this, i] { onPortLost(i); });
    }
    connect(&m_deviceCheck, &QTimer::timeout, this, &ModemChannel::lookForLostDevices);
    // The store opens at start(); its users reach it through the controller then.
    const StoreAccess store = [&controller]() -> Store & { return controller.store(); };
    m_poller = std::make_unique<IncomingPoller>(state, store, controller.debugLog(), m_timeouts);
    m_reports = std::make_unique<StatusReportDesk>(state, store, controller.debugLog(), m_timeouts);
    for (int i = 0; i < kPortCount; ++i) {
        m_reports->watch(i, *raw[size_t(i)]);
        m_senders[size_t(i)] = std::make_unique<PortSender>(i, *raw[size_t(i)], controller.portTimer(i), state,
                                                            store, *m_poller, *m_reports, m_timeouts,
                                                            controller.debugLog());
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
    m_deviceCheck.stop();
    m_away.fill(false);
    for (auto &port : m_ports)
        port->close();
}

void ModemChannel::onPortLost(int index)
{
    if (m_controller.isShutDown())
        return;
    const QString name = kSoftwarePorts.at(index);
    const QString path = port(index).systemPort();
    m_controller.debugLog().writeEvent(QStringLiteral(" %1 - device lost (%2)").arg(name, path));
    AppState &state = m_controller.state();
    state.setPortConnected(index, false);
    state.setTipText(QStringLiteral("%1 device lost: %2").arg(name, path));
    m_away[size_t(index)] = true;
    if (!m_deviceCheck.isActive())
        m_deviceCheck.start(m_timeouts.deviceCheck);
}

void ModemChannel::lookForLostDevices()
{
    bool waiting = false;
    for (int i = 0; i < kPortCount; ++i) {
        if (!m_away[size_t(i)] || m_reopening[size_t(i)]) {
            waiting = waiting || m_reopening[size_t(i)];
            continue;
        }
        // Re-initialisation opened it meanwhile.
        if (port(i).isOpen()) {
            m_away[size_t(i)] = false;
            continue;
        }
        waiting = true;
        // A re-initialisation under way brings the port up itself if it can.
        if (!m_controller.isInitializing() && SerialPortLayer::deviceExists(port(i).systemPort()))
            reopen(i);
    }
    if (!waiting)
        m_deviceCheck.stop();
}

QCoro::Task<void> ModemChannel::reopen(int index)
{
    m_reopening[size_t(index)] = true;
    const ModemPortInitializer::Reopened result = co_await m_initializer->reopen(index);
    m_reopening[size_t(index)] = false;
    // Not there yet, or gone again while it was brought up: looked for at the next check.
    if (result == ModemPortInitializer::Reopened::NotYet || m_controller.isShutDown()
        || (result == ModemPortInitializer::Reopened::Back && !port(index).isOpen()))
        co_return;
    m_away[size_t(index)] = false;
    if (result == ModemPortInitializer::Reopened::Back) {
        const QString name = kSoftwarePorts.at(index);
        const QString path = port(index).systemPort();
        m_controller.debugLog().writeEvent(QStringLiteral(" %1 - device back (%2)").arg(name, path));
        m_controller.state().setTipText(QStringLiteral("%1 device back: %2").arg(name, path));
    }
}

} // namespace tavsms
