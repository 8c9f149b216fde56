#include "ScheduleForm.h"

namespace tavsms {

namespace {

std::optional<int> numberIn(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

ScheduleTime ScheduleTime::of(const QDateTime &when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    return {QString::number(d.day()), QString::number(d.month()), QString::number(d.year()),
            QString::number(t.hour()), QStringLiteral("%1").arg(t.minute(), 2, 10, QLatin1Char('0'))};
}

std::optional<QDateTime> ScheduleTime::toDateTime() const
{
    const auto y = numberIn(year, 1, 9999);
    const auto mo = numberIn(month, 1, 12);
    const auto d = numberIn(day, 1, 31);
    const auto h = numberIn(hour, 0, 23);
    const auto mi = numberIn(minute, 0, 59);
    if (!y || !mo || !d || !h || !mi)
        return std::nullopt;
    const QDate date(*y, *mo, *d);
    if (!date.isValid())
        return std::nullopt;
    return QDateTime(date, QTime(*h, *mi));
}

QString ScheduleTime::problem(const QString &caption) const
{
    if (toDateTime())
        return {};
    if (hour.trimmed() == QLatin1String("24"))
        return QStringLiteral("The hour of the %1 is 24, which is not an hour of the day: choose an hour from 0 to 23.")
            .arg(caption);
    const auto y = numberIn(year, 1, 9999);
    const auto mo = numberIn(month, 1, 12);
    const auto d = numberIn(day, 1, 31);
    if (y && mo && d) {
        const int days = QDate(*y, *mo, 1).daysInMonth();
        if (*d > days)
            return QStringLiteral("The %1 has day %2, but month %3 of %4 has only %5 days.")
                .arg(caption, day.trimmed(), month.trimmed(), year.trimmed())
                .arg(days);
    }
    return QStringLiteral("The %1 is not a date and time.").arg(caption);
}

} // namespace tavsms
