#pragma once

#include "Prompter.h"

#include <QObject>
#include <QPointer>

class QMessageBox;
class QWidget;

namespace tavsms {

// Shows each prompt as a window-modal QMessageBox over the screen that asks,
// opened without a nested event loop: a notice is shown and the handler goes
// on; a question suspends its caller until a button is pressed.
//
// Each screen owns one, so that its boxes close with it and a question whose
// screen is gone never resumes into it. One question is open at a time: a
// second one (a second click on the same button) brings the open box to the
// front and is answered Cancel at once.
class MessageBoxPrompter : public QObject, public Prompter
{
    Q_OBJECT
public:
    explicit MessageBoxPrompter(QWidget *screen = nullptr);
    void setParentWidget(QWidget *screen) { m_screen = screen; }

    void notify(Icon icon, const QString &title, const QString &text) override;
    QCoro::Task<bool> question(const QString &title, const QString &text, Icon icon, Default preset) override;

    // Boxes still on screen.
    int openBoxes() const { return m_open; }

Q_SIGNALS:
    // The last box on screen was closed.
    void allClosed();

private:
    QMessageBox *makeBox(Icon icon, const QString &title, const QString &text, bool okCancel);

    QPointer<QWidget> m_screen;
    QPointer<QMessageBox> m_question;
    int m_open = 0;
};

} // namespace tavsms
