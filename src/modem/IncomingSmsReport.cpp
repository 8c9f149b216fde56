#include "IncomingSmsReport.h"

#include "DateTimeText.h"

namespace tavsms::IncomingSmsReport {

QStringList captions()
{
    return {QStringLiteral("Message Received"), QStringLiteral("Message Sent"), QStringLiteral("Sender's Number"),
            QStringLiteral("Message")};
}

QString timeText(const QDateTime &when)
{
    return DateTimeText::display(when);
}

QStringList cells(const IncomingRow &row)
{
    return {timeText(row.dated), timeText(row.incomingDate), row.mobileNo, row.message};
}

} // namespace tavsms::IncomingSmsReport
