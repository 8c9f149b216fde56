#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <Qt>

#include <functional>

namespace tavsms {

// One shown column of a grid over a query.
struct TableColumn
{
    QString expression; // an SQL expression or a column name
    QString caption;
    // From the stored value to the text shown; none shows the value as text.
    std::function<QString(const QVariant &)> format;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    // The cell's whole text as its tool tip, for texts a narrow column cuts.
    bool wholeTextTip = false;
};

// One key of the grid's order. The keys together must name one row: make
// the last one unique (id). A key that may hold NULL must say so, or the
// rows holding NULL there are skipped while paging; the NULL-safe comparison
// keeps SQLite from reading the key's index as a range, so leave it off
// for NOT NULL columns.
struct TableSortKey
{
    QString expression;
    Qt::SortOrder order = Qt::AscendingOrder;
    bool mayBeNull = false;
};

// The SELECT behind a grid: FROM, an optional WHERE, the shown columns and
// the order. `parameters` are the values of the `?` placeholders in `from`
// and `where`, in the order they appear; values are never written into the
// text.
struct TableQuery
{
    QString from;
    QString where;
    QVariantList parameters;
    QList<TableColumn> columns;
    QList<TableSortKey> sortKeys;
};

} // namespace tavsms
