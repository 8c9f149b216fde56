#include "MessageBoxPrompter.h"

#include <QAbstractButton>
#include <QMessageBox>

#include <coroutine>

namespace tavsms {

namespace {

QString boxText(const QString &text)
{
    // Texts may carry CR LF line breaks; a label wants plain LF.
    QString shown = text;
    return shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// co_await ButtonPressed{...}: resumes with the standard button that closed
// the box. The resumption is queued on `context`, so it never runs inside
// the box's own signal and is dropped if the asking screen (which owns the
// context) is gone by then. A box destroyed unanswered never resumes.
struct ButtonPressed
{
    QObject *context;
    QMessageBox *box;
    QMessageBox::StandardButton pressed = QMessageBox::Cancel;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiter)
    {
        QObject::connect(
            box, &QDialog::finished, context,
            [this, waiter](int) {
                // Escape and the window's close button count as Cancel.
                if (QAbstractButton *clicked = box->clickedButton())
                    pressed = box->standardButton(clicked);
                QMetaObject::invokeMethod(context, [waiter] { waiter.resume(); }, Qt::QueuedConnection);
            },
            Qt::SingleShotConnection);
    }
    QMessageBox::StandardButton await_resume() const noexcept { return pressed; }
};

} // namespace

MessageBoxPrompter::MessageBoxPrompter(QWidget *screen)
    : m_screen(screen)
{
}

QMessageBox *MessageBoxPrompter::makeBox(Icon icon, const QString &title, const QString &text, bool okCancel)
{
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::Information: boxIcon = QMessageBox::Information; break;
    case Icon::Exclamation: boxIcon = QMessageBox::Warning; break;
    case Icon::Critical: boxIcon = QMessageBox::Critical; break;
    case Icon::Question: boxIcon = QMessageBox::Question; break;
    case Icon::None: break;
    }
    auto *box = new QMessageBox(boxIcon, title.isEmpty() ? applicationTitle() : title, boxText(text),
                                okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, m_screen);
    box->setAttribute(Qt::WA_DeleteOnClose);
    ++m_open;
    connect(box, &QObject::destroyed, this, [this] {
        if (--m_open == 0)
            Q_EMIT allClosed();
    });
    return box;
}

void MessageBoxPrompter::notify(Icon icon, const QString &title, const QString &text)
{
    makeBox(icon, title, text, false)->open();
}

QCoro::Task<bool> MessageBoxPrompter::question(const QString &title, const QString &text, Icon icon, Default preset)
{
    if (m_question && m_question->isVisible()) { // an answered box may linger a moment
        m_question->raise();
        m_question->activateWindow();
        co_return false;
    }
    QMessageBox *box = makeBox(icon, title, text, true);
    box->setDefaultButton(preset == Default::Cancel ? QMessageBox::Cancel : QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Cancel);
    m_question = box;
    box->open();
    const QMessageBox::StandardButton pressed = co_await ButtonPressed{this, box};
    m_question.clear(); // the box itself goes a little later
    co_return pressed == QMessageBox::Ok;
}

} // namespace tavsms
