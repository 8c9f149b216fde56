#include "GroupManager.h"

#include "Database.h"
#include "DateTimeText.h"
#include "Prompter.h"
#include "TextRules.h"

namespace tavsms {

namespace {

const QString kCreateFirst = QStringLiteral("Please create a group first.");

// The lines of a box as Qt gives its text (LF); a CR left by pasted text goes too.
QStringList linesOf(const QString &bulk)
{
    QStringList lines = bulk.split(QLatin1Char('\n'));
    for (QString &line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return lines;
}

} // namespace

GroupManager::GroupManager(Database &db, Prompter &prompter)
    : m_db(db)
    , m_prompter(prompter)
    , m_groups(db)
{
}

GroupScreenState GroupManager::load()
{
    GroupScreenState s;
    s.groups = groupLists().value_or(QStringList{});
    s.periods = QStringList{QStringLiteral("1 Day"),    QStringLiteral("3 Days"),   QStringLiteral("5 Days"),
                            QStringLiteral("1 Week"),   QStringLiteral("2 Weeks"),  QStringLiteral("3 Weeks"),
                            QStringLiteral("1 Month"),  QStringLiteral("3 Months"), QStringLiteral("6 Months"),
                            QStringLiteral("12 Months")};
    s.startDate = DateTimeText::displayNow();
    return s;
}

std::optional<QStringList> GroupManager::groupLists()
{
    try {
        return m_groups.namesByAge();
    } catch (const DbError &e) {
        databaseError(QStringLiteral("The groups could not be read"), e.message());
        return std::nullopt;
    }
}

std::optional<qint64> GroupManager::groupId(const QString &group)
{
    std::optional<qint64> id = m_groups.idOf(group);
    if (!id)
        m_prompter.critical(QStringLiteral("Error"), QStringLiteral("The group \"%1\" no longer exists.").arg(group));
    return id;
}

void GroupManager::databaseError(const QString &what, const QString &reason)
{
    m_prompter.critical(QStringLiteral("Error"), QStringLiteral("%1:\n%2").arg(what, reason));
}

GroupManager::ListOutcome GroupManager::createGroup(const QString &nameBox)
{
    if (nameBox.isEmpty())
        return {std::nullopt, Field::GroupName};
    QString name = nameBox;
    name.replace(QLatin1Char('&'), QStringLiteral("and"));
    name.remove(QLatin1Char('\''));
    try {
        if (m_groups.nameTaken(name)) {
            m_prompter.exclamation(applicationTitle(), QStringLiteral("Group Name Already Exists."));
            return {std::nullopt, Field::GroupName};
        }
        m_groups.create(name, QDateTime::currentDateTime());
    } catch (const DbError &e) {
        databaseError(QStringLiteral("The group could not be created"), e.message());
        return {std::nullopt, Field::GroupName};
    }
    m_prompter.information(applicationTitle(), QStringLiteral("Group Created"));
    return {groupLists(), Field::None};
}

QCoro::Task<GroupManager::ListOutcome> GroupManager::deleteGroup(const QString &name)
{
    if (trimSpaces(name).isEmpty()) {
        m_prompter.exclamation(QStringLiteral("Error"), kCreateFirst);
        co_return ListOutcome{std::nullopt, Field::GroupName};
    }
    const bool ok = co_await m_prompter.question(
        applicationTitle(),
        QStringLiteral("You are going to delete group named ''%1'' and all it's members. Are you sure to delete it?")
            .arg(name),
        Prompter::Icon::Exclamation, Prompter::Default::Cancel);
    if (!ok)
        co_return ListOutcome{};
    try {
        m_groups.remove(name);
    } catch (const DbError &e) {
        databaseError(QStringLiteral("The group could not be deleted"), e.message());
        co_return ListOutcome{groupLists(), Field::None};
    }
    m_prompter.information(applicationTitle(), QStringLiteral("Group has been deleted."));
    co_return ListOutcome{groupLists(), Field::None};
}

GroupManager::Field GroupManager::addMember(const QString &group, const QString &name, const QString &mobile,
                                            const QString &email)
{
    if (trimSpaces(group).isEmpty()) {
        m_prompter.exclamation(QStringLiteral("Error"), kCreateFirst);
        return Field::GroupName;
    }
    if (trimSpaces(mobile).size() != 10) {
        m_prompter.exclamation(applicationTitle(), kNumberRule);
        return Field::Mobile;
    }
    try {
        const std::optional<qint64> id = groupId(group);
        if (!id)
            return Field::None;
        m_groups.addMember(*id, name, mobile, email);
    } catch (const DbError &e) {
        databaseError(QStringLiteral("The member could not be added"), e.message());
        return Field::None;
    }
    m_prompter.information(applicationTitle(), QStringLiteral("Member added successfully!"));
    return Field::None;
}

std::optional<QString> GroupManager::generateSeries(const QString &start, const QString &end, const QString &bulk)
{
    const QString first = trimSpaces(start);
    const QString last = trimSpaces(end);
    if (first.isEmpty() || last.isEmpty()) {
        m_prompter.plain(applicationTitle(), QStringLiteral("Please enter start and end values."));
        return std::nullopt;
    }
    bool firstOk = false;
    bool lastOk = false;
    const qint64 from = first.toLongLong(&firstOk);
    const qint64 to = last.toLongLong(&lastOk);
    if (!firstOk || !lastOk || from < 0 || to < 0) {
        m_prompter.plain(applicationTitle(), QStringLiteral("Start and end values should be numbers."));
        return std::nullopt;
    }
    if (to - from > kMaxSeriesSpan) {
        m_prompter.plain(applicationTitle(), QStringLiteral("Maximum 5000 numbers can be created at a time."));
        return std::nullopt;
    }
    if (first.size() != 10 || last.size() != 10) {
        m_prompter.plain(applicationTitle(), QStringLiteral("Numbers should be only 10 digit long"));
        return std::nullopt;
    }
    QString out = bulk;
    for (qint64 n = from; n <= to; ++n) {
        if (!trimSpaces(out).isEmpty())
            out += QLatin1Char('\n');
        else
            out.clear();
        out += QString::number(n);
    }
    return out;
}

GroupManager::Validation GroupManager::validate(const QString &group, const QString &bulk, BulkPanel panel)
{
    Validation v;
    v.panel = panel;
    if (trimSpaces(group).isEmpty()) {
        m_prompter.exclamation(QStringLiteral("Error"), kCreateFirst);
        v.focus = Field::GroupName;
        return v;
    }
    if (trimSpaces(bulk).isEmpty()) {
        m_prompter.critical(QStringLiteral("Error"), QStringLiteral("Please don't play with application."));
        v.focus = Field::GroupName;
        return v;
    }
    int lineNo = 0;
    int lineStart = 0;
    for (const QString &line : bulk.split(QLatin1Char('\n'))) {
        ++lineNo;
        QString number = line.section(QLatin1Char(','), 0, 0);
        if (number.endsWith(QLatin1Char('\r')))
            number.chop(1);
        if (trimSpaces(number).size() != 10) {
            m_prompter.critical(
                QStringLiteral("Error"),
                QStringLiteral("Error at line %1. Invalid Destination Number. It should be 10 digit long.").arg(lineNo));
            v.panel.readOnly = false;
            v.selectionStart = lineStart;
            v.selectionLength = int(line.size());
            v.focus = Field::Bulk;
            return v;
        }
        lineStart += int(line.size()) + 1;
    }
    m_prompter.information(QStringLiteral("Success!!"), QStringLiteral("Validation Completed."));
    v.panel = BulkPanel{true, true, true};
    return v;
}

BulkPanel GroupManager::edit(BulkPanel panel)
{
    panel.saveEnabled = false;
    panel.readOnly = false;
    return panel;
}

GroupManager::Saved GroupManager::save(const QString &group, const QString &bulk, BulkPanel panel)
{
    if (!panel.saveEnabled)
        return {panel, false};
    int saved = 0;
    try {
        const std::optional<qint64> id = groupId(group);
        if (!id)
            return {panel, false};
        Transaction tx(m_db);
        for (const QString &line : linesOf(bulk)) {
            const QStringList fields = line.split(QLatin1Char(','));
            if (fields.size() == 1)
                m_groups.addMember(*id, QString(), line, QString());
            else if (fields.size() == 2)
                m_groups.addMember(*id, fields.at(1), fields.at(0), QString());
            else
                m_groups.addMember(*id, trimSpaces(fields.at(1)), trimSpaces(fields.at(0)), trimSpaces(fields.at(2)));
            ++saved;
        }
        tx.commit();
    } catch (const DbError &e) {
        databaseError(QStringLiteral("No number was added to the group"), e.message());
        return {panel, false};
    }
    m_prompter.information(QStringLiteral("Success"), QStringLiteral("Numbers added to the group.\n\n%1 %2 added.")
                                                          .arg(saved)
                                                          .arg(saved == 1 ? QStringLiteral("member") : QStringLiteral("members")));
    return {BulkPanel{}, true};
}

} // namespace tavsms
