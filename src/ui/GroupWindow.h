#pragma once

#include "GroupManager.h"
#include "MessageBoxPrompter.h"

#include <QCoroTask>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tavsms {

// frmGroup, "Manage Group": four panels over GroupManager.
class GroupWindow : public QWidget
{
    Q_OBJECT
public:
    explicit GroupWindow(Database &db, QWidget *parent = nullptr);

private:
    void showGroups(const QStringList &groups);
    void showPanel(const BulkPanel &panel);
    void focus(GroupManager::Field field);
    void createGroup();
    QCoro::Task<void> deleteGroup();
    QCoro::Task<void> generateSeries();
    void validate();

    MessageBoxPrompter m_prompter{this};
    GroupManager m_logic;
    BulkPanel m_panel;
    QLineEdit *m_groupName;
    QComboBox *m_manageGroups;
    QComboBox *m_entryGroups;
    QLineEdit *m_name;
    QLineEdit *m_mobile;
    QLineEdit *m_email;
    QComboBox *m_bulkGroups;
    QPlainTextEdit *m_bulk;
    QPushButton *m_edit;
    QPushButton *m_save;
};

} // namespace tavsms
