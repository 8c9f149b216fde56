#pragma once

#include "AppState.h"
#include "PortConfig.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

namespace tavsms {

class Database;
class Prompter;

// Only this type can block incoming calls.
inline const QString kCallBlockingModem = QStringLiteral("GSM Modem - TAV");

// One port tab's fields.
struct PortSettings
{
    bool active = false;
    QString systemPort;
    QString deviceType;
    QString mobileOperator;
    bool allowRouting = false; // "Allow Outgoing SMS"
    bool allowTwoWay = false;  // "Allow Auto-Reply SMS"
    bool blockIncoming = false;
    bool pduMode = false;      // "Unicode and long messages (PDU mode)", GSM types only
    bool deliveryReports = false; // "Request delivery reports", GSM types only
};

// What a port tab shows when the screen opens.
struct PortTab
{
    PortSettings settings;       // empty unless the port is active
    QStringList portChoices;     // the drop-down's entries
    int selectedPort = -1;       // index into portChoices
    QString caution;             // the status line; empty when all is well
};

struct InternetTab
{
    bool active = false;
    QString username;
    QString gsmId;
    QString cdmaId;
    int parallelRequests = 8; // "Parallel requests"
};

// Where the send listener listens and whom it serves; taken when the
// listener starts, with the program.
struct ListenerFields
{
    QString listenAddress; // empty: every interface
    QString allowedNetworks;
};

struct SettingsScreenState
{
    std::array<PortTab, kPortCount> ports;
    InternetTab internet;
    ListenerFields listener;
};

// "Modem Settings": its operations on the port settings, the gateway
// account's on/off flag, the gateway's parallel requests and the listener's
// fields, stored through PortConfig, GatewayAccountRecord and NetworkSettings
// (the Internet tab's own "Apply" is the gateway account's). The screen only
// presents these.
class ConnectionSettings
{
public:
    using Reinitializer = std::function<QCoro::Task<void>()>;
    using PortLister = std::function<QStringList()>;
    using PresenceCheck = std::function<bool(const QString &)>;

    // What the screen needs from the rest of the program.
    struct Hooks
    {
        Reinitializer reinitialize; // port initialisation, as after "Update Settings"
        PortLister ports;           // the serial ports on the machine
        PresenceCheck isPresent;    // whether a stored system port is there
    };

    ConnectionSettings(Database &db, Prompter &prompter, Hooks hooks);

    // What the screen shows on opening; nothing (the trouble shown) when
    // the database cannot be read.
    std::optional<SettingsScreenState> load();

    struct ApplyOutcome
    {
        bool saved = false;
        bool blockUnticked = false; // the tab's "Block Incoming Calls" must be shown unticked
        bool focusOperator = false; // put the cursor in the operator box
    };
    // "Apply" on port tab `index` (0 … 4 = COM1 … COM5): saves that port as active.
    ApplyOutcome applyPort(int index, PortSettings settings);

    // "Update Settings": the five on/off flags, the Internet flag, how many
    // gateway requests may be out at once and the listener's fields when
    // given, then port initialisation. Nothing is saved when the listener's
    // fields do not parse. True when saved.
    QCoro::Task<bool> updateSettings(std::array<bool, kPortCount> portActive, bool internetActive,
                                     int parallelRequests, std::optional<ListenerFields> listener = std::nullopt);

    // The close button's question; true to close.
    QCoro::Task<bool> confirmClose();

    // After "Block Incoming Calls" was ticked on any tab.
    void noticeCallBlocking(bool anyTicked);

    static QString cautionText(const QString &systemPort);
    // What the password box shows instead of the stored password.
    static QString passwordPlaceholder() { return QStringLiteral("*********"); }

private:
    SettingsScreenState read(); // throws DbError

    Database &m_db;
    Prompter &m_prompter;
    Hooks m_hooks;
};

} // namespace tavsms
