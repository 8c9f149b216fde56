#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavsms {

// How often a scheduled message repeats, and the delivery times of a series.
// Times are wall-clock local times, counted and stepped as the calendar shows
// them (a day is a date change, an hour a change of the hour on the clock).
class Recurrence
{
public:
    enum class Frequency {
        Once,
        Every15Minutes,
        Every30Minutes,
        Every45Minutes,
        EveryHour,
        EveryDay,
        EveryWeek,
        EveryMonth,
        EveryThreeMonths,
        EverySixMonths,
        EveryYear,
    };

    // The frequencies as the list shows them, "Once" first.
    static const QStringList &names();
    static std::optional<Frequency> fromName(const QString &name);

    // Occurrences between `start` and `end` as the frequency counts them: unit
    // boundaries crossed, negative when `end` comes first (minutes count as
    // their absolute value; six months are quarters halved, so a half can
    // remain). "Once" counts 1.
    static double count(Frequency frequency, const QDateTime &start, const QDateTime &end);
    // How many deliveries the series has: the count cut down to a whole
    // number, none below 1.
    static qint64 occurrences(Frequency frequency, const QDateTime &start, const QDateTime &end);
    // The delivery after `previous`. Months, quarters and years keep the day
    // of the month and the time; a day the month lacks becomes its last day.
    static QDateTime next(Frequency frequency, const QDateTime &previous);
    // Every delivery time of the series, `start` first.
    static QList<QDateTime> series(Frequency frequency, const QDateTime &start, const QDateTime &end);
};

} // namespace tavsms
