#include "PortHealthWindow.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tavsms {

PortHealthWindow::PortHealthWindow(const AppState &state, MessageQueue &queue, QWidget *parent)
    : QWidget(parent)
    , m_view(state, queue)
    , m_table(new QTableWidget(this))
{
    setObjectName(QStringLiteral("frmPortHealth"));
    setWindowTitle(QStringLiteral("Port Health"));
    m_table->setObjectName(QStringLiteral("grdPortHealth"));
    m_table->setColumnCount(int(PortHealthView::columns().size()));
    m_table->setHorizontalHeaderLabels(PortHealthView::columns());
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    resize(900, 220);

    connect(&state, &AppState::portHealthChanged, this, &PortHealthWindow::render);
    connect(&state, &AppState::connectedCountChanged, this, &PortHealthWindow::render);
    render();
}

void PortHealthWindow::render()
{
    const QList<PortHealthView::Row> rows = m_view.load();
    m_table->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const PortHealthView::Row &row = rows.at(r);
        const QStringList cells = {row.port, row.signal + QStringLiteral("  ") + PortHealthView::barsText(row.bars),
                                   row.registration, row.operatorName, row.imei, row.imsi, row.lastAnswer, row.note};
        for (int c = 0; c < cells.size(); ++c)
            m_table->setItem(r, c, new QTableWidgetItem(cells.at(c)));
    }
    m_table->resizeColumnsToContents();
}

} // namespace tavsms
