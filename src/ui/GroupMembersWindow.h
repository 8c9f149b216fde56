#pragma once

#include "MemberTableModel.h"
#include "MessageBoxPrompter.h"

#include <QWidget>

class QComboBox;
class QTableView;

namespace tavsms {

// frmManageGroups, "Manage Group Members": one group's members in an
// editable grid, each changed cell stored at once.
class GroupMembersWindow : public QWidget
{
    Q_OBJECT
public:
    explicit GroupMembersWindow(Database &db, QWidget *parent = nullptr);

    MemberTableModel &model() { return m_model; }

private:
    MessageBoxPrompter m_prompter{this};
    MemberTableModel m_model;
    QComboBox *m_groups;
    QTableView *m_grid;
};

} // namespace tavsms
