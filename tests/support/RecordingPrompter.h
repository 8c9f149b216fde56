#pragma once

#include "Prompter.h"

#include <QList>
#include <QString>

namespace tavsms::test {

// Remembers every prompt; questions get the answers queued beforehand
// (OK when none is queued).
class RecordingPrompter : public Prompter
{
public:
    struct Entry
    {
        Icon icon;
        QString title;
        QString text;
        bool question = false;
        Default preset = Default::Ok; // of a question
    };

    void notify(Icon icon, const QString &title, const QString &text) override;
    QCoro::Task<bool> question(const QString &title, const QString &text, Icon icon, Default preset) override;

    void queueAnswer(bool ok) { m_answers.append(ok); }
    const QList<Entry> &entries() const { return m_entries; }
    void clear() { m_entries.clear(); }
    // Texts of all prompts, for a readable failure message.
    QString dump() const;
    bool contains(const QString &title, const QString &text) const;
    int count() const { return int(m_entries.size()); }

private:
    QList<Entry> m_entries;
    QList<bool> m_answers;
};

} // namespace tavsms::test
