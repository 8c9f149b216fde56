#include "GroupSend.h"

#include "Database.h"
#include "Prompter.h"
#include "Store.h"
#include "TextRules.h"

namespace tavsms {

GroupSend::GroupSend(Store &store, const AppState &state, Prompter &prompter, Progress &progress, int chunkSize)
    : MessageComposer(store, state, prompter)
    , m_progress(progress)
    , m_bulk(store.db(), store.queue(), m_guard, chunkSize)
{
}

QCoro::Task<MessageComposer::Field> GroupSend::send(const QString &group, const QString &message,
                                                    const QString &modemEntry)
{
    if (group.isEmpty() || group == kNoGroups)
        co_return Field::None;
    const QString text = joinTypedLines(message);
    if (text.isEmpty()) {
        m_prompter.critical(QStringLiteral("Error"), QStringLiteral("Please enter some message."));
        co_return Field::Message;
    }

    QStringList numbers;
    try {
        const std::optional<qint64> id = m_groups.idOf(group);
        if (!id) {
            m_prompter.critical(QStringLiteral("Error"),
                                QStringLiteral("The group \"%1\" no longer exists. Open the screen again for the "
                                               "current list of groups.")
                                    .arg(group));
            co_return Field::Group;
        }
        for (const Groups::Member &m : m_groups.members(*id))
            if (const QString number = trimSpaces(m.mobile); !number.isEmpty())
                numbers << number;
    } catch (const DbError &e) {
        showDatabaseError(QStringLiteral("The members of the group could not be read"), e.message());
        co_return Field::None;
    }
    const std::optional<QString> route = resolveConnection(modemEntry);
    if (!route)
        co_return Field::Modem;
    if (numbers.isEmpty()) {
        m_prompter.information(applicationTitle(),
                               QStringLiteral("Group is empty. Please add some mobile numbers in it."));
        co_return Field::None;
    }

    const BulkOutcome outcome = co_await m_bulk.run(
        numbers.size(), [&](qint64 i) { return QueueRequest{numbers.at(i), text, *route, {}}; }, m_progress,
        QStringLiteral("Queueing the message for %1 members of %2 …").arg(numbers.size()).arg(group));
    if (BulkQueue::reportIncomplete(m_prompter, outcome))
        m_prompter.information(applicationTitle(), QStringLiteral("Message(s) Queued for Delivery.\n\n")
                                                       + BulkQueue::queuedLine(outcome.queued));
    co_return Field::None;
}

} // namespace tavsms
