#include "TextRules.h"

namespace tavsms {

QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

QString lastTen(const QString &number)
{
    return trimSpaces(number).right(10);
}

QString joinLines(const QString &text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return trimSpaces(out);
}

QString joinTypedLines(const QString &text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return trimSpaces(out);
}

} // namespace tavsms
