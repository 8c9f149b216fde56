#include "MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

#include <memory>

namespace tavsms::test::Boxes {

QList<QMessageBox *> open()
{
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            boxes << box;
    return boxes;
}

QMessageBox *find(const QString &text, const QString &title)
{
    for (QMessageBox *box : open())
        if (box->text() == text && (title.isEmpty() || box->windowTitle() == title))
            return box;
    return nullptr;
}

QMessageBox *waitFor(const QString &text, const QString &title, int timeoutMs)
{
    QMessageBox *found = nullptr;
    (void)QTest::qWaitFor([&] { return (found = find(text, title)) != nullptr; }, timeoutMs);
    return found;
}

void press(QMessageBox *box, QMessageBox::StandardButton button)
{
    if (QAbstractButton *b = box ? box->button(button) : nullptr)
        b->click();
}

void dismissAll()
{
    for (QMessageBox *box : open())
        press(box, QMessageBox::Ok);
}

void settle()
{
    auto reached = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(qApp, [reached] { *reached = true; }, Qt::QueuedConnection);
    (void)QTest::qWaitFor([reached] { return *reached; });
}

QString dump()
{
    QStringList lines;
    for (QMessageBox *box : open())
        lines << QStringLiteral("[%1] %2").arg(box->windowTitle(), box->text());
    return lines.join(QLatin1Char('\n'));
}

} // namespace tavsms::test::Boxes
