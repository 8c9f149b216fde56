#pragma once

#include <QPlainTextEdit>

namespace tavsms {

// A message box whose typing (and pasting) stops at a maximum length, as a
// text box's maximum length does; text set by the program is never cut.
class LimitedTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit LimitedTextEdit(QWidget *parent = nullptr);

    int maxLength() const { return m_maxLength; }
    void setMaxLength(int length) { m_maxLength = length; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    // How many characters the operator may still add in place of the selection.
    qsizetype room() const;

    int m_maxLength = 160;
};

} // namespace tavsms
