#include "Groups.h"

#include "Database.h"
#include "DateTimeText.h"
#include "TextRules.h"

namespace tavsms {

namespace {

// Members of a group by the group's name, in the engine's order.
const QString kMembersOfGroup = QStringLiteral(
    "SELECT groups_mem.group_mem_mobile, groups_mem.id FROM groups "
    "INNER JOIN groups_mem ON groups.id = groups_mem.group_name WHERE groups.group_name = ?");

QStringList firstColumn(Database &db, const QString &sql)
{
    QStringList out;
    Statement st = db.prepare(sql);
    while (st.next())
        out << st.value(0).toString();
    return out;
}

} // namespace

Groups::Groups(Database &db)
    : m_db(db)
{
}

QStringList Groups::names()
{
    return firstColumn(m_db, QStringLiteral("SELECT group_name FROM groups ORDER BY group_name ASC"));
}

QStringList Groups::namesByAge()
{
    return firstColumn(m_db, QStringLiteral("SELECT group_name FROM groups ORDER BY id"));
}

bool Groups::nameTaken(const QString &name)
{
    const QString wanted = trimSpaces(name);
    Statement st = m_db.prepare(QStringLiteral("SELECT group_name FROM groups"));
    while (st.next())
        if (trimSpaces(st.text(QStringLiteral("group_name"))) == wanted)
            return true;
    return false;
}

qint64 Groups::create(const QString &name, const QDateTime &when)
{
    m_db.exec(QStringLiteral("INSERT INTO groups (dated, group_name) VALUES (?, ?)"),
              {DateTimeText::stored(when), name});
    return m_db.lastInsertId();
}

int Groups::remove(const QString &name)
{
    Transaction tx(m_db);
    m_db.exec(QStringLiteral("DELETE FROM groups_mem WHERE group_name IN (SELECT id FROM groups WHERE group_name = ?)"),
              {name});
    const int removed = m_db.exec(QStringLiteral("DELETE FROM groups WHERE group_name = ?"), {name});
    tx.commit();
    return removed;
}

QList<Groups::MemberRow> Groups::memberRows(qint64 groupId)
{
    QList<MemberRow> out;
    Statement st = m_db.prepare(QStringLiteral(
        "SELECT id, group_mem_name, group_mem_mobile, group_mem_email FROM groups_mem WHERE group_name = ? ORDER BY id"));
    st.bind(1, groupId);
    while (st.next())
        out.append({st.integer(QStringLiteral("id")), st.text(QStringLiteral("group_mem_name")),
                    st.text(QStringLiteral("group_mem_mobile")), st.text(QStringLiteral("group_mem_email"))});
    return out;
}

bool Groups::updateMember(const MemberRow &row)
{
    return m_db.exec(QStringLiteral("UPDATE groups_mem SET group_mem_name = ?, group_mem_mobile = ?, "
                                    "group_mem_email = ? WHERE id = ?"),
                     {row.name, row.mobile, row.email, row.id})
        > 0;
}

void Groups::addMember(qint64 groupId, const QString &name, const QString &mobile, const QString &email)
{
    m_db.exec(QStringLiteral("INSERT INTO groups_mem (group_name, group_mem_name, group_mem_mobile, group_mem_email) "
                             "VALUES (?, ?, ?, ?)"),
              {groupId, name, mobile, email});
}

std::optional<qint64> Groups::idOf(const QString &name)
{
    const QVariant id = m_db.scalar(QStringLiteral("SELECT id FROM groups WHERE group_name = ? ORDER BY id"), {name});
    if (id.isNull())
        return std::nullopt;
    return id.toLongLong();
}

QList<Groups::Member> Groups::members(qint64 groupId)
{
    QList<Member> out;
    Statement st = m_db.prepare(
        QStringLiteral("SELECT group_mem_mobile, group_mem_name FROM groups_mem WHERE group_name = ? ORDER BY id"));
    st.bind(1, groupId);
    while (st.next())
        out.append({st.text(QStringLiteral("group_mem_mobile")), st.text(QStringLiteral("group_mem_name"))});
    return out;
}

Groups::AddOutcome Groups::addMemberUnlessPresent(const QString &groupName, const QString &number)
{
    const QString wanted = lastTen(number);
    {
        Statement members = m_db.prepare(kMembersOfGroup);
        members.bind(1, groupName);
        while (members.next())
            if (lastTen(members.text(QStringLiteral("group_mem_mobile"))) == wanted)
                return AddOutcome::AlreadyMember;
    }
    const std::optional<qint64> groupId = idOf(groupName);
    if (!groupId)
        return AddOutcome::NoSuchGroup;
    m_db.exec(QStringLiteral("INSERT INTO groups_mem (group_name, group_mem_mobile) VALUES (?, ?)"),
              {*groupId, wanted});
    return AddOutcome::Added;
}

bool Groups::removeMember(const QString &groupName, const QString &number)
{
    const QString wanted = lastTen(number);
    std::optional<qint64> memberId;
    {
        Statement members = m_db.prepare(kMembersOfGroup);
        members.bind(1, groupName);
        while (!memberId && members.next())
            if (members.text(QStringLiteral("group_mem_mobile")).right(10) == wanted)
                memberId = members.integer(QStringLiteral("id"));
    }
    if (!memberId)
        return false;
    m_db.exec(QStringLiteral("DELETE FROM groups_mem WHERE id = ?"), {*memberId});
    return true;
}

void Groups::forEachMemberWithGroup(const std::function<void(const QVariantList &)> &visit)
{
    Statement st = m_db.prepare(QStringLiteral(
        "SELECT groups.group_name, groups_mem.group_mem_name, groups_mem.group_mem_mobile, "
        "groups_mem.group_mem_email, groups_mem.group_mem_subs, groups_mem.group_mem_subs_start, "
        "groups_mem.group_mem_subs_end FROM groups INNER JOIN groups_mem ON groups.id = groups_mem.group_name"));
    QVariantList values;
    while (st.next()) {
        values.clear();
        for (int i = 0; i < 7; ++i)
            values << st.value(i);
        visit(values);
    }
}

Statement Groups::memberReport(const std::optional<QString> &groupName)
{
    const QString all = QStringLiteral(
        "SELECT groups.group_name, groups_mem.group_mem_name, groups_mem.group_mem_mobile, groups_mem.group_mem_email, "
        "groups_mem.group_mem_subs_start, groups_mem.group_mem_subs_end "
        "FROM groups INNER JOIN groups_mem ON groups.id = groups_mem.group_name ");
    const QString order = QStringLiteral("ORDER BY groups.group_name, groups.id, groups_mem.id");
    if (!groupName)
        return m_db.prepare(all + order);
    Statement st = m_db.prepare(all + QStringLiteral("WHERE groups.group_name = ? ") + order);
    st.bind(1, *groupName);
    return st;
}

qint64 Groups::memberReportCount(const std::optional<QString> &groupName)
{
    const QString all = QStringLiteral("SELECT count(*) FROM groups INNER JOIN groups_mem ON groups.id = "
                                       "groups_mem.group_name");
    if (!groupName)
        return m_db.scalar(all).toLongLong();
    return m_db.scalar(all + QStringLiteral(" WHERE groups.group_name = ?"), {*groupName}).toLongLong();
}

} // namespace tavsms
