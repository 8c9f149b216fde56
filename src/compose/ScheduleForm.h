#pragma once

#include "ConnectionChoice.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavsms {

// A start or end time as its five lists show it: day, month, year, hour
// and minute, each the text of the chosen item.
struct ScheduleTime
{
    QString day;
    QString month;
    QString year;
    QString hour;
    QString minute;

    static ScheduleTime of(const QDateTime &when);
    // The time the lists make; nothing when they make none (hour 24, a day
    // the month lacks).
    std::optional<QDateTime> toDateTime() const;
    // Why the lists make no time, told about the field `caption`; empty when
    // they do.
    QString problem(const QString &caption) const;
};

// Who a scheduled message goes to.
enum class Recipient { None, SingleNumber, Group };

// The scheduling screen's fields as the operator has left them.
struct ScheduleForm
{
    QString frequency;
    ScheduleTime start;
    ScheduleTime end;
    Recipient recipient = Recipient::None;
    QString number;
    QString group;
    QString connection;
    QString message;

    // The number box and the group list are usable only with their option.
    bool numberEnabled() const { return recipient == Recipient::SingleNumber; }
    bool groupEnabled() const { return recipient == Recipient::Group; }
};

// What the scheduling screen shows on opening: its lists, the choices in
// them, and the message length limit.
struct SchedulerState
{
    QStringList frequencies;
    QStringList days;
    QStringList months;
    QStringList years;
    QStringList hours;
    QStringList minutes;
    QStringList groups;
    QStringList connections;
    ScheduleForm form;
    LengthLimit limit;
};

} // namespace tavsms
