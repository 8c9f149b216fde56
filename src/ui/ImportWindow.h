#pragma once

#include "MemberImport.h"
#include "MessageBoxPrompter.h"
#include "ProgressBox.h"

#include <QCoroTask>
#include <QWidget>

class QComboBox;
class QPushButton;

namespace tavsms {

class Database;
class DataFilePicker;

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
    DataFilePicker *m_file;
    QComboBox *m_groups;
    QPushButton *m_save;
};

} // namespace tavsms
