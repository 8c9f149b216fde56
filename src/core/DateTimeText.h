#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace tavsms {

// Two renderings of a point in time (local time throughout):
//  - the display text people read, month first: "12/5/2026 10:18:46 AM";
//  - the stored text, "2026-12-05 10:18:46", which sorts and compares
//    chronologically as plain text in the database.
namespace DateTimeText {

QString display(const QDateTime &when);
QString stored(const QDateTime &when);
QString storedNow();
QString displayNow();

// Reads either form back (and a display text without seconds or AM/PM);
// an invalid QDateTime when the text is neither.
QDateTime parse(const QString &text);

// A stored time (a column's value) as people read it; empty when none is stored.
QString displayStored(const QVariant &stored);

// The "never polled" time the per-port poll clocks start from.
QDateTime neverPolled();

} // namespace DateTimeText
} // namespace tavsms
