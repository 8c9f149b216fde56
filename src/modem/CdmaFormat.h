#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace tavsms::CdmaFormat {

// The one-line hexadecimal form a CDMA phone takes after "AT+CMGS=": the
// number's length and characters, "00", the text's length and characters,
// every character as two uppercase hexadecimal digits. For 9876543210 and
// "abc": 0A393837363534333231300003616263.
QString submitForm(const QString &mobileNo, const QString &text);

// "A".."F" (either case) as "10".."15"; anything else unchanged.
QString hexDigitValue(const QString &digit);

struct DataLine
{
    QString sender;
    QDateTime stamp;
    QString text;
};

// A message line of a CDMA listing: at position 2 the sender's length n (one
// hexadecimal digit), then the sender, the stamp yyMMddhhmmss, two unused
// characters, the text's length in four hexadecimal digits, and the text at
// the end of the line. Nothing when a field is missing or unreadable.
std::optional<DataLine> decodeDataLine(const QString &line);

// Two-digit years are taken as 2000 … 2099. Invalid on a bad field.
QDateTime stampFromDigits(const QString &yy, const QString &mm, const QString &dd, const QString &hh,
                          const QString &mi, const QString &ss);

} // namespace tavsms::CdmaFormat
