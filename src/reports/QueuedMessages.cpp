#include "QueuedMessages.h"

#include "AppState.h"
#include "Database.h"
#include "MessageQueue.h"
#include "Prompter.h"

namespace tavsms {

QueuedMessages::QueuedMessages(Database &db, Prompter &prompter, AppState &state)
    : m_db(db)
    , m_prompter(prompter)
    , m_state(state)
    , m_wasRunning(state.sendingRunning())
{
    // The Start/Stop items of the menu are left as they are.
    m_state.setSendingRunning(false);
    m_watch = QObject::connect(&m_state, &AppState::sendingRunningSet, [this] { m_changedMeanwhile = true; });
}

QueuedMessages::~QueuedMessages()
{
    QObject::disconnect(m_watch);
    // A view closed by the shut-down leaves sending off.
    if (!m_changedMeanwhile && !m_state.abortWaits())
        m_state.setSendingRunning(m_wasRunning);
}

TableQuery QueuedMessages::query()
{
    return MessageQueue::pendingQuery();
}

QCoro::Task<bool> QueuedMessages::clearQueue()
{
    const bool ok = co_await m_prompter.question(
        QStringLiteral("Delete Queue?"),
        QStringLiteral("This will delete all the messages from the queue. Are you sure to do that?\r"
                       "Click OK to continue or Cancel to abort the operation."),
        Prompter::Icon::Exclamation, Prompter::Default::Cancel);
    if (!ok)
        co_return false;
    try {
        MessageQueue(m_db).clearPending();
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"), QStringLiteral("%1: %2").arg(e.code()).arg(e.message()));
        co_return false;
    }
    m_prompter.information(QStringLiteral("Success"), QStringLiteral("Queue has been cleared!!"));
    co_return true;
}

} // namespace tavsms
