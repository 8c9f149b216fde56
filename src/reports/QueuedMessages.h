#pragma once

#include "TableQuery.h"

#include <QCoroTask>
#include <QMetaObject>

namespace tavsms {

class AppState;
class Database;
class Prompter;

// "Message Q Log": the messages still waiting to be sent. While it
// is open nothing is sent (no port sender, poll or gateway sender works);
// when it goes, sending is as it was before it came, so a stop chosen from
// the menu outlives the view. Sending started or stopped from the menu
// meanwhile stays as chosen.
class QueuedMessages
{
public:
    QueuedMessages(Database &db, Prompter &prompter, AppState &state);
    ~QueuedMessages();
    QueuedMessages(const QueuedMessages &) = delete;
    QueuedMessages &operator=(const QueuedMessages &) = delete;

    // The grid: the pending rows, oldest first.
    static TableQuery query();

    // "Clear Queue": asks first (Cancel offered), then deletes every pending
    // row and says so. True when the grid is to be read again.
    QCoro::Task<bool> clearQueue();

private:
    Database &m_db;
    Prompter &m_prompter;
    AppState &m_state;
    bool m_wasRunning;
    bool m_changedMeanwhile = false;
    QMetaObject::Connection m_watch;
};

} // namespace tavsms
