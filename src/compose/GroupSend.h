#pragma once

#include "BulkQueue.h"
#include "MessageComposer.h"

#include <QCoroTask>
#include <QObject>

namespace tavsms {

class Progress;

// "Send Group SMS": one message to every member of a group, queued in
// chunks with a progress bar, so a group of any size leaves the program
// responsive and the count told is the count queued.
class GroupSend : public MessageComposer
{
public:
    GroupSend(Store &store, const AppState &state, Prompter &prompter, Progress &progress,
              int chunkSize = BulkQueue::kDefaultChunk);

    // Queues the message for each member with a number; returns where the
    // cursor goes. Never resumes once this object is gone.
    QCoro::Task<Field> send(const QString &group, const QString &message, const QString &modemEntry);

private:
    Progress &m_progress;
    QObject m_guard; // the life of the work: it dies with the screen
    BulkQueue m_bulk;
};

} // namespace tavsms
