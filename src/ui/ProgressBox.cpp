#include "ProgressBox.h"

#include "Prompter.h"

#include <QProgressDialog>

namespace tavsms {

namespace {
// QProgressDialog counts in int; larger totals are shown in proportion.
constexpr int kSteps = 1000;
} // namespace

ProgressBox::ProgressBox(QWidget *owner)
    : m_owner(owner)
{
}

ProgressBox::~ProgressBox()
{
    delete m_dialog;
}

QProgressDialog *ProgressBox::dialog() const
{
    return m_dialog;
}

void ProgressBox::begin(const QString &label, qint64 total)
{
    delete m_dialog;
    m_total = total;
    m_cancelled = false;
    // Not modal: a modal QProgressDialog runs the event loop inside setValue().
    m_dialog = new QProgressDialog(label, QStringLiteral("Cancel"), 0, kSteps, m_owner);
    m_dialog->setObjectName(QStringLiteral("progressBox"));
    m_dialog->setWindowTitle(applicationTitle());
    m_dialog->setWindowModality(Qt::NonModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumDuration(300);
    QObject::connect(m_dialog, &QProgressDialog::canceled, m_dialog, [this] { m_cancelled = true; });
    m_dialog->setValue(0);
}

void ProgressBox::advance(qint64 done)
{
    if (m_dialog && m_total > 0)
        m_dialog->setValue(int(done * kSteps / m_total));
}

bool ProgressBox::cancelRequested() const
{
    return m_cancelled;
}

void ProgressBox::end()
{
    delete m_dialog;
}

} // namespace tavsms
