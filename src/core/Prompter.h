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
    // The button a question's box offers first (Enter answers it). Questions
    // that destroy something (delete, clear, reset) offer Cancel.
    enum class Default { Ok, Cancel };

    virtual ~Prompter() = default;

    virtual void notify(Icon icon, const QString &title, const QString &text) = 0;
    // OK/Cancel with the given icon; true for OK. A question whose screen
    // closes before it is answered never resumes its caller.
    virtual QCoro::Task<bool> question(const QString &title, const QString &text, Icon icon = Icon::Question,
                                       Default preset = Default::Ok) = 0;

    void information(const QString &title, const QString &text) { notify(Icon::Information, title, text); }
    void exclamation(const QString &title, const QString &text) { notify(Icon::Exclamation, title, text); }
    void critical(const QString &title, const QString &text) { notify(Icon::Critical, title, text); }
    // A message with no icon.
    void plain(const QString &title, const QString &text) { notify(Icon::None, title, text); }

    struct Notice;
    // Shows a notice a logic class handed back; an empty one shows nothing.
    void show(const Notice &notice);
};

// A box that an operation hands back to its screen instead of showing it
// itself: an operation that waits (for a device, for a reply) may finish
// after its screen has closed, and then nobody shows it.
struct Prompter::Notice
{
    Icon icon = Icon::None;
    QString title;
    QString text;
    bool isEmpty() const { return text.isEmpty(); }
};

inline void Prompter::show(const Notice &notice)
{
    if (!notice.isEmpty())
        notify(notice.icon, notice.title, notice.text);
}

// The title of a box that states none.
QString applicationTitle();

} // namespace tavsms
