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
