#include "ServicePrompter.h"

#include "DebugLog.h"

namespace tavsms {

ServicePrompter::ServicePrompter(std::FILE *out)
    : m_out(out)
{
}

QString ServicePrompter::line(const QString &title, const QString &text)
{
    QString flat = text;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    flat.replace(QLatin1Char('\r'), QStringLiteral(" / "));
    flat.replace(QLatin1Char('\n'), QStringLiteral(" / "));
    return QStringLiteral("[%1] %2").arg(title.isEmpty() ? applicationTitle() : title, flat);
}

void ServicePrompter::write(const QString &title, const QString &text)
{
    const QString shown = line(title, text);
    std::fprintf(m_out, "%s\n", shown.toUtf8().constData());
    std::fflush(m_out);
    if (m_log && m_log->isOpen())
        m_log->writeEvent(QLatin1Char(' ') + shown);
}

void ServicePrompter::notify(Icon, const QString &title, const QString &text)
{
    write(title, text);
}

QCoro::Task<bool> ServicePrompter::question(const QString &title, const QString &text, Icon, Default)
{
    write(title, text + QStringLiteral(" (no one to answer: Cancel)"));
    co_return false;
}

} // namespace tavsms
