#include "QueuedMessagesWindow.h"

#include "LogGrid.h"
#include "QueryTableModel.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavsms {

QueuedMessagesWindow::QueuedMessagesWindow(Database &db, AppState &state, QWidget *parent)
    : QWidget(parent)
    , m_queue(db, m_prompter, state)
    , m_model(new QueryTableModel(db, QueuedMessages::query(), QueryTableModel::kDefaultPageSize, this))
    , m_grid(logGrid(m_model, m_prompter, QStringLiteral("Error"), this))
{
    setObjectName(QStringLiteral("frmQMsg"));
    setWindowTitle(QStringLiteral("Message Q Log"));

    auto *clear = new QPushButton(QStringLiteral("Clear Queue"), this);
    clear->setObjectName(QStringLiteral("cmdClear"));
    connect(clear, &QPushButton::clicked, this, &QueuedMessagesWindow::clearQueue);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clear);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addLayout(buttons);
    resize(760, 420);
    m_model->reload();
    m_grid->resizeColumnsToContents();
}

QCoro::Task<void> QueuedMessagesWindow::clearQueue()
{
    QPointer<QueuedMessagesWindow> self(this);
    const bool cleared = co_await m_queue.clearQueue();
    if (self && cleared)
        m_model->reload();
}

} // namespace tavsms
