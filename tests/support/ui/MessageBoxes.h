#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

namespace tavsms::test::Boxes {

// The message boxes on screen (offscreen in the suite: real boxes, shown and
// answered as an operator would), oldest first.
QList<QMessageBox *> open();
// The open box showing exactly this text (and this title, when given).
QMessageBox *find(const QString &text, const QString &title = QString());
// Waits, the event loop running, until such a box is open; null if none came.
QMessageBox *waitFor(const QString &text, const QString &title = QString(), int timeoutMs = 5000);
// Presses one of the box's buttons.
void press(QMessageBox *box, QMessageBox::StandardButton button);
// Presses OK on every open box.
void dismissAll();
// Runs the event loop until all that was posted before has been handled: an
// answer reaches the handler that asked on a later turn of the loop.
void settle();
// "[title] text" of every open box, for a readable failure message.
QString dump();

} // namespace tavsms::test::Boxes
