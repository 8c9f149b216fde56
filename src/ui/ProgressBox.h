#pragma once

#include "Progress.h"

#include <QPointer>

class QProgressDialog;
class QWidget;

namespace tavsms {

// A progress bar with Cancel over a screen, for work that takes a while.
// It does not block: the screen stays live (the screen disables what must not
// run twice), and the bar appears only when the work lasts longer than a
// moment. The dialog exists only between begin() and end(), since a
// QProgressDialog shows itself a few seconds after it is made.
class ProgressBox : public Progress
{
public:
    explicit ProgressBox(QWidget *owner);
    ~ProgressBox() override;

    void begin(const QString &label, qint64 total) override;
    void advance(qint64 done) override;
    bool cancelRequested() const override;
    void end() override;

    // The dialog while work runs, for tests; null otherwise.
    QProgressDialog *dialog() const;

private:
    QWidget *m_owner;
    QPointer<QProgressDialog> m_dialog;
    qint64 m_total = 0;
    bool m_cancelled = false;
};

} // namespace tavsms
