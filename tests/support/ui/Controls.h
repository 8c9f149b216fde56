#pragma once

#include <QComboBox>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace tavsms::test::Controls {

// A screen's control by its object name; a test that names a missing one stops at once.
template<typename T>
T *child(QWidget *screen, const char *name)
{
    T *found = screen->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s in %s", name, qPrintable(screen->objectName()));
    return found;
}

// The items of a list, top to bottom.
inline QStringList items(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// The operator picks an item of a list (which raises `activated`, as a
// click does). False when the list has no such item.
[[nodiscard]] inline bool choose(QComboBox *box, const QString &item)
{
    const int index = box->findText(item);
    if (index < 0)
        return false;
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
    return true;
}

} // namespace tavsms::test::Controls
