#pragma once

#include "SmsPdu.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <chrono>
#include <optional>

namespace tavsms {

// One entry of a PDU-mode listing, as the phone gave it.
struct ListedPdu
{
    int index = 0;  // the phone's memory index, for AT+CMGD
    int stat = 0;   // 0 unread, 1 read, 2 and 3 stored outgoing messages
    int length = 0; // the octets after the service-centre part, as listed
    QByteArray hex;
};

namespace PduListing {

struct Result
{
    bool error = false;       // the phone answered with an error line
    QList<ListedPdu> entries; // in listing order
    int skipped = 0;          // headers without a readable index or stat
};

// Answer to AT+CMGL=4: per message a header
//   +CMGL: <index>,<stat>,[<alpha>],<length>
// and the PDU in hexadecimal on the next line.
Result parse(const QString &reply);

// A received message's PDU read, or nothing with why not: the listed
// length does not match, the codec cannot read it, or its part number does
// not fit its count of parts.
std::optional<SmsPdu::Message> decode(const ListedPdu &entry, QString *why);

} // namespace PduListing

// A decoded part as listed.
struct ReceivedPart
{
    int index = 0;
    SmsPdu::Message message;
};

// A received message ready to be stored: whole, or overdue with parts missing.
struct ReceivedMessage
{
    QString sender;
    QDateTime stamp;     // the earliest part's
    QString text;        // with the incomplete marker when parts are missing
    QList<int> indexes;  // every memory index it was listed under, repeats included
    QList<int> missing;  // the part numbers that never came
};

// Puts the parts of long messages together, one port's worth. The parts
// stay in the phone until their message is stored, so every listing holds
// all that have come; what is kept here is when a group of parts was first
// seen. Parts belong together when their sender, reference and count of
// parts agree: a reference another sender happens to use is another message.
class PduAssembler
{
public:
    // The messages the listed parts make up now: every single-part message,
    // every long one whose parts have all come, and every long one first
    // seen `wait` or more before `now`, with the parts it has. A part
    // listed twice counts once. Groups missing from a `whole` listing are
    // forgotten; a listing cut short forgets none.
    QList<ReceivedMessage> collect(const QList<ReceivedPart> &parts, const QDateTime &now,
                                   std::chrono::milliseconds wait, bool whole = true);

    // "text [incomplete: part 2 of 3 missing]".
    static QString incompleteText(const QString &text, const QList<int> &missing, int total);

private:
    // First sight by the program's clock, not the service centre's time
    // stamp: the stamp comes from the sender's network and a wrong one
    // would hold a message for ever or cut it short at once. A restart
    // only makes the wait begin again, with the parts safe in the phone.
    QHash<QString, QDateTime> m_firstSeen;
};

} // namespace tavsms
