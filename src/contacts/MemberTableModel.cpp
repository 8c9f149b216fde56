#include "MemberTableModel.h"

#include "Database.h"
#include "Prompter.h"

namespace tavsms {

MemberTableModel::MemberTableModel(Database &db, Prompter &prompter, QObject *parent)
    : QAbstractTableModel(parent)
    , m_groups(db)
    , m_prompter(prompter)
{
}

void MemberTableModel::showGroup(const QString &group)
{
    beginResetModel();
    m_rows.clear();
    try {
        if (const std::optional<qint64> id = m_groups.idOf(group))
            m_rows = m_groups.memberRows(*id);
    } catch (const DbError &) {
        // An empty grid says it: the group could not be read.
    }
    endResetModel();
}

int MemberTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int MemberTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QString &MemberTableModel::field(Groups::MemberRow &row, int column)
{
    return column == 0 ? row.name : column == 1 ? row.mobile : row.email;
}

QVariant MemberTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    Groups::MemberRow row = m_rows.at(index.row());
    return field(row, index.column());
}

QVariant MemberTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    static const QStringList captions{QStringLiteral("Member Name"), QStringLiteral("Member Mobile"),
                                      QStringLiteral("Member Email")};
    return captions.value(section);
}

Qt::ItemFlags MemberTableModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool MemberTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    Groups::MemberRow changed = m_rows.at(index.row());
    if (field(changed, index.column()) == value.toString())
        return true;
    field(changed, index.column()) = value.toString();
    try {
        if (!m_groups.updateMember(changed)) {
            m_prompter.exclamation(QStringLiteral("Error"),
                                   QStringLiteral("This member has been removed meanwhile; the change was not stored."));
            return false;
        }
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"), QStringLiteral("The change could not be stored:\n%1").arg(e.message()));
        return false;
    }
    m_rows[index.row()] = changed;
    Q_EMIT dataChanged(index, index);
    return true;
}

} // namespace tavsms
