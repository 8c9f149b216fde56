#pragma once

#include "MessageBoxPrompter.h"
#include "QueuedMessages.h"

#include <QWidget>

class QTableView;

namespace tavsms {

class QueryTableModel;

// frmQMsg, "Message Q Log": the pending messages, read a page at a time as
// the grid is scrolled, and "Clear Queue". Sending waits while it is open.
class QueuedMessagesWindow : public QWidget
{
    Q_OBJECT
public:
    QueuedMessagesWindow(Database &db, AppState &state, QWidget *parent = nullptr);

    QTableView *grid() const { return m_grid; }

private:
    QCoro::Task<void> clearQueue();

    MessageBoxPrompter m_prompter{this};
    QueuedMessages m_queue;
    QueryTableModel *m_model;
    QTableView *m_grid;
};

} // namespace tavsms
