#pragma once

#include "MemberImport.h"
#include "MessageBoxPrompter.h"
#include "ProgressBox.h"

#include <QCoroTask>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tavsms {

class Database;
class TableFileModel;

// frmImport, "Import Data from Excel and Text Files".
class ImportWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ImportWindow(Database &db, QWidget *parent = nullptr,
                          int chunkSize = MemberImport::kDefaultChunk);

    ProgressBox &progress() { return m_progress; }

private:
    void importData();
    QCoro::Task<void> save();

    MessageBoxPrompter m_prompter{this};
    ProgressBox m_progress{this};
    MemberImport m_logic;
    QLineEdit *m_path;
    QTableView *m_grid;
    TableFileModel *m_model;
    QComboBox *m_groups;
    QPushButton *m_save;
};

} // namespace tavsms
