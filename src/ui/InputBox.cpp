#include "InputBox.h"

#include <QInputDialog>

#include <coroutine>

namespace tavsms {

namespace {

// Resumes with the dialog's result once it has finished, queued on the
// screen, so a dialog closed with its screen resumes nobody.
struct Answered
{
    QObject *context;
    QInputDialog *dialog;
    std::optional<QString> text;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiter)
    {
        QObject::connect(
            dialog, &QDialog::finished, context,
            [this, waiter](int result) {
                if (result == QDialog::Accepted)
                    text = dialog->textValue();
                QMetaObject::invokeMethod(context, [waiter] { waiter.resume(); }, Qt::QueuedConnection);
            },
            Qt::SingleShotConnection);
    }
    std::optional<QString> await_resume() const { return text; }
};

} // namespace

QCoro::Task<std::optional<QString>> askText(QWidget *screen, const QString &title, const QString &label,
                                            const QString &preset)
{
    auto *dialog = new QInputDialog(screen);
    dialog->setObjectName(QStringLiteral("inputBox"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title);
    dialog->setLabelText(label);
    dialog->setTextValue(preset);
    dialog->setMinimumWidth(320); // room for the title
    dialog->open();
    co_return co_await Answered{screen, dialog};
}

} // namespace tavsms
