#include "AppState.h"

#include "AppInfo.h"
#include "DateTimeText.h"

namespace tavsms {

AppState::AppState(QObject *parent)
    : QObject(parent)
    , m_tipText(AppInfo::statusTagline())
{
    for (PortState &p : m_ports)
        p.lastPoll = DateTimeText::neverPolled();
}

void AppState::setSendingRunning(bool running)
{
    const bool changed = m_sendingRunning != running;
    m_sendingRunning = running;
    Q_EMIT sendingRunningSet(running);
    if (changed)
        Q_EMIT sendingRunningChanged(running);
}

void AppState::setAbortWaits(bool abort)
{
    const bool raised = abort && !m_abortWaits;
    m_abortWaits = abort;
    if (raised)
        Q_EMIT abortWaitsRaised();
}

void AppState::setConnectedCount(int count)
{
    m_connectedCount = count;
    Q_EMIT connectedCountChanged(count);
}

void AppState::setPortConnected(int index, bool connected)
{
    port(index).connected = connected;
    int count = 0;
    for (const PortState &p : m_ports)
        count += p.connected ? 1 : 0;
    setConnectedCount(count);
}

void AppState::setPortHealth(int index, const PortHealth &health)
{
    port(index).health = health;
    Q_EMIT portHealthChanged(index);
}

QString PortHealth::registrationText(Registration r)
{
    switch (r) {
    case Registration::Home: return QStringLiteral("home");
    case Registration::Roaming: return QStringLiteral("roaming");
    case Registration::Searching: return QStringLiteral("searching");
    case Registration::Denied: return QStringLiteral("denied");
    case Registration::NotRegistered: return QStringLiteral("not registered");
    case Registration::Unknown: break;
    }
    return QStringLiteral("unknown");
}

int AppState::portIndex(const QString &softwarePort)
{
    return int(kSoftwarePorts.indexOf(softwarePort));
}

void AppState::setTipText(const QString &text)
{
    m_tipText = text;
    Q_EMIT tipTextChanged(text);
}

QString AppState::connectedText() const
{
    return QStringLiteral("Connected: %1").arg(m_connectedCount);
}

QString AppState::connectedToolTip() const
{
    return QStringLiteral("%1 phones/modems connected.").arg(m_connectedCount);
}

void AppState::setStoreAvailable(bool available)
{
    if (available == m_storeAvailable)
        return;
    m_storeAvailable = available;
    Q_EMIT storeAvailableChanged(available);
}

void AppState::setStoreText(const QString &text)
{
    if (text == m_storeText)
        return;
    m_storeText = text;
    Q_EMIT storeTextChanged(text);
}

} // namespace tavsms
