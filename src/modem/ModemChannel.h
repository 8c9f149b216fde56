#pragma once

#include "AppState.h"
#include "IncomingPoller.h"
#include "ModemTimeouts.h"

#include <QCoroTask>
#include <QObject>
#include <QTimer>

#include <array>
#include <memory>

namespace tavsms {

class MainController;
class ModemPort;
class ModemPortInitializer;
class PhoneConsole;
class PortSender;
class StatusReportDesk;

// The modem channel put together: the five serial ports (SPort1, sport2 …
// sport5), port initialisation, the five senders on Timer1 … Timer5 with
// their incoming polls, and the phone console on COM1. Plugs itself into
// the controller; create it before MainController::start().
//
// A device that goes away under an open port leaves the connected count
// and is noted in the debug log and status panel 3; when something is at
// its configured path again (the same device node, or the same by-id link
// now pointing elsewhere) the port is opened and initialised again by
// itself. The path is looked for with one stat() every deviceCheck, and
// only while a device is away: a watch on /dev would need /dev/serial/by-id,
// which udev removes with the last USB serial device, and private links
// (the simulator's) live anywhere.
class ModemChannel : public QObject
{
    Q_OBJECT
public:
    explicit ModemChannel(MainController &controller, ModemTimeouts timeouts = {}, QObject *parent = nullptr);
    ~ModemChannel() override;

    ModemPort &port(int index) { return *m_ports.at(size_t(index)); }
    PortSender &sender(int index) { return *m_senders.at(size_t(index)); }
    ModemPortInitializer &initializer() { return *m_initializer; }
    PhoneConsole &console() { return *m_console; }
    IncomingPoller &poller() { return *m_poller; }
    StatusReportDesk &reports() { return *m_reports; }
    ModemTimeouts &timeouts() { return m_timeouts; }
    // Runs every deviceCheck while a lost device is awaited.
    const QTimer &deviceCheck() const { return m_deviceCheck; }

    // Where newly stored incoming messages go (the auto-reply rules).
    void setIncomingHandler(IncomingHandler handler);

    // Closes every port (shut-down).
    void closeAll();

Q_SIGNALS:
    void tipRequested(const QString &title, const QString &text, int seconds);

private:
    void onPortLost(int index);
    void lookForLostDevices();
    QCoro::Task<void> reopen(int index);

    MainController &m_controller;
    ModemTimeouts m_timeouts;
    std::array<std::unique_ptr<ModemPort>, kPortCount> m_ports;
    std::unique_ptr<IncomingPoller> m_poller;
    std::unique_ptr<StatusReportDesk> m_reports;
    std::array<std::unique_ptr<PortSender>, kPortCount> m_senders;
    std::unique_ptr<ModemPortInitializer> m_initializer;
    std::unique_ptr<PhoneConsole> m_console;
    QTimer m_deviceCheck;
    std::array<bool, kPortCount> m_away{};      // lost and not opened since
    std::array<bool, kPortCount> m_reopening{};
};

} // namespace tavsms
