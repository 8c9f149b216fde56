#include "IncomingListing.h"

#include "CdmaFormat.h"
#include "ReplyLines.h"

#include <QRegularExpression>

namespace tavsms::IncomingListing {

namespace {

const QString kHeader = QStringLiteral("+CMGL:");

// Splits at "\n", dropping the "\r" of each line end (and stray ones).
QStringList rawLines(const QString &reply)
{
    QStringList lines = reply.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line.remove(QLatin1Char('\r'));
    return lines;
}

bool isHeader(const QString &line)
{
    return line.trimmed().startsWith(kHeader);
}

// Splits at commas outside double quotes into at most `maxFields` fields;
// the last keeps any further commas.
QStringList splitFields(const QString &text, int maxFields)
{
    QStringList fields;
    QString current;
    bool quoted = false;
    for (QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (c == QLatin1Char(',') && !quoted && fields.size() < maxFields - 1) {
            fields << current;
            current.clear();
            continue;
        }
        current += c;
    }
    fields << current;
    return fields;
}

// "24/05/01,10:20:30+22" (quotes already gone, comma made a space): year,
// month, day, time; the time-zone part is not used.
QDateTime gsmStamp(const QString &field)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{2})/(\\d{2})/(\\d{2})\\s+(\\d{2}):(\\d{2}):(\\d{2})"));
    const auto m = re.match(field);
    if (!m.hasMatch())
        return {};
    return CdmaFormat::stampFromDigits(m.captured(1), m.captured(2), m.captured(3), m.captured(4), m.captured(5),
                                       m.captured(6));
}

bool hasErrorLine(const QStringList &lines)
{
    for (const QString &line : lines)
        if (ReplyLines::isErrorLine(line))
            return true;
    return false;
}

} // namespace

int leadingNumber(const QString &field)
{
    const QString t = field.trimmed();
    qsizetype end = 0;
    while (end < t.size() && t.at(end).isDigit() && t.at(end).unicode() < 128)
        ++end;
    if (end == 0 || end > 9)
        return -1;
    return t.left(end).toInt();
}

bool endsGsmListing(const QString &line, const QString &previous)
{
    return ReplyLines::isErrorLine(line) || (ReplyLines::isOkLine(line) && !isHeader(previous));
}

bool gsmListingComplete(const QString &reply)
{
    const QStringList lines = ReplyLines::completeLines(reply);
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (endsGsmListing(lines.at(i), i == 0 ? QString() : lines.at(i - 1)))
            return true;
    return false;
}

Listing parseGsm(const QString &reply)
{
    Listing listing;
    const QStringList lines = rawLines(reply);
    if (hasErrorLine(lines)) {
        listing.error = true;
        return listing;
    }
    // The final "OK" is the last OK line that is not a message body.
    qsizetype end = lines.size();
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        if (ReplyLines::isOkLine(lines.at(i)) && (i == 0 || !isHeader(lines.at(i - 1)))) {
            end = i;
            break;
        }
    }
    for (qsizetype i = 0; i < end; ++i) {
        if (!isHeader(lines.at(i)))
            continue;
        const QString header = lines.at(i).trimmed().mid(kHeader.size());
        QString body;
        qsizetype j = i + 1;
        for (; j < end && !isHeader(lines.at(j)); ++j)
            body += lines.at(j);
        i = j - 1;

        const QStringList fields = splitFields(header, 5);
        ListedMessage m;
        m.index = fields.size() == 5 ? leadingNumber(fields.at(0)) : -1;
        if (fields.size() == 5) {
            m.sender = QString(fields.at(2)).remove(QLatin1Char('"')).trimmed();
            m.stamp = gsmStamp(QString(fields.at(4)).remove(QLatin1Char('"')).replace(QLatin1Char(','), QLatin1Char(' ')));
        }
        m.text = body;
        if (m.index < 0 || m.sender.isEmpty() || !m.stamp.isValid()) {
            ++listing.skipped;
            continue;
        }
        listing.messages << m;
    }
    return listing;
}

Listing parseCdma(const QString &reply)
{
    Listing listing;
    const QStringList lines = rawLines(reply);
    if (hasErrorLine(lines)) {
        listing.error = true;
        return listing;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isHeader(lines.at(i)))
            continue;
        const QString header = lines.at(i).trimmed();
        const QString afterColon = header.mid(header.indexOf(QLatin1Char(':')) + 1);
        const int index = leadingNumber(afterColon.section(QLatin1Char(','), 0, 0));
        const QString data = i + 1 < lines.size() ? lines.at(i + 1) : QString();
        const auto decoded = isHeader(data) ? std::nullopt : CdmaFormat::decodeDataLine(data);
        if (!isHeader(data) && i + 1 < lines.size())
            ++i; // the data line is not a header of its own
        if (index < 0 || !decoded) {
            ++listing.skipped;
            continue;
        }
        listing.messages << ListedMessage{index, decoded->sender, decoded->stamp, decoded->text};
    }
    return listing;
}

} // namespace tavsms::IncomingListing
