#pragma once

#include <QPlainTextEdit>

namespace tavsms {

// A message box whose typing stops at a maximum length, as a line edit's
// maxLength does; text set by the program (a template) is not cut. Pasted
// text is cut to the room left.
class LimitedTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit LimitedTextEdit(QWidget *parent = nullptr);

    void setMaxLength(int length) { m_maxLength = length; }
    int maxLength() const { return m_maxLength; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    // Characters that may still be typed over the current selection.
    int room() const;

    int m_maxLength = 160;
};

} // namespace tavsms
