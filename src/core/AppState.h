#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

namespace tavsms {

// The five logical connections, in order.
inline const QStringList kSoftwarePorts = {QStringLiteral("COM1"), QStringLiteral("COM2"),
                                           QStringLiteral("COM3"), QStringLiteral("COM4"),
                                           QStringLiteral("COM5")};
constexpr int kPortCount = 5;

// Where a GSM device stands with its network (AT+CREG?).
enum class Registration { Unknown, Home, Roaming, Searching, Denied, NotRegistered };

// What a GSM device says about itself and its network: read at bring-up
// (IMEI, IMSI, operator) and every healthPeriod while the port is up
// (signal, registration).
struct PortHealth
{
    QString imei;
    QString imsi;
    QString operatorName;
    int signalDbm = 0;    // valid with hasSignal
    bool hasSignal = false;
    int bars = 0;         // 0 … 5
    Registration registration = Registration::Unknown;
    QDateTime lastAnswer; // when the device last answered a health read

    // Takes rows routed "Auto": registered, or not known to be otherwise.
    bool takesAuto() const
    {
        return registration == Registration::Unknown || registration == Registration::Home
            || registration == Registration::Roaming;
    }
    static QString registrationText(Registration r);
};

// What port initialisation found out about one software port.
struct PortState
{
    bool present = false;    // opened and answering
    bool connected = false;  // answered its probe and its device is still there
    QString deviceClass;     // "GSM" or "CDMA"
    bool twoWay = false;     // poll it for incoming messages
    bool routing = false;    // deliver queued messages through it
    bool pdu = false;        // a GSM device in PDU mode (Unicode and long messages)
    QDateTime lastPoll;      // when the incoming poller last ran for it
    bool reports = false;    // status reports asked for and the device took the settings
    QDateTime lastHealthRead; // when signal and registration were last asked for
    PortHealth health;
};

// State the whole program shares, owned by the main window and handed to
// whoever needs it. Lives on the one thread; signals tell the status bar
// and waiting coroutines about changes.
class AppState : public QObject
{
    Q_OBJECT
public:
    explicit AppState(QObject *parent = nullptr);

    // Senders and the poller do nothing while this is false.
    bool sendingRunning() const { return m_sendingRunning; }
    void setSendingRunning(bool running);

    // Raised at shut-down: every wait on a device ends at once.
    bool abortWaits() const { return m_abortWaits; }
    void setAbortWaits(bool abort);

    int connectedCount() const { return m_connectedCount; }
    void setConnectedCount(int count);
    // A port's device went away, or came back and answered: the count
    // becomes the number of connected ports.
    void setPortConnected(int index, bool connected);

    // The gateway account is active and its sender runs.
    bool internetChannel() const { return m_internetChannel; }
    void setInternetChannel(bool on) { m_internetChannel = on; }

    PortState &port(int index) { return m_ports.at(size_t(index)); }
    const PortState &port(int index) const { return m_ports.at(size_t(index)); }
    // Index 0..4 of "COM1".."COM5"; -1 for anything else.
    static int portIndex(const QString &softwarePort);

    // The time as the senders, the poller and the gateway back-off see it.
    // The system clock; a test hands in its own to step time exactly.
    using Clock = std::function<QDateTime()>;
    QDateTime now() const { return m_clock(); }
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // False while a shared store's server cannot be reached: the senders
    // take no rows and the listener turns requests away until it is back.
    bool storeAvailable() const { return m_storeAvailable; }
    void setStoreAvailable(bool available);
    // Which store is in use, or that its connection is lost or restored.
    QString storeText() const { return m_storeText; }
    void setStoreText(const QString &text);

    // Status bar panel 3.
    QString tipText() const { return m_tipText; }
    void setTipText(const QString &text);

    // A port's health as last read; tells the health window.
    void setPortHealth(int index, const PortHealth &health);

    // "Connected: 3" and its tool tip.
    QString connectedText() const;
    QString connectedToolTip() const;

Q_SIGNALS:
    void sendingRunningChanged(bool running);
    // Raised by every setSendingRunning, also one that changes nothing: a
    // "Stop Message Sending" while sending is paused is still a choice.
    void sendingRunningSet(bool running);
    void abortWaitsRaised();
    void connectedCountChanged(int count);
    void tipTextChanged(const QString &text);
    void storeAvailableChanged(bool available);
    void storeTextChanged(const QString &text);
    void portHealthChanged(int index);

private:
    bool m_sendingRunning = true;
    bool m_abortWaits = false;
    int m_connectedCount = 0;
    bool m_internetChannel = false;
    std::array<PortState, kPortCount> m_ports;
    QString m_tipText;
    bool m_storeAvailable = true;
    QString m_storeText;
    Clock m_clock = [] { return QDateTime::currentDateTime(); };
};

} // namespace tavsms
