#include "CdmaFormat.h"

namespace tavsms::CdmaFormat {

namespace {

QString hexByte(uint value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString hexOfChars(const QString &text)
{
    QString out;
    for (QChar c : text)
        out += hexByte(c.unicode() > 0xFF ? uint('?') : uint(c.unicode()));
    return out;
}

bool allDigits(const QString &s)
{
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return !s.isEmpty();
}

} // namespace

QString submitForm(const QString &mobileNo, const QString &text)
{
    const QString number = mobileNo.left(10);
    return hexByte(uint(number.size())) + hexOfChars(number) + QStringLiteral("00")
        + hexByte(uint(text.size())) + hexOfChars(text);
}

QString hexDigitValue(const QString &digit)
{
    const QString up = digit.toUpper();
    if (up.size() == 1 && up.at(0) >= QLatin1Char('A') && up.at(0) <= QLatin1Char('F'))
        return QString::number(10 + (up.at(0).unicode() - 'A'));
    return digit;
}

QDateTime stampFromDigits(const QString &yy, const QString &mm, const QString &dd, const QString &hh,
                          const QString &mi, const QString &ss)
{
    for (const QString *part : {&yy, &mm, &dd, &hh, &mi, &ss})
        if (part->size() != 2 || !allDigits(*part))
            return {};
    const QDate date(2000 + yy.toInt(), mm.toInt(), dd.toInt());
    const QTime time(hh.toInt(), mi.toInt(), ss.toInt());
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

std::optional<DataLine> decodeDataLine(const QString &line)
{
    if (line.size() < 2)
        return std::nullopt;
    bool isNumber = false;
    const int n = hexDigitValue(line.mid(1, 1)).toInt(&isNumber);
    if (!isNumber || n <= 0)
        return std::nullopt;
    // 1-based: sender at 3, stamp at n + 3, length at n + 17, text at the end.
    if (line.size() < n + 20)
        return std::nullopt;
    DataLine out;
    out.sender = line.mid(2, n);
    const QString stamp = line.mid(n + 2, 12);
    out.stamp = stampFromDigits(stamp.mid(0, 2), stamp.mid(2, 2), stamp.mid(4, 2), stamp.mid(6, 2),
                                stamp.mid(8, 2), stamp.mid(10, 2));
    if (!out.stamp.isValid())
        return std::nullopt;
    bool lengthOk = false;
    const int length = line.mid(n + 16, 4).toInt(&lengthOk, 16);
    if (!lengthOk || length < 0 || length > line.size() - (n + 20))
        return std::nullopt;
    out.text = line.right(length);
    out.text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return out;
}

} // namespace tavsms::CdmaFormat
