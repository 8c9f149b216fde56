#include "ConnectionSettings.h"

#include "AppState.h"
#include "Database.h"
#include "GatewayAccountRecord.h"
#include "NetworkSettings.h"
#include "Prompter.h"

namespace tavsms {

ConnectionSettings::ConnectionSettings(Database &db, Prompter &prompter, Hooks hooks)
    : m_db(db)
    , m_prompter(prompter)
    , m_hooks(std::move(hooks))
{
}

QString ConnectionSettings::cautionText(const QString &systemPort)
{
    return QStringLiteral("Caution: We are not able to find hardware port no ") + systemPort
        + QStringLiteral(" on this system.");
}

std::optional<SettingsScreenState> ConnectionSettings::load()
{
    try {
        return read();
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"), e.message());
        return std::nullopt;
    }
}

SettingsScreenState ConnectionSettings::read()
{
    SettingsScreenState state;
    const QStringList present = m_hooks.ports();
    for (PortTab &tab : state.ports)
        tab.portChoices = present;

    const GatewayAccountRecord account = GatewayAccountRecord::load(m_db);
    state.internet.active = account.active;
    state.internet.username = account.username;
    state.internet.gsmId = account.gsmId;
    state.internet.cdmaId = account.cdmaId;
    const NetworkSettings network = NetworkSettings::load(m_db);
    state.internet.parallelRequests = network.parallelRequests;
    state.listener = {network.listenAddress, network.allowedNetworks};

    // Inactive rows are not shown, whatever they still hold.
    for (const PortConfig &row : PortConfig::loadActive(m_db)) {
        const int index = AppState::portIndex(row.softwarePortNo);
        if (index < 0)
            continue;
        PortTab &tab = state.ports[size_t(index)];
        PortSettings &s = tab.settings;
        s.active = true;
        s.systemPort = row.systemPortNo;
        s.deviceType = row.deviceType;
        s.mobileOperator = row.mobileOperator;
        s.allowRouting = row.allowRouting;
        s.allowTwoWay = row.allowTwoWay;
        s.blockIncoming = row.blockIncoming;
        s.pduMode = row.usesPdu();
        s.deliveryReports = row.asksReports();

        tab.selectedPort = int(tab.portChoices.indexOf(s.systemPort));
        if (tab.selectedPort < 0 && !s.systemPort.isEmpty()) {
            // Keep the stored name selectable; say so when the machine lacks it.
            tab.portChoices << s.systemPort;
            tab.selectedPort = int(tab.portChoices.size()) - 1;
            if (!m_hooks.isPresent(s.systemPort))
                tab.caution = cautionText(s.systemPort);
        }
    }
    return state;
}

ConnectionSettings::ApplyOutcome ConnectionSettings::applyPort(int index, PortSettings s)
{
    ApplyOutcome outcome;
    const QString softwarePort = QStringLiteral("COM%1").arg(index + 1);
    if (s.deviceType != kCallBlockingModem && s.blockIncoming) {
        s.blockIncoming = false;
        outcome.blockUnticked = true;
    }
    // Names are compared and stored without outer blanks: "Airtel " and
    // "Airtel" would otherwise be two connections nobody can tell apart,
    // and a name of blanks no name at all.
    const QString name = s.mobileOperator.trimmed();
    if (name.isEmpty()) {
        m_prompter.exclamation(QStringLiteral("Error"), QStringLiteral("Please enter mobile operator's name."));
        outcome.focusOperator = true;
        return outcome;
    }
    if (s.systemPort.trimmed().isEmpty()) {
        m_prompter.exclamation(QStringLiteral("Error"), QStringLiteral("Please select the system port of this connection."));
        return outcome;
    }
    try {
        if (PortConfig::operatorTakenElsewhere(m_db, name, softwarePort)) {
            m_prompter.exclamation(QStringLiteral("Error"),
                                   QStringLiteral("Mobile Operator ") + name
                                       + QStringLiteral(" already exist. Please choose another name for this "
                                                        "connection."));
            outcome.focusOperator = true;
            return outcome;
        }
        // A CDMA phone keeps its own form: a tick left from a GSM type is not kept.
        PortConfig::saveActive(m_db, PortConfig{softwarePort, s.systemPort.trimmed(), s.deviceType, name,
                                                s.allowTwoWay, s.allowRouting, s.blockIncoming,
                                                s.pduMode && s.deviceType != kCdmaDeviceType,
                                                s.deliveryReports && s.deviceType != kCdmaDeviceType});
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"), e.message());
        return outcome;
    }
    m_prompter.information(QStringLiteral("Success"), QStringLiteral("Port added/updated successfully."));
    outcome.saved = true;
    return outcome;
}

QCoro::Task<bool> ConnectionSettings::updateSettings(std::array<bool, kPortCount> portActive,
                                                     bool internetActive, int parallelRequests,
                                                     std::optional<ListenerFields> listener)
{
    NetworkSettings network;
    if (listener) {
        network.listenAddress = listener->listenAddress.trimmed();
        network.allowedNetworks = listener->allowedNetworks.trimmed();
        // Checked as the listener will take them, so that what is saved
        // cannot keep the program from starting.
        QString why;
        if (!network.listener(&why)) {
            m_prompter.exclamation(QStringLiteral("Error"), why);
            co_return false;
        }
    }
    try {
        for (int i = 0; i < kPortCount; ++i)
            PortConfig::setActive(m_db, kSoftwarePorts.at(i), portActive[size_t(i)]);
        GatewayAccountRecord::setActive(m_db, internetActive);
        NetworkSettings stored = NetworkSettings::load(m_db);
        stored.parallelRequests = parallelRequests;
        if (listener) {
            stored.listenAddress = network.listenAddress;
            stored.allowedNetworks = network.allowedNetworks;
        }
        stored.save(m_db);
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"), e.message());
        co_return false;
    }
    m_prompter.information(QStringLiteral("Success"), QStringLiteral("COM Ports Updated"));
    // Port initialisation closes and reopens the ports as they are now set.
    Reinitializer reinitialize = m_hooks.reinitialize; // the screen may close meanwhile
    co_await reinitialize();
    co_return true;
}

QCoro::Task<bool> ConnectionSettings::confirmClose()
{
    return m_prompter.question(applicationTitle(),
                               QStringLiteral("If, you have made any changes then please press ''Update Settings'' "
                                              "before exit.\r\nTo update the settings press ''Cancel'' or else "
                                              "''OK'' to continue."),
                               Prompter::Icon::Question);
}

void ConnectionSettings::noticeCallBlocking(bool anyTicked)
{
    if (anyTicked)
        m_prompter.information(applicationTitle(),
                               QStringLiteral("Block incoming call feature is not available with CDMA mobiles/modems."));
}

} // namespace tavsms
