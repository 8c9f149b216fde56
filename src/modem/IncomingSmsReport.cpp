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

QString html(const QList<IncomingRow> &rows, const QDateTime &printedAt)
{
    QString out = QStringLiteral(
        "<html><head><meta charset=\"utf-8\"></head><body>"
        "<h2>Incoming SMS</h2><p>%1 messages, printed %2</p>"
        "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><tr>")
                      .arg(rows.size())
                      .arg(DateTimeText::display(printedAt).toHtmlEscaped());
    for (const QString &caption : captions())
        out += QStringLiteral("<th>") + caption.toHtmlEscaped() + QStringLiteral("</th>");
    out += QStringLiteral("</tr>");
    for (const IncomingRow &row : rows) {
        const QStringList values = cells(row);
        out += QStringLiteral("<tr><td align=\"center\">") + values.at(0).toHtmlEscaped() + QStringLiteral("</td>");
        for (int i = 1; i < values.size(); ++i)
            out += QStringLiteral("<td>") + values.at(i).toHtmlEscaped() + QStringLiteral("</td>");
        out += QStringLiteral("</tr>");
    }
    out += QStringLiteral("</table></body></html>");
    return out;
}

} // namespace tavsms::IncomingSmsReport
