#include "ModemPortInitializer.h"

#include "AtDialogue.h"
#include "Database.h"
#include "GatewayAccountRecord.h"
#include "MainController.h"
#include "ModemHealth.h"
#include "ModemPort.h"
#include "Prompter.h"
#include "SerialPortLayer.h"
#include "StartupError.h"

namespace tavsms {

namespace {

QString trueFalse(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// The label of the text-mode line in the debug log, port by port.
QString gsmStatusLabel(int index)
{
    switch (index) {
    case 0: return QStringLiteral(" Status GSM Modem - ");
    case 1: return QStringLiteral(" COM2 Status GSM Modem - ");
    default: return QStringLiteral("COM%1 Status GSM Modem - ").arg(index + 1);
    }
}

} // namespace

ModemPortInitializer::ModemPortInitializer(MainController &controller, std::array<ModemPort *, kPortCount> ports,
                                           const ModemTimeouts &timeouts, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_ports(ports)
    , m_timeouts(timeouts)
{
}

QString ModemPortInitializer::missingPortText(const QString &systemPortNo, const QString &mobileOperator)
{
    return QStringLiteral("All configured ports i.e., COM Port No ") + systemPortNo
        + QStringLiteral(" used by connection name ''") + mobileOperator
        + QStringLiteral("'' is not available. Check the connectivity cable and ensure phone is properly "
                         "connected to the system.")
        + QLatin1Char('\r')
        + QStringLiteral("After checking the settings please press the ''Re-Initialize'' button from ''File'' menu.");
}

QCoro::Task<void> ModemPortInitializer::initialize()
{
    AppState &state = m_controller.state();
    state.setAbortWaits(false);
    int connected = 0;
    for (int i = 0; i < kPortCount; ++i)
        state.port(i).connected = false;

    Database &db = m_controller.store().db();
    const bool gatewayActive = GatewayAccountRecord::load(db).active;
    state.setInternetChannel(gatewayActive);
    if (gatewayActive)
        m_controller.gatewayTimer().start();
    else
        m_controller.gatewayTimer().stop();

    // Phase 1: every active port must be on the machine, or none is opened.
    for (const PortConfig &row : PortConfig::loadActive(db)) {
        const int index = AppState::portIndex(row.softwarePortNo);
        if (index < 0)
            continue;
        const bool present = SerialPortLayer::isPresent(row.systemPortNo);
        state.port(index).present = present;
        if (!present) {
            m_controller.prompter().critical(applicationTitle(), missingPortText(row.systemPortNo, row.mobileOperator));
            Q_EMIT tipRequested(QStringLiteral("Tip"), QStringLiteral("You need to configure ports from File>>Configure Modem"),
                                10);
            state.setConnectedCount(connected);
            co_return;
        }
    }

    // Phase 2: open, start the sender, probe.
    for (const PortConfig &row : PortConfig::loadActive(db)) {
        const int index = AppState::portIndex(row.softwarePortNo);
        if (index < 0)
            continue;
        if (!co_await bringUp(index, row, connected))
            co_return; // shut-down came during a wait
    }
    state.setConnectedCount(connected);
    repairQueue();
}

QCoro::Task<bool> ModemPortInitializer::bringUp(int index, const PortConfig &row, int &connected)
{
    AppState &state = m_controller.state();
    DebugLog &log = m_controller.debugLog();
    PortState &ps = state.port(index);
    ps.deviceClass = row.deviceType == kCdmaDeviceType ? QStringLiteral("CDMA") : QStringLiteral("GSM");
    ps.twoWay = row.allowTwoWay;
    ps.routing = row.allowRouting;
    ps.pdu = row.usesPdu();

    ModemPort &port = *m_ports.at(size_t(index));
    // Closing ends whatever dialogue the port is in; then wait for its owner to let go.
    port.close();
    co_await port.acquire();
    PortHold hold(port);
    if (const QString why = port.open(row.systemPortNo); !why.isEmpty())
        throw StartupError(QStringLiteral("Serial Port %1 (%2)").arg(row.systemPortNo, row.softwarePortNo), why);
    m_controller.portTimer(index).start();

    const QString name = kSoftwarePorts.at(index);
    log.writeEvent(QStringLiteral(" Activating %1 - ").arg(name));
    AtDialogue::writeCommand(port, index == 0 ? QStringLiteral("ATI") : QStringLiteral("AT"));
    const AtDialogue::Reply probe = co_await AtDialogue::waitForReply(port, state, m_timeouts.probe(index));
    if (probe.outcome == AtDialogue::Outcome::Aborted)
        co_return false;
    const bool isConnected = probe.ok();
    if (isConnected)
        ++connected;
    ps.connected = isConnected;
    if (index == 0 && isConnected && !probe.text.contains(QLatin1String("Nokia"), Qt::CaseInsensitive)
        && !probe.text.contains(QLatin1String("WAVECOM"), Qt::CaseInsensitive)) {
        m_controller.prompter().information(
            QStringLiteral("Not Nokia Phone"),
            QStringLiteral("Phone is connected but it is not NOKIA model and will not be supported. Please ignore "
                           "this if, you have connected GSM modem or else please recheck the PORT No."));
    }
    log.writeEvent(QStringLiteral(" Status %1 - ").arg(name) + trueFalse(isConnected));

    if (ps.deviceClass == QLatin1String("GSM")) {
        log.writeEvent(QStringLiteral(" Activating %1 for GSM Type - ").arg(name));
        AtDialogue::writeCommand(port, ps.pdu ? QStringLiteral("AT+CMGF=0") : QStringLiteral("AT+CMGF=1"));
        const AtDialogue::Reply textMode = co_await AtDialogue::waitForReply(port, state, m_timeouts.textModeFor(index));
        if (textMode.outcome == AtDialogue::Outcome::Aborted)
            co_return false;
        if (ps.pdu && !textMode.ok())
            refusePduPort(index);
        ps.reports = false;
        if (row.asksReports() && !co_await askForReports(index, port))
            co_return false;
        if (!ps.reports) {
            AtDialogue::writeCommand(port, QStringLiteral("AT+CNMI=0,0,0,0,0"));
            const AtDialogue::Reply indications = co_await AtDialogue::waitForReply(port, state, m_timeouts.indications);
            if (indications.outcome == AtDialogue::Outcome::Aborted)
                co_return false;
        }
        log.writeEvent(gsmStatusLabel(index) + trueFalse(textMode.ok()));
        if (isConnected) {
            state.setPortHealth(index, PortHealth{});
            co_await ModemHealth::readIdentity(port, state, index, m_timeouts.health);
            if (!co_await ModemHealth::readSignal(port, state, index, m_timeouts.health, log))
                co_return false;
        }
    }
    co_return true;
}

QCoro::Task<bool> ModemPortInitializer::askForReports(int index, ModemPort &port)
{
    AppState &state = m_controller.state();
    PortState &ps = state.port(index);
    const QString name = kSoftwarePorts.at(index);
    const auto ask = [&](const QString &command) -> QCoro::Task<AtDialogue::Outcome> {
        AtDialogue::writeCommand(port, command);
        co_return (co_await AtDialogue::waitForReply(port, state, m_timeouts.indications)).outcome;
    };
    // Text mode: TP-SRR rides in the first octet AT+CSMP sets (SUBMIT,
    // relative validity, report asked for), with the 4-day validity of PDU mode.
    if (!ps.pdu) {
        const AtDialogue::Outcome csmp = co_await ask(QStringLiteral("AT+CSMP=49,167,0,0"));
        if (csmp == AtDialogue::Outcome::Aborted)
            co_return false;
        if (csmp != AtDialogue::Outcome::Ok) {
            m_controller.debugLog().writeEvent(
                QStringLiteral(" %1 - the device refused AT+CSMP; messages go without delivery reports").arg(name));
            co_return true;
        }
    }
    // Reports passed on as they come (+CDS), else stored and announced (+CDSI).
    for (const QString &cnmi : {QStringLiteral("AT+CNMI=2,1,0,1,0"), QStringLiteral("AT+CNMI=2,1,0,2,0")}) {
        const AtDialogue::Outcome outcome = co_await ask(cnmi);
        if (outcome == AtDialogue::Outcome::Aborted)
            co_return false;
        if (outcome == AtDialogue::Outcome::Ok) {
            ps.reports = true;
            co_return true;
        }
    }
    m_controller.debugLog().writeEvent(
        QStringLiteral(" %1 - the device refused to pass on delivery reports (AT+CNMI); messages go without them")
            .arg(name));
    if (!ps.pdu) {
        // Back to no report asked for, or the network would send them for nothing.
        if (co_await ask(QStringLiteral("AT+CSMP=17,167,0,0")) == AtDialogue::Outcome::Aborted)
            co_return false;
    }
    co_return true;
}

QCoro::Task<ModemPortInitializer::Reopened> ModemPortInitializer::reopen(int index)
{
    std::optional<PortConfig> row;
    try {
        for (const PortConfig &active : PortConfig::loadActive(m_controller.store().db()))
            if (AppState::portIndex(active.softwarePortNo) == index)
                row = active;
    } catch (const DbError &) {
        co_return Reopened::NotYet;
    }
    if (!row)
        co_return Reopened::NotActive;
    int connected = 0;
    try {
        if (!co_await bringUp(index, *row, connected))
            co_return Reopened::NotYet; // shut-down came during a wait
    } catch (const StartupError &) {
        co_return Reopened::NotYet; // there, but not yet to be opened (its permissions may still be set)
    }
    m_controller.state().setPortConnected(index, connected > 0);
    co_return Reopened::Back;
}

void ModemPortInitializer::refusePduPort(int index)
{
    // A device left in text mode would take the PDU hex for the text of a
    // message to the number AT+CMGS names; it sends and reads nothing until
    // it is initialised again.
    PortState &ps = m_controller.state().port(index);
    ps.routing = false;
    ps.twoWay = false;
    m_controller.debugLog().writeEvent(
        QStringLiteral(" %1 did not switch to PDU mode: no messages are sent or read through it until it is "
                       "initialised again")
            .arg(kSoftwarePorts.at(index)));
}

void ModemPortInitializer::repairQueue()
{
    // A sender of a port that is no longer active may still be handing its row over.
    m_controller.store().queue().repairSending(m_inFlight ? m_inFlight() : QList<qint64>());
}

} // namespace tavsms
