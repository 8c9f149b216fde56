#pragma once

#include "BulkQueue.h"
#include "ScheduleForm.h"

#include <QCoroTask>
#include <QObject>

#include <optional>

namespace tavsms {

class AppState;
class Database;
class MessageQueue;
class Progress;
class Prompter;

// "Schedule Message Delivery": works out every delivery of a one-off or
// repeating message when it is saved and queues one row per delivery and
// recipient.
class Scheduler
{
public:
    enum class Field { None, StartDate, EndDate, Recipient, NumberBox, GroupList, Connection, MessageBox };

    struct Outcome
    {
        ScheduleForm form;
        Field focus = Field::None; // where the cursor goes
    };
    // "No. of Occurances" and "Next Occurance".
    struct Preview
    {
        QString count;
        QString next;
    };
    struct SaveOutcome
    {
        Field focus = Field::None;
        std::optional<BulkOutcome> queued; // nothing when the form was refused
    };

    static inline const QString kNoGroups = QStringLiteral("Groups Not Available");
    static inline const QString kErrorTitle = QStringLiteral("Error Occured");

    Scheduler(Database &db, MessageQueue &queue, const AppState &state, Prompter &prompter,
              int chunkSize = BulkQueue::kDefaultChunk);

    SchedulerState load();
    // A frequency was chosen: how many deliveries, and when the second one is.
    Preview chooseFrequency(const ScheduleForm &form) const;
    // "Single Number" or "A Group" was chosen.
    ScheduleForm chooseRecipient(ScheduleForm form, Recipient chosen) const;
    // The number box was left.
    Outcome leaveNumber(ScheduleForm form);
    // Another connection was chosen: the message length limit.
    LengthLimit chooseConnection(const QString &entry);
    // "Save": checks the form and queues the series for every recipient.
    QCoro::Task<SaveOutcome> save(ScheduleForm form, Progress &progress);

private:
    // The numbers the form sends to, or nothing (told to the operator).
    std::optional<QStringList> recipientsOf(const ScheduleForm &form, Field &focus);
    SaveOutcome refuse(Field focus, const QString &text);

    Database &m_db;
    const AppState &m_state;
    Prompter &m_prompter;
    // Bounds a save's life to this screen's: destroyed with it, the queueing
    // stops between two chunks and never resumes.
    QObject m_guard;
    BulkQueue m_bulk;
};

} // namespace tavsms
