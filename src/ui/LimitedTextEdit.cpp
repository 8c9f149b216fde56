#include "LimitedTextEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

namespace tavsms {

LimitedTextEdit::LimitedTextEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
}

bool LimitedTextEdit::fits(const QString &text) const
{
    return m_fits ? m_fits(text) : text.size() <= m_maxLength;
}

QString LimitedTextEdit::fitting(const QString &insert) const
{
    const QTextCursor cursor = textCursor();
    const QString text = toPlainText();
    const auto withFirst = [&](qsizetype n) {
        return QString(text).replace(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart(),
                                     insert.left(n));
    };
    if (fits(withFirst(insert.size())))
        return insert;
    // More of the insert never fits where less did not: the most that fits is found by halving.
    qsizetype good = 0;
    qsizetype bad = insert.size();
    while (bad - good > 1) {
        const qsizetype middle = (good + bad) / 2;
        (fits(withFirst(middle)) ? good : bad) = middle;
    }
    if (good > 0 && insert.at(good - 1).isHighSurrogate())
        --good;
    return insert.left(good);
}

void LimitedTextEdit::keyPressEvent(QKeyEvent *event)
{
    const bool newLine = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const QString typed = newLine ? QStringLiteral("\n") : event->text();
    const bool inserts = newLine || (!typed.isEmpty() && typed.at(0).isPrint());
    if (inserts && fitting(typed).size() < typed.size()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void LimitedTextEdit::insertFromMimeData(const QMimeData *source)
{
    if (!source->hasText())
        return;
    const QString text = fitting(source->text());
    if (!text.isEmpty())
        insertPlainText(text);
}

void LimitedTextEdit::inputMethodEvent(QInputMethodEvent *event)
{
    const QString commit = fitting(event->commitString());
    if (commit.size() < event->commitString().size()) {
        QInputMethodEvent cut(event->preeditString(), event->attributes());
        cut.setCommitString(commit, event->replacementStart(), event->replacementLength());
        QPlainTextEdit::inputMethodEvent(&cut);
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

} // namespace tavsms
