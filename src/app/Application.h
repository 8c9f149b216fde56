#pragma once

#include "InternetTimeouts.h"
#include "MainController.h"
#include "ModemTimeouts.h"

#include <QCoroTask>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>

namespace tavsms {

class AutoReply;
class HttpPushClient;
class InternetServices;
class ModemChannel;
class Prompter;

// The whole program without its windows: the controller (start-up, timers,
// the store, the debug log, shut-down), the modem channel, the Internet
// channels and the auto-reply rules, put together in start-up order. The
// main window presents it; the service runs it with no window at all; tests
// build it to exercise the program end to end.
class Application : public QObject
{
    Q_OBJECT
public:
    using StartResult = MainController::StartResult;

    explicit Application(Prompter &prompter, ModemTimeouts modemTimeouts = {},
                         InternetTimeouts internetTimeouts = {}, QObject *parent = nullptr);
    ~Application() override;

    // Start-up in order: single instance, debug log, database, timers,
    // listener, port initialisation. Failures have been shown through the
    // prompter when this returns anything but Running.
    StartResult start();

    // Exit: the closing steps at once. A send that is waiting for its device
    // stops waiting and its row stays "Sending" for the next start.
    void shutdown();

    // A request to end the program from outside (SIGTERM, SIGINT): nothing
    // new is taken from the queue or the listener, the messages being handed
    // over are given up to the drain limit to finish and be marked, then the
    // closing steps run and quitFinished() follows. A second request while
    // draining shuts down at once.
    void requestQuit();
    void setDrainLimit(std::chrono::milliseconds limit) { m_drainLimit = limit; }

    MainController &controller() { return *m_controller; }
    AppState &state() { return m_controller->state(); }
    DebugLog &debugLog() { return m_controller->debugLog(); }
    Prompter &prompter() { return m_controller->prompter(); }
    bool hasStore() const { return m_controller->hasStore(); }
    Store &store() { return m_controller->store(); }
    ModemChannel &modem() { return *m_modem; }
    InternetServices &internet() { return *m_internet; }

    // "Re-Initialize Modems" and the re-initialisation after a settings change.
    QCoro::Task<void> reinitialize(bool announce = true) { return m_controller->reinitialize(announce); }

Q_SIGNALS:
    // Start-up failed after start() returned; the program must end.
    void fatalError();
    // A small window that closes itself, from port initialisation.
    void tipRequested(const QString &title, const QString &text, int seconds);
    // requestQuit() has finished shutting down.
    void quitFinished();

private:
    QCoro::Task<void> applyAutoReply(QString port, QString sender, QString text);
    bool handingOver() const;
    void finishQuitWhenIdle();

    std::unique_ptr<MainController> m_controller;
    std::unique_ptr<ModemChannel> m_modem;
    std::unique_ptr<InternetServices> m_internet;
    std::unique_ptr<HttpPushClient> m_push;
    std::unique_ptr<AutoReply> m_autoReply;

    bool m_quitting = false;
    std::chrono::milliseconds m_drainLimit{30000};
    QTimer m_drainTimer;
};

} // namespace tavsms
