#include "DateTimeText.h"

#include <QLocale>

namespace tavsms::DateTimeText {

namespace {
const QString kDisplay = QStringLiteral("M/d/yyyy h:mm:ss AP");
const QString kStored = QStringLiteral("yyyy-MM-dd HH:mm:ss");
} // namespace

QString display(const QDateTime &when)
{
    // The C locale keeps "AM"/"PM" whatever the workstation's language is.
    return QLocale::c().toString(when, kDisplay);
}

QString displayStored(const QVariant &stored)
{
    const QString text = stored.toString();
    return text.isEmpty() ? QString() : display(parse(text));
}

QString stored(const QDateTime &when)
{
    return when.toString(kStored);
}

QString storedNow()
{
    return stored(QDateTime::currentDateTime());
}

QString displayNow()
{
    return display(QDateTime::currentDateTime());
}

QDateTime parse(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    // The stored form, read far more often than the rest, without the
    // (slow) format parser: "yyyy-MM-dd HH:mm:ss".
    if (t.size() == 19 && t[4] == QLatin1Char('-') && t[7] == QLatin1Char('-') && t[10] == QLatin1Char(' ')
        && t[13] == QLatin1Char(':') && t[16] == QLatin1Char(':')) {
        const auto number = [&t](qsizetype at, qsizetype length) {
            int n = 0;
            for (qsizetype i = at; i < at + length; ++i) {
                if (!t[i].isDigit() || t[i].unicode() > '9')
                    return -1;
                n = n * 10 + (t[i].unicode() - '0');
            }
            return n;
        };
        const QDate date(number(0, 4), number(5, 2), number(8, 2));
        const QTime time(number(11, 2), number(14, 2), number(17, 2));
        if (date.isValid() && time.isValid()) {
            const QDateTime when(date, time);
            // A time the clocks skip (summer time) goes the long way.
            if (when.isValid() && when.time() == time)
                return when;
        }
    }
    static const QString formats[] = {
        kStored,
        kDisplay,
        QStringLiteral("M/d/yyyy h:mm AP"),
        QStringLiteral("M/d/yyyy H:mm:ss"),
        QStringLiteral("M/d/yyyy H:mm"),
        QStringLiteral("M/d/yyyy"),
        QStringLiteral("yyyy-MM-dd"),
    };
    const QLocale c = QLocale::c();
    for (const QString &format : formats) {
        QDateTime when = c.toDateTime(t, format);
        if (when.isValid())
            return when;
    }
    return {};
}

QDateTime neverPolled()
{
    return QDateTime(QDate(2007, 1, 1), QTime(12, 0));
}

} // namespace tavsms::DateTimeText
