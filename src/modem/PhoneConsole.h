#pragma once

#include "ModemTimeouts.h"
#include "Prompter.h"
#include "StoreAccess.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

namespace tavsms {

class AppState;
class ModemPort;

// "Backup Mobile SMS": a service console for the phone on COM1.
// "Syncronize" copies the phone's messages of one kind into incoming_logs
// without deleting them; "Send Command" writes any command and shows what
// comes back, newest at the top. While it talks, the COM1 sender and poller
// wait for it (and it for them).
class PhoneConsole : public QObject
{
    Q_OBJECT
public:
    PhoneConsole(ModemPort &port, StoreAccess store, AppState &state, const ModemTimeouts &timeouts,
                 QObject *parent = nullptr);

    static QStringList messageTypes() { return {QStringLiteral("UnRead"), QStringLiteral("Read")}; }

    struct SyncOutcome
    {
        int stored = 0;           // messages copied into incoming_logs
        Prompter::Notice notice;  // what the screen tells the operator
    };
    // `type` is "UnRead", "Read" or empty (nothing chosen).
    QCoro::Task<SyncOutcome> syncronize(const QString &type);
    QCoro::Task<void> sendCommand(const QString &command);
    void clearScreen();

    QString output() const { return m_output; }
    bool busy() const { return m_busy; }

Q_SIGNALS:
    void outputChanged(const QString &text);
    void busyChanged(bool busy);

private:
    void setBusy(bool busy);

    ModemPort &m_port;
    StoreAccess m_store;
    AppState &m_state;
    const ModemTimeouts &m_timeouts;
    QString m_output;
    bool m_busy = false;
};

} // namespace tavsms
