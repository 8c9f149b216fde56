#pragma once

#include "ConnectionChoice.h"

#include <QPlainTextEdit>

#include <functional>

namespace tavsms {

// A message box whose typing (and pasting) stops at a maximum length, as a
// text box's maximum length does; text set by the program is never cut.
class LimitedTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    using Fits = std::function<bool(const QString &text)>;

    explicit LimitedTextEdit(QWidget *parent = nullptr);

    int maxLength() const { return m_maxLength; }
    void setMaxLength(int length)
    {
        m_maxLength = length;
        m_fits = {};
    }
    // What the box may hold decided by a rule instead of a length (the parts
    // of a port in PDU mode); a longer text never fits where a shorter did not.
    void setFits(Fits fits) { m_fits = std::move(fits); }
    // The limit of the connection chosen: characters, or parts on a PDU port.
    void setLimit(const LengthLimit &limit)
    {
        if (limit.inParts)
            setFits([limit](const QString &text) { return limit.fits(text); });
        else
            setMaxLength(limit.characters);
    }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    bool fits(const QString &text) const;
    // The longest beginning of `insert` the operator may put in place of the selection.
    QString fitting(const QString &insert) const;

    int m_maxLength = 160;
    Fits m_fits;
};

} // namespace tavsms
