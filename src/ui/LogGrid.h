#pragma once

#include "Prompter.h"
#include "QueryTableModel.h"

#include <QHeaderView>
#include <QTableView>

namespace tavsms {

// A read-only grid over a log's pages. A failed page leaves the rows already
// shown; the box says why the rest is missing.
inline QTableView *logGrid(QueryTableModel *model, Prompter &prompter, const QString &errorTitle, QWidget *parent)
{
    auto *grid = new QTableView(parent);
    grid->setObjectName(QStringLiteral("DataGrid1"));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setModel(model);
    QObject::connect(model, &QueryTableModel::fetchFailed, grid,
                     [&prompter, errorTitle](const QString &message) { prompter.critical(errorTitle, message); });
    return grid;
}

} // namespace tavsms
