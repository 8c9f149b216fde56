#pragma once

#include <QDateTime>
#include <QString>
#include <QList>
#include <QStringList>

#include <QVariantList>

#include <functional>
#include <optional>

namespace tavsms {

class Database;
class Statement;

// The contact groups and their members: every statement on groups and
// groups_mem. Numbers are kept by their last ten characters (TextRules'
// lastTen), as the queue keeps them. Each function throws DbError.
class Groups
{
public:
    explicit Groups(Database &db);

    // Group names, A to Z.
    QStringList names();
    // Group names in the order the groups were created.
    QStringList namesByAge();
    // Whether a group's name, blanks trimmed, is `name` trimmed (case counts).
    bool nameTaken(const QString &name);
    // A new group created at `when`; its id.
    qint64 create(const QString &name, const QDateTime &when);
    // Deletes every group of this exact name with all its members, in one
    // transaction; the number of groups deleted.
    int remove(const QString &name);
    // The id of the first group with this exact name; nothing when none.
    std::optional<qint64> idOf(const QString &name);

    struct Member
    {
        QString mobile; // as stored
        QString name;
    };
    // The members of the group with this id, in the order they were added.
    QList<Member> members(qint64 groupId);

    // One member as the member grid shows and edits it.
    struct MemberRow
    {
        qint64 id = 0;
        QString name;
        QString mobile;
        QString email;
    };
    QList<MemberRow> memberRows(qint64 groupId);
    // Writes the three values back; false when the row has gone.
    bool updateMember(const MemberRow &row);
    // Adds a member with its values as given (blanks and all): no number
    // rule, no duplicate check.
    void addMember(qint64 groupId, const QString &name, const QString &mobile, const QString &email);

    enum class AddOutcome { Added, AlreadyMember, NoSuchGroup };
    // Adds `number` (stored as its last ten characters) to the group unless
    // a member's number, blanks trimmed, ends in the same ten characters.
    AddOutcome addMemberUnlessPresent(const QString &groupName, const QString &number);
    // Removes the first member whose number as stored (blanks and all) ends
    // in the last ten characters of `number`. False when none does.
    bool removeMember(const QString &groupName, const QString &number);

    // Every member of an existing group, in the engine's order, as seven
    // stored values: group name, member name, mobile, e-mail, subscription
    // marker, subscription start, subscription end (the backup's line).
    void forEachMemberWithGroup(const std::function<void(const QVariantList &)> &visit);

    // The group-members report: group name, member name, mobile, e-mail,
    // subscription start and end of every member of every group (or of the
    // groups of one name), by group name and then as the members were added.
    // The count is of the same rows.
    Statement memberReport(const std::optional<QString> &groupName);
    qint64 memberReportCount(const std::optional<QString> &groupName);

private:
    Database &m_db;
};

} // namespace tavsms
