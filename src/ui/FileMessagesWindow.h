#pragma once

#include "FileMessages.h"
#include "MessageBoxPrompter.h"
#include "ProgressBox.h"

#include <QCoroTask>
#include <QWidget>

class QComboBox;
class QPushButton;

namespace tavsms {

class DataFilePicker;

// frmDynaExcel, "Dynamic SMS from Excel".
class FileMessagesWindow : public QWidget
{
    Q_OBJECT
public:
    FileMessagesWindow(Store &store, const AppState &state, QWidget *parent = nullptr);

    ProgressBox &progress() { return m_progress; }

private:
    QCoro::Task<void> send();

    MessageBoxPrompter m_prompter{this};
    ProgressBox m_progress{this};
    FileMessages m_logic;
    DataFilePicker *m_file;
    QComboBox *m_modems;
    QPushButton *m_send;
};

} // namespace tavsms
