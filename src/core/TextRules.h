#pragma once

#include <QString>
#include <QStringList>

namespace tavsms {

// Trims spaces only: CR, LF and tabs are not blanks here.
QString trimSpaces(const QString &text);

// A number as stored and queued: its last ten characters (a leading 91 or 0
// falls away), taken from the space-trimmed text.
QString lastTen(const QString &number);

// Exactly ten characters, each a digit 0-9.
bool isTenDigits(const QString &text);

// Each CR LF pair becomes one space and the text is space-trimmed, as
// typed messages and reply texts are before they are queued.
QString joinLines(const QString &text);

// The same for a text typed into a message box, where a line break is LF
// alone: every line break (CR LF or LF) becomes one space.
QString joinTypedLines(const QString &text);

// The whole numbers from `from` to `to` as text, for the day, month, year
// and hour lists of the screens.
QStringList numberTexts(int from, int to);

} // namespace tavsms
