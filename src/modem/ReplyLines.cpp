#include "ReplyLines.h"

namespace tavsms::ReplyLines {

namespace {
bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}
} // namespace

QStringList completeLines(const QString &buffer)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < buffer.size(); ++i) {
        if (!isLineEnd(buffer.at(i)))
            continue;
        if (i > start)
            lines << buffer.mid(start, i - start);
        start = i + 1;
    }
    return lines;
}

bool isOkLine(const QString &line)
{
    return line.trimmed() == QLatin1String("OK");
}

bool isErrorLine(const QString &line)
{
    const QString t = line.trimmed();
    return t == QLatin1String("ERROR") || t.startsWith(QLatin1String("+CMS ERROR:"))
        || t.startsWith(QLatin1String("+CME ERROR:"));
}

std::optional<Final> finalResult(const QString &buffer)
{
    for (const QString &line : completeLines(buffer)) {
        if (isOkLine(line))
            return Final::Ok;
        if (isErrorLine(line))
            return Final::Error;
    }
    return std::nullopt;
}

bool hasPrompt(const QString &buffer)
{
    // The prompt "> " is not followed by a line end, so the unfinished tail counts too.
    qsizetype start = 0;
    while (start < buffer.size()) {
        qsizetype end = start;
        while (end < buffer.size() && !isLineEnd(buffer.at(end)))
            ++end;
        if (end > start && buffer.at(start) == QLatin1Char('>'))
            return true;
        start = end + 1;
    }
    return false;
}

int messageReference(const QString &buffer)
{
    for (const QString &line : completeLines(buffer)) {
        const QString t = line.trimmed();
        if (!t.startsWith(QLatin1String("+CMGS:")))
            continue;
        bool ok = false;
        const int mr = t.mid(6).section(QLatin1Char(','), 0, 0).trimmed().toInt(&ok);
        return ok && mr >= 0 && mr <= 255 ? mr : -1;
    }
    return -1;
}

int okCount(const QString &buffer)
{
    int n = 0;
    for (const QString &line : completeLines(buffer))
        n += isOkLine(line) ? 1 : 0;
    return n;
}

bool hasErrorLine(const QString &buffer)
{
    for (const QString &line : completeLines(buffer))
        if (isErrorLine(line))
            return true;
    return false;
}

QStringList Scanner::feed(QStringView chunk)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        ++m_scanned;
        if (!isLineEnd(chunk.at(i)))
            continue;
        keep(chunk.mid(start, i - start));
        if (!m_tail.isEmpty() && !m_tailCut)
            lines << m_tail;
        m_tail.clear();
        m_tailCut = false;
        start = i + 1;
    }
    keep(chunk.mid(start));
    return lines;
}

void Scanner::keep(QStringView part)
{
    const qsizetype room = kLineCap - m_tail.size();
    if (part.size() > room)
        m_tailCut = true;
    m_tail += part.left(qMax<qsizetype>(room, 0));
}

bool Scanner::promptInTail() const
{
    return !m_tailCut && m_tail.startsWith(QLatin1Char('>'));
}

} // namespace tavsms::ReplyLines
