#include "Scheduler.h"

#include "AppState.h"
#include "ConnectionChoice.h"
#include "Database.h"
#include "DateTimeText.h"
#include "Groups.h"
#include "MessageQueue.h"
#include "Prompter.h"
#include "Recurrence.h"
#include "TextRules.h"

namespace tavsms {

namespace {

const QString kStartCaption = QStringLiteral("Start Date/Time");
const QString kEndCaption = QStringLiteral("End Date/Time");

} // namespace

Scheduler::Scheduler(Database &db, MessageQueue &queue, const AppState &state, Prompter &prompter, int chunkSize)
    : m_db(db)
    , m_state(state)
    , m_prompter(prompter)
    , m_bulk(db, queue, m_guard, chunkSize)
{
}

SchedulerState Scheduler::load()
{
    const QDateTime now = m_state.now();
    SchedulerState s;
    s.frequencies = Recurrence::names();
    s.days = numberTexts(1, 31);
    s.months = numberTexts(1, 12);
    s.years = numberTexts(2007, std::max(2007, now.date().year() + 10));
    s.hours = numberTexts(0, 24);
    s.minutes = {QStringLiteral("00"), QStringLiteral("15"), QStringLiteral("30"), QStringLiteral("45")};

    s.form.frequency = s.frequencies.first();
    s.form.start = ScheduleTime::of(QDateTime(now.date(), QTime(0, 0)));
    s.form.end = s.form.start;

    try {
        s.groups = Groups(m_db).names();
    } catch (const DbError &) {
    }
    if (s.groups.isEmpty())
        s.groups << kNoGroups;
    s.form.group = s.groups.first();

    try {
        s.connections = ConnectionChoice(m_db, m_state).entries();
    } catch (const DbError &) {
        s.connections = QStringList{kRouteAuto, kRouteGateway};
    }
    s.form.connection = s.connections.first();

    s.limit = chooseConnection(s.form.connection);
    return s;
}

Scheduler::Preview Scheduler::chooseFrequency(const ScheduleForm &form) const
{
    const std::optional<Recurrence::Frequency> frequency = Recurrence::fromName(form.frequency);
    if (!frequency)
        return {};
    if (*frequency == Recurrence::Frequency::Once)
        return {QStringLiteral("1"), QString()};
    const std::optional<QDateTime> start = form.start.toDateTime();
    const std::optional<QDateTime> end = form.end.toDateTime();
    if (!start || !end)
        return {};
    return {QString::number(Recurrence::count(*frequency, *start, *end)),
            DateTimeText::display(Recurrence::next(*frequency, *start))};
}

ScheduleForm Scheduler::chooseRecipient(ScheduleForm form, Recipient chosen) const
{
    form.recipient = chosen;
    return form;
}

Scheduler::Outcome Scheduler::leaveNumber(ScheduleForm form)
{
    if (form.number.isEmpty())
        return {chooseRecipient(form, Recipient::Group)};
    if (!isTenDigits(form.number)) {
        m_prompter.critical(applicationTitle(), QStringLiteral("It is not a valid mobile number."));
        return {form, Field::NumberBox};
    }
    return {form};
}

LengthLimit Scheduler::chooseConnection(const QString &entry)
{
    LengthLimit limit = LengthLimit::ofCharacters(ConnectionChoice::kGsmLimit);
    try {
        limit = ConnectionChoice(m_db, m_state).lengthLimit(entry).value_or(limit);
    } catch (const DbError &) {
    }
    return limit;
}

Scheduler::SaveOutcome Scheduler::refuse(Field focus, const QString &text)
{
    m_prompter.critical(kErrorTitle, text);
    return {focus, std::nullopt};
}

std::optional<QStringList> Scheduler::recipientsOf(const ScheduleForm &form, Field &focus)
{
    switch (form.recipient) {
    case Recipient::None:
        focus = Field::Recipient;
        m_prompter.critical(kErrorTitle, QStringLiteral("Choose who the message goes to under \"Delivery To\": "
                                                        "\"Single Number\" or \"A Group\"."));
        return std::nullopt;
    case Recipient::SingleNumber: {
        const QString number = trimSpaces(form.number);
        if (number.isEmpty()) {
            focus = Field::NumberBox;
            m_prompter.critical(kErrorTitle, QStringLiteral("Enter the mobile number under \"Single Number\"."));
            return std::nullopt;
        }
        return QStringList{number};
    }
    case Recipient::Group: break;
    }
    Groups groups(m_db);
    const std::optional<qint64> id = groups.idOf(form.group);
    if (!id) {
        focus = Field::GroupList;
        m_prompter.critical(kErrorTitle,
                            form.group == kNoGroups
                                ? QStringLiteral("There is no group to send to: add a group first, or choose "
                                                 "\"Single Number\".")
                                : QStringLiteral("The group \"%1\" is no longer there: it was deleted after this "
                                                 "screen was opened.")
                                      .arg(form.group));
        return std::nullopt;
    }
    QStringList out;
    for (const Groups::Member &member : groups.members(*id))
        out << trimSpaces(member.mobile);
    return out;
}

QCoro::Task<Scheduler::SaveOutcome> Scheduler::save(ScheduleForm form, Progress &progress)
{
    const std::optional<Recurrence::Frequency> frequency = Recurrence::fromName(form.frequency);
    if (!frequency)
        co_return refuse(Field::None, QStringLiteral("Choose a \"Frequency\"."));
    const bool once = *frequency == Recurrence::Frequency::Once;
    const std::optional<QDateTime> start = form.start.toDateTime();
    if (!start)
        co_return refuse(Field::StartDate, form.start.problem(kStartCaption));
    // "Once" reads no end: its lists may hold anything.
    const std::optional<QDateTime> end = once ? start : form.end.toDateTime();
    if (!end)
        co_return refuse(Field::EndDate, form.end.problem(kEndCaption));

    const QString message = joinTypedLines(form.message);
    if (message.isEmpty() || *start <= m_state.now())
        co_return refuse(message.isEmpty() ? Field::MessageBox : Field::StartDate,
                         QStringLiteral("Please enter some message and be sure to choose start time is greater then "
                                        "current time."));

    QStringList recipients;
    QString connection;
    try {
        Field focus = Field::None;
        const std::optional<QStringList> found = recipientsOf(form, focus);
        if (!found)
            co_return SaveOutcome{focus, std::nullopt};
        recipients = *found;
        const std::optional<QString> route = ConnectionChoice(m_db, m_state).resolve(form.connection);
        if (!route)
            co_return refuse(Field::Connection,
                             QStringLiteral("No port is set up for the connection \"%1\" any more: choose another "
                                            "connection under \"Via Mobile Operator\". Nothing was queued.")
                                 .arg(trimSpaces(form.connection)));
        connection = *route;
    } catch (const DbError &e) {
        co_return refuse(Field::None, QStringLiteral("Nothing was queued.\n\n%1").arg(e.message()));
    }

    const QList<QDateTime> series = Recurrence::series(*frequency, *start, *end);
    const qint64 perRecipient = series.size();
    const qint64 total = perRecipient * recipients.size();
    const BulkOutcome outcome = co_await m_bulk.run(
        total,
        [&](qint64 i) {
            return QueueRequest{recipients.at(i / perRecipient), message, connection, series.at(i % perRecipient)};
        },
        progress, QStringLiteral("Scheduling messages..."));
    if (BulkQueue::reportIncomplete(m_prompter, outcome))
        m_prompter.information(QStringLiteral("Success"),
                               QStringLiteral("Scheduling Complete.\n\n") + BulkQueue::queuedLine(outcome.queued));
    co_return SaveOutcome{Field::None, outcome};
}

} // namespace tavsms
