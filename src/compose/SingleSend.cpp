#include "SingleSend.h"

#include "Database.h"
#include "MessageQueue.h"
#include "Prompter.h"
#include "Store.h"
#include "TextRules.h"

namespace tavsms {

namespace {
const QString kEntrySeparator = QStringLiteral(" -- ");
} // namespace

SingleSend::GroupChoice SingleSend::chooseGroup(const QString &group, const QString &modemEntry,
                                                const LengthLimit &currentLimit)
{
    GroupChoice choice;
    try {
        if (const std::optional<qint64> id = m_groups.idOf(group)) {
            for (const Groups::Member &m : m_groups.members(*id)) {
                if (trimSpaces(m.mobile).isEmpty())
                    continue;
                const QString name = trimSpaces(m.name).isEmpty() ? QStringLiteral("N/A") : m.name;
                choice.numbers << m.mobile + kEntrySeparator + name;
            }
        }
    } catch (const DbError &e) {
        showDatabaseError(QStringLiteral("The members of the group could not be read"), e.message());
    }
    choice.limit = lengthLimit(modemEntry, currentLimit);
    return choice;
}

QString SingleSend::numberOf(const QString &numberBox)
{
    const qsizetype cut = numberBox.indexOf(kEntrySeparator);
    return trimSpaces(cut < 0 ? numberBox : numberBox.left(cut));
}

MessageComposer::Field SingleSend::send(const QString &numberBox, const QString &message, const QString &modemEntry)
{
    const QString number = numberOf(numberBox);
    if (!isTenDigits(number)) {
        m_prompter.critical(QStringLiteral("Error"), QStringLiteral("Please enter a valid number."));
        return Field::Number;
    }
    const QString text = joinTypedLines(message);
    if (text.isEmpty()) {
        m_prompter.critical(QStringLiteral("Error"), QStringLiteral("Please enter some message."));
        return Field::Message;
    }
    const std::optional<QString> route = resolveConnection(modemEntry);
    if (!route)
        return Field::Modem;
    const EnqueueResult queued = m_store.queue().addToQueue(number, text, *route);
    if (!queued) {
        m_prompter.critical(QStringLiteral("Error"), queued.error);
        return Field::None;
    }
    m_prompter.information(applicationTitle(), QStringLiteral("Message Queued for Delivery."));
    return Field::None;
}

} // namespace tavsms
