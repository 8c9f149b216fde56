#pragma once

#include "ModemTimeouts.h"
#include "AppState.h"
#include "PortConfig.h"
#include "PortInitializer.h"

#include <QList>
#include <QObject>

#include <array>
#include <functional>

namespace tavsms {

class MainController;
class ModemPort;

// Brings the active ports into service. Phase 1 checks that every active
// port's system port is on the machine and stops the whole run at the first
// one that is not; phase 2 opens each port (closing it first when an earlier
// run opened it), switches its sender timer on, probes the device and puts a
// GSM device into text mode (PDU mode when its settings say so) without
// new-message indications. Then the
// connected count, and rows stranded in "Sending" go back to "Pending".
class ModemPortInitializer : public QObject, public PortInitializer
{
    Q_OBJECT
public:
    using InFlight = std::function<QList<qint64>()>;

    ModemPortInitializer(MainController &controller, std::array<ModemPort *, kPortCount> ports,
                         const ModemTimeouts &timeouts, QObject *parent = nullptr);

    // Rows the senders are handing over right now; the repair leaves them.
    void setInFlight(InFlight inFlight) { m_inFlight = std::move(inFlight); }

    QCoro::Task<void> initialize() override;

    // Brings one port whose device came back into service again, as
    // initialisation does: opened, probed, put in text mode. Nothing is
    // shown to the operator when it cannot be opened yet.
    enum class Reopened { Back, NotYet, NotActive };
    QCoro::Task<Reopened> reopen(int index);

    static QString missingPortText(const QString &systemPortNo, const QString &mobileOperator);

Q_SIGNALS:
    // A small window that closes itself after `seconds`.
    void tipRequested(const QString &title, const QString &text, int seconds);

private:
    QCoro::Task<bool> bringUp(int index, const PortConfig &row, int &connected);
    void refusePduPort(int index);
    // Sets the device up to ask for and pass on status reports; the port's
    // `reports` says whether it took the settings. False on shut-down.
    QCoro::Task<bool> askForReports(int index, ModemPort &port);
    void repairQueue();

    MainController &m_controller;
    std::array<ModemPort *, kPortCount> m_ports;
    const ModemTimeouts &m_timeouts;
    InFlight m_inFlight;
};

} // namespace tavsms
