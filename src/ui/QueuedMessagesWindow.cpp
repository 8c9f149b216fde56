#include "QueuedMessagesWindow.h"

#include "QueryTableModel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tavsms {

QueuedMessagesWindow::QueuedMessagesWindow(Database &db, AppState &state, QWidget *parent)
    : QWidget(parent)
    , m_queue(db, m_prompter, state)
    , m_model(new QueryTableModel(db, QueuedMessages::query(), QueryTableModel::kDefaultPageSize, this))
    , m_grid(new QTableView(this))
{
    setObjectName(QStringLiteral("frmQMsg"));
    setWindowTitle(QStringLiteral("Message Q Log"));
    m_grid->setObjectName(QStringLiteral("DataGrid1"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setModel(m_model);
    connect(m_model, &QueryTableModel::fetchFailed, this,
            [this](const QString &message) { m_prompter.critical(QStringLiteral("Error"), message); });

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
