#pragma once

#include <QComboBox>
#include <QStringList>

#include <algorithm>

namespace tavsms {

inline QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// Shows a list and its chosen item. The items are left alone when they have
// not changed, so an open list keeps its place; programmatic changes raise no
// `activated`, so showing a form never feeds back into the logic.
inline void showChoices(QComboBox *box, const QStringList &items, const QString &current)
{
    if (itemsOf(box) != items) {
        box->clear();
        box->addItems(items);
    }
    box->setCurrentIndex(std::max(0, int(items.indexOf(current))));
}

} // namespace tavsms
