#include "TipWindow.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace tavsms {

TipWindow::TipWindow(const QString &title, const QString &text, int seconds, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
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
        const QRect area = parent->geometry();
        move(area.center() - rect().center());
    }
    QTimer::singleShot(seconds * 1000, this, &QWidget::close);
}

} // namespace tavsms
