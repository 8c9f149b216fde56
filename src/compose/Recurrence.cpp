#include "Recurrence.h"

#include <cmath>

namespace tavsms {

namespace {

using Frequency = Recurrence::Frequency;

// Floor division, for spans that run backwards.
qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

qint64 minutesOfDay(const QTime &t)
{
    return t.hour() * 60 + t.minute();
}

// Whole wall-clock minutes from a to b.
qint64 minutesBetween(const QDateTime &a, const QDateTime &b)
{
    return a.date().daysTo(b.date()) * 1440 + minutesOfDay(b.time()) - minutesOfDay(a.time());
}

qint64 monthIndex(const QDate &d)
{
    return qint64(d.year()) * 12 + d.month();
}

qint64 quarterIndex(const QDate &d)
{
    return qint64(d.year()) * 4 + (d.month() - 1) / 3;
}

QDate sundayOnOrBefore(const QDate &d)
{
    return d.addDays(-(d.dayOfWeek() % 7)); // Monday 1 … Sunday 7
}

// Adds to the clock reading, not to the elapsed time, so a step never lands
// on a different wall-clock minute than the operator expects.
QDateTime addWallMinutes(const QDateTime &from, qint64 minutes)
{
    const QDateTime wall(from.date(), from.time(), Qt::UTC);
    const QDateTime moved = wall.addSecs(minutes * 60);
    return QDateTime(moved.date(), moved.time());
}

QDateTime addMonths(const QDateTime &from, int months)
{
    // QDate::addMonths keeps the day, or takes the month's last day.
    return QDateTime(from.date().addMonths(months), from.time());
}

} // namespace

const QStringList &Recurrence::names()
{
    static const QStringList list{
        QStringLiteral("Once"),           QStringLiteral("Every 15 Minutes"),   QStringLiteral("Every 30 Minutes"),
        QStringLiteral("Every 45 Minutes"), QStringLiteral("Every Hour"),       QStringLiteral("Every Day"),
        QStringLiteral("Every Week"),     QStringLiteral("Every Month"),        QStringLiteral("Every Three Months"),
        QStringLiteral("Every Six Months"), QStringLiteral("Every Year"),
    };
    return list;
}

std::optional<Recurrence::Frequency> Recurrence::fromName(const QString &name)
{
    const int index = int(names().indexOf(name));
    if (index < 0)
        return std::nullopt;
    return Frequency(index);
}

double Recurrence::count(Frequency frequency, const QDateTime &start, const QDateTime &end)
{
    const QDate s = start.date();
    const QDate e = end.date();
    switch (frequency) {
    case Frequency::Once: return 1;
    case Frequency::Every15Minutes: return double(std::abs(floorDiv(minutesBetween(start, end), 15)));
    case Frequency::Every30Minutes: return double(std::abs(floorDiv(minutesBetween(start, end), 30)));
    case Frequency::Every45Minutes: return double(std::abs(floorDiv(minutesBetween(start, end), 45)));
    case Frequency::EveryHour: return double(s.daysTo(e) * 24 + end.time().hour() - start.time().hour());
    case Frequency::EveryDay: return double(s.daysTo(e));
    case Frequency::EveryWeek: return double(sundayOnOrBefore(s).daysTo(sundayOnOrBefore(e)) / 7);
    case Frequency::EveryMonth: return double(monthIndex(e) - monthIndex(s));
    case Frequency::EveryThreeMonths: return double(quarterIndex(e) - quarterIndex(s));
    case Frequency::EverySixMonths: return double(quarterIndex(e) - quarterIndex(s)) / 2;
    case Frequency::EveryYear: return double(e.year() - s.year());
    }
    return 0;
}

qint64 Recurrence::occurrences(Frequency frequency, const QDateTime &start, const QDateTime &end)
{
    const double n = count(frequency, start, end);
    return n < 1 ? 0 : qint64(std::floor(n));
}

QDateTime Recurrence::next(Frequency frequency, const QDateTime &previous)
{
    switch (frequency) {
    case Frequency::Once: return previous;
    case Frequency::Every15Minutes: return addWallMinutes(previous, 15);
    case Frequency::Every30Minutes: return addWallMinutes(previous, 30);
    case Frequency::Every45Minutes: return addWallMinutes(previous, 45);
    case Frequency::EveryHour: return addWallMinutes(previous, 60);
    case Frequency::EveryDay: return QDateTime(previous.date().addDays(1), previous.time());
    case Frequency::EveryWeek: return QDateTime(previous.date().addDays(7), previous.time());
    case Frequency::EveryMonth: return addMonths(previous, 1);
    case Frequency::EveryThreeMonths: return addMonths(previous, 3);
    case Frequency::EverySixMonths: return addMonths(previous, 6);
    case Frequency::EveryYear: return addMonths(previous, 12);
    }
    return previous;
}

QList<QDateTime> Recurrence::series(Frequency frequency, const QDateTime &start, const QDateTime &end)
{
    const qint64 n = occurrences(frequency, start, end);
    QList<QDateTime> out;
    out.reserve(n);
    QDateTime at = start;
    for (qint64 i = 0; i < n; ++i) {
        out.append(at);
        at = next(frequency, at);
    }
    return out;
}

} // namespace tavsms
