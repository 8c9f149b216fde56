#pragma once

#include "AppState.h"
#include "DebugLog.h"
#include "SingleInstance.h"
#include "Store.h"
#include "StoreLocation.h"

#include <QCoroTask>
#include <QObject>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace tavsms {

class Prompter;
class PortInitializer;

// The engine room behind the main window: start-up, the timers, the queue
// counter, starting and stopping message sending, re-initialisation and
// shut-down. The window only presents what this reports.
class MainController : public QObject
{
    Q_OBJECT
public:
    enum class StartResult { Running, AlreadyRunning, Failed };

    explicit MainController(Prompter &prompter, QObject *parent = nullptr);
    ~MainController() override;

    // Start-up in order: single instance, debug log, database, timers,
    // listener, port initialisation. Every failure has been shown to the
    // operator when this returns anything but Running.
    StartResult start();

    // Channels plug in here before start().
    void setPortInitializer(PortInitializer *initializer) { m_initializer = initializer; }
    // Where the data is kept (the local file unless set), and a shared store's waits.
    void setStoreLocation(const StoreLocation &where) { m_location = where; }
    const StoreLocation &storeLocation() const { return m_location; }
    // Starts the HTTP listener; returns an empty string or the reason it failed.
    void setListenerStarter(std::function<QString()> starter) { m_startListener = std::move(starter); }

    AppState &state() { return m_state; }
    DebugLog &debugLog() { return m_log; }
    Store &store() { return *m_store; }
    bool hasStore() const { return bool(m_store); }
    Prompter &prompter() { return m_prompter; }

    // Timer1 … Timer5 (index 0 … 4), tmrInternetSMS and TimerQ.
    QTimer &portTimer(int index) { return *m_portTimers.at(size_t(index)); }
    QTimer &gatewayTimer() { return m_gatewayTimer; }
    QTimer &queueTimer() { return m_queueTimer; }

    QString queueText() const { return m_queueText; }

    // "The debug log … cannot be written: …" while debug.txt takes no lines;
    // empty while it does.
    QString debugLogTrouble() const { return m_logTrouble; }

    // "Stop Message Sending" / "Start Message Sending".
    void stopSending();
    void startSending();

    // "Re-Initialize Modems": runs port initialisation again, then tells the
    // operator it is complete (or what failed; the program keeps running).
    // After the settings are saved or reset the closing notice is left out.
    QCoro::Task<void> reinitialize(bool announce = true);
    bool isInitializing() const { return m_initializing; }

    // Shut-down: flags first (ending every device wait), then the ports,
    // the timers and the debug log. Safe to call more than once.
    void shutdown();
    bool isShutDown() const { return m_shutDown; }

    // "Local database", or "Shared: " the server's database and this workstation's name.
    QString storeDescription() const;

    // Counts the queue now (what TimerQ does every second).
    void countQueue();

Q_SIGNALS:
    void queueTextChanged(const QString &text);
    void sendingMenuChanged(bool stopVisible);
    void initializingChanged(bool running);
    // Closing steps: the modem channel closes its ports on this.
    void closingPorts();
    // Start-up failed after the window was shown; the program must end.
    void fatalError();
    // debug.txt stopped taking lines (the text says why) or takes them
    // again (empty).
    void debugLogTroubleChanged(const QString &text);

private:
    QCoro::Task<void> runInitialization(bool atStartup, bool announce = true);
    void fail(const QString &component, const QString &reason);
    void reportLogTrouble(const QString &reason);

    Prompter &m_prompter;
    AppState m_state;
    DebugLog m_log;
    bool m_logOpened = false;
    QString m_logTrouble;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<Store> m_store;
    StoreLocation m_location;
    std::unique_ptr<class StoreWatch> m_storeWatch;
    PortInitializer *m_initializer = nullptr;
    std::function<QString()> m_startListener;

    std::array<std::unique_ptr<QTimer>, kPortCount> m_portTimers;
    QTimer m_gatewayTimer;
    QTimer m_queueTimer;
    QString m_queueText = QStringLiteral("Q: 0");
    bool m_initializing = false;
    bool m_shutDown = false;
    bool m_startFailed = false;
    std::optional<QCoro::Task<void>> m_startupInit;
};

} // namespace tavsms
