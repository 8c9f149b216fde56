#pragma once

#include <QCoroTask>
#include <QString>

namespace tavsms {

// The one way logic speaks to the operator. Screens hand a QMessageBox-backed
// prompter to their logic class; tests hand a recording one.
//
// Notices do not hold up the caller: the box is shown and the handler goes
// on, so the event loop (and every sender waiting on a device) keeps running.
// A question suspends the calling coroutine until it is answered.
class Prompter
{
public:
    enum class Icon { None, Information, Exclamation, Critical, Question };

    virtual ~Prompter() = default;

    virtual void notify(Icon icon, const QString &title, const QString &text) = 0;
    // OK/Cancel with the given icon; true for OK.
    virtual QCoro::Task<bool> question(const QString &title, const QString &text,
                                       Icon icon = Icon::Question) = 0;

    void information(const QString &title, const QString &text) { notify(Icon::Information, title, text); }
    void exclamation(const QString &title, const QString &text) { notify(Icon::Exclamation, title, text); }
    void critical(const QString &title, const QString &text) { notify(Icon::Critical, title, text); }
    // A message with no icon.
    void plain(const QString &title, const QString &text) { notify(Icon::None, title, text); }
};

// The title of a box that states none.
QString applicationTitle();

} // namespace tavsms
