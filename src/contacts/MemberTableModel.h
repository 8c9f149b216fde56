#pragma once

#include "Groups.h"

#include <QAbstractTableModel>

namespace tavsms {

class Prompter;

// The members of one group in an editable grid: "Member Name", "Member
// Mobile", "Member Email". A changed cell is written to its row at once.
class MemberTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    MemberTableModel(Database &db, Prompter &prompter, QObject *parent = nullptr);

    // Shows the members of the group with this exact name; an empty grid
    // when there is no such group or it has no members.
    void showGroup(const QString &group);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    static QString &field(Groups::MemberRow &row, int column);

    Groups m_groups;
    Prompter &m_prompter;
    QList<Groups::MemberRow> m_rows;
};

} // namespace tavsms
