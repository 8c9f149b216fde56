#include "GroupMembersWindow.h"

#include "Database.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tavsms {

GroupMembersWindow::GroupMembersWindow(Database &db, QWidget *parent)
    : QWidget(parent)
    , m_model(db, m_prompter)
{
    setObjectName(QStringLiteral("frmManageGroups"));
    setWindowTitle(QStringLiteral("Manage Group Members"));

    m_groups = new QComboBox(this);
    m_groups->setObjectName(QStringLiteral("cboGroup"));
    auto *show = new QPushButton(QStringLiteral("Show Members"), this);
    show->setObjectName(QStringLiteral("cmdShow"));
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("grdMembers"));
    m_grid->setModel(&m_model);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Select Group"), this));
    top->addWidget(m_groups, 1);
    top->addWidget(show);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_grid, 1);

    try {
        m_groups->addItems(Groups(db).namesByAge());
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"), QStringLiteral("The groups could not be read:\n%1").arg(e.message()));
    }
    connect(show, &QPushButton::clicked, this, [this] {
        if (!m_groups->currentText().isEmpty())
            m_model.showGroup(m_groups->currentText());
        m_grid->resizeColumnsToContents();
    });
    resize(560, 400);
}

} // namespace tavsms
