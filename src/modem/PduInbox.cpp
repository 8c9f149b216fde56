#include "PduInbox.h"

#include "IncomingListing.h"
#include "ReplyLines.h"

#include <QMap>

#include <algorithm>
#include <cctype>

namespace tavsms {

namespace PduListing {

namespace {

const QString kListHeader = QStringLiteral("+CMGL:");

bool isHexLine(const QString &line)
{
    if (line.isEmpty() || line.size() % 2 != 0)
        return false;
    return std::all_of(line.begin(), line.end(), [](QChar c) {
        return c.unicode() < 128 && std::isxdigit(static_cast<unsigned char>(c.unicode()));
    });
}

} // namespace

Result parse(const QString &reply)
{
    Result result;
    // Whole lines only: the unfinished tail of a listing cut short could be half a PDU.
    QStringList lines;
    for (const QString &line : ReplyLines::completeLines(reply))
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    for (const QString &line : lines) {
        if (ReplyLines::isErrorLine(line)) {
            result.error = true;
            return result;
        }
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines.at(i).startsWith(kListHeader))
            continue;
        // index, stat, alpha (may be empty, or quoted), length: the first two
        // and the last are the ones read.
        const QStringList fields = lines.at(i).mid(kListHeader.size()).split(QLatin1Char(','));
        const int index = IncomingListing::leadingNumber(fields.value(0));
        const int stat = IncomingListing::leadingNumber(fields.value(1));
        const int length = fields.size() >= 3 ? IncomingListing::leadingNumber(fields.constLast()) : -1;
        if (i + 1 == lines.size())
            break; // the listing was cut short before this message's PDU
        const QString &next = lines.at(i + 1);
        if (index < 0 || stat < 0) {
            ++result.skipped;
            continue;
        }
        ListedPdu entry{index, stat, length, {}};
        // A header without its PDU line keeps an empty one: it cannot be
        // decoded, and the next header is not taken for its PDU.
        if (!next.startsWith(kListHeader)) {
            ++i;
            if (isHexLine(next))
                entry.hex = next.toLatin1();
        }
        result.entries << entry;
    }
    return result;
}

std::optional<SmsPdu::Message> decode(const ListedPdu &entry, QString *why)
{
    if (entry.hex.isEmpty()) {
        *why = QStringLiteral("no PDU came with it");
        return std::nullopt;
    }
    const QByteArray bytes = QByteArray::fromHex(entry.hex);
    const int tpdu = int(bytes.size()) - 1 - quint8(bytes.at(0));
    if (entry.length != tpdu) {
        *why = QStringLiteral("its length is listed as %1 but it has %2 octets").arg(entry.length).arg(tpdu);
        return std::nullopt;
    }
    std::optional<SmsPdu::Message> message = SmsPdu::decodeDeliver(entry.hex, why);
    if (message && (message->total < 1 || message->sequence < 1 || message->sequence > message->total)) {
        *why = QStringLiteral("it says it is part %1 of %2").arg(message->sequence).arg(message->total);
        return std::nullopt;
    }
    return message;
}

} // namespace PduListing

QString PduAssembler::incompleteText(const QString &text, const QList<int> &missing, int total)
{
    QStringList numbers;
    for (int part : missing)
        numbers << QString::number(part);
    return text
        + QStringLiteral(" [incomplete: %1 %2 of %3 missing]")
              .arg(missing.size() == 1 ? QStringLiteral("part") : QStringLiteral("parts"), numbers.join(QStringLiteral(", ")))
              .arg(total);
}

QList<ReceivedMessage> PduAssembler::collect(const QList<ReceivedPart> &parts, const QDateTime &now,
                                             std::chrono::milliseconds wait, bool wholeListing)
{
    struct Group
    {
        QMap<int, const ReceivedPart *> bySequence; // the first listed of each part
        QList<int> indexes;
        int total = 1;
    };
    QList<ReceivedMessage> ready;
    QMap<QString, Group> groups;
    QStringList order; // groups by their first listed part
    for (const ReceivedPart &part : parts) {
        const SmsPdu::Message &m = part.message;
        if (m.total <= 1) {
            ready << ReceivedMessage{m.number, m.timestamp, m.text, {part.index}, {}};
            continue;
        }
        const QString key = QStringLiteral("%1|%2|%3").arg(m.number).arg(m.reference).arg(m.total);
        Group &group = groups[key];
        if (group.indexes.isEmpty())
            order << key;
        group.total = m.total;
        group.indexes << part.index;
        if (!group.bySequence.contains(m.sequence))
            group.bySequence.insert(m.sequence, &part);
    }

    QHash<QString, QDateTime> seen;
    for (const QString &key : order) {
        const Group &group = groups.value(key);
        const QDateTime firstSeen = m_firstSeen.value(key, now);
        // Kept also for a group handed out now: if it cannot be stored, it
        // is not made to wait all over again.
        seen.insert(key, firstSeen);
        const bool whole = group.bySequence.size() == group.total;
        const bool overdue = firstSeen.msecsTo(now) >= wait.count();
        if (!whole && !overdue)
            continue;
        ReceivedMessage message;
        const SmsPdu::Message &first = group.bySequence.first()->message;
        message.sender = first.number;
        message.stamp = first.timestamp;
        for (int sequence = 1; sequence <= group.total; ++sequence) {
            const ReceivedPart *part = group.bySequence.value(sequence);
            if (!part) {
                message.missing << sequence;
                continue;
            }
            message.text += part->message.text;
            message.stamp = std::min(message.stamp, part->message.timestamp);
        }
        if (!message.missing.isEmpty())
            message.text = incompleteText(message.text, message.missing, group.total);
        message.indexes = group.indexes;
        ready << message;
    }
    // Groups no longer listed (stored, or deleted by someone else) are forgotten.
    if (!wholeListing) {
        for (auto it = m_firstSeen.cbegin(); it != m_firstSeen.cend(); ++it)
            if (!seen.contains(it.key()))
                seen.insert(it.key(), it.value());
    }
    m_firstSeen = seen;
    std::sort(ready.begin(), ready.end(), [](const ReceivedMessage &a, const ReceivedMessage &b) {
        return *std::min_element(a.indexes.begin(), a.indexes.end())
            < *std::min_element(b.indexes.begin(), b.indexes.end());
    });
    return ready;
}

} // namespace tavsms
