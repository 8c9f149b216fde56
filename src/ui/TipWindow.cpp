#include "TipWindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tavsms {

TipWindow::TipWindow(const QString &title, const QString &text, std::chrono::milliseconds lifetime, QWidget *parent)
    : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("frmTip"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("lblTip"));
    label->setWordWrap(true);
    layout->addWidget(label);
    resize(320, 80);
    if (parent) {
        const QRect frame = parent->geometry();
        const int margin = 24;
        move(frame.right() - width() - margin, frame.bottom() - height() - 3 * margin);
    }
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &QWidget::close);
    m_closeTimer.start(lifetime);
}

} // namespace tavsms
