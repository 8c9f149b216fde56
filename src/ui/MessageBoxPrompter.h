#pragma once

#include "Prompter.h"

#include <QObject>
#include <QPointer>

class QMessageBox;
class QWidget;

namespace tavsms {

// Shows each prompt as a window-modal QMessageBox over the given window,
// opened without a nested event loop. Where no one can see a box (the
// offscreen platform) it writes the prompt to standard error instead and a
// question takes the safe answer, Cancel.
class MessageBoxPrompter : public QObject, public Prompter
{
    Q_OBJECT
public:
    explicit MessageBoxPrompter(QWidget *parent = nullptr);
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    void notify(Icon icon, const QString &title, const QString &text) override;
    QCoro::Task<bool> question(const QString &title, const QString &text, Icon icon) override;

    // Boxes still on screen.
    int openBoxes() const { return m_open; }

Q_SIGNALS:
    // The last box on screen was closed.
    void allClosed();

private:
    QMessageBox *makeBox(Icon icon, const QString &title, const QString &text, bool okCancel);
    QPointer<QWidget> m_parent;
    int m_open = 0;
};

} // namespace tavsms
