#include "RecordingPrompter.h"

namespace tavsms::test {

void RecordingPrompter::notify(Icon icon, const QString &title, const QString &text)
{
    m_entries.append({icon, title, text, false});
}

QCoro::Task<bool> RecordingPrompter::question(const QString &title, const QString &text, Icon icon, Default preset)
{
    m_entries.append({icon, title, text, true, preset});
    co_return m_answers.isEmpty() ? true : m_answers.takeFirst();
}

QString RecordingPrompter::dump() const
{
    QStringList lines;
    for (const Entry &e : m_entries)
        lines << QStringLiteral("[%1] %2").arg(e.title, e.text);
    return lines.join(QLatin1Char('\n'));
}

bool RecordingPrompter::contains(const QString &title, const QString &text) const
{
    for (const Entry &e : m_entries)
        if (e.title == title && e.text == text)
            return true;
    return false;
}

} // namespace tavsms::test
