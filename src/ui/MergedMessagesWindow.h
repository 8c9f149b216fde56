#pragma once

#include "MergedSend.h"
#include "MessageBoxPrompter.h"
#include "ProgressBox.h"

#include <QCoroTask>
#include <QWidget>

class QComboBox;
class QPushButton;
class QTableWidget;

namespace tavsms {

// frmDynaShowGrp, "Show Dynamic Merged Content": the merged rows, the
// connection, and "Send SMS".
class MergedMessagesWindow : public QWidget
{
    Q_OBJECT
public:
    MergedMessagesWindow(Store &store, const AppState &state, QWidget *parent = nullptr);

    // Shows a new merge (a "Merge Data" while this screen is open replaces it).
    void setRows(const QList<MergedRow> &rows);
    ProgressBox &progress() { return m_progress; }

private:
    QCoro::Task<void> send();

    MessageBoxPrompter m_prompter{this};
    ProgressBox m_progress{this};
    MergedSend m_logic;
    QList<MergedRow> m_rows;
    QTableWidget *m_grid;
    QComboBox *m_modems;
    QPushButton *m_send;
};

} // namespace tavsms
