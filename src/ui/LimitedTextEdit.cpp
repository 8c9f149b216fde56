#include "LimitedTextEdit.h"

#include <QKeyEvent>
#include <QMimeData>

namespace tavsms {

LimitedTextEdit::LimitedTextEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
}

int LimitedTextEdit::room() const
{
    const int used = int(toPlainText().size() - textCursor().selectedText().size());
    return std::max(0, m_maxLength - used);
}

void LimitedTextEdit::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    const bool inserts = !typed.isEmpty() && (typed.at(0).isPrint() || typed == QLatin1String("\r"))
                         && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (inserts && room() < typed.size()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void LimitedTextEdit::insertFromMimeData(const QMimeData *source)
{
    if (!source->hasText())
        return;
    insertPlainText(source->text().left(room()));
}

} // namespace tavsms
