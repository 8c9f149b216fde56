#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace tavsms {

// One message as a phone lists it.
struct ListedMessage
{
    int index = 0;     // the phone's memory index, for AT+CMGD
    QString sender;    // as the phone gives it, e.g. +919000000001
    QDateTime stamp;   // the phone's time stamp
    QString text;
};

struct Listing
{
    bool error = false;              // the phone answered with an error line
    QList<ListedMessage> messages;   // complete entries only, in listing order
    int skipped = 0;                 // entries left out for a missing or bad field
};

// Parsers of the answers to the message listings. An entry that lacks a
// field, or whose index, sender or time stamp cannot be read, is skipped
// whole: it is neither stored nor deleted, and never borrows another
// entry's values.
namespace IncomingListing {

// Answer to AT+CMGL="ALL" in text mode: per message a header
//   +CMGL: 1,"REC UNREAD","+919000000001",,"24/05/01,10:20:30+22"
// (year/month/day, time zone dropped) and the text on the lines after it;
// the lines of a text of several lines are joined with nothing between.
Listing parseGsm(const QString &reply);

// Answer to AT+CMGL=0 / AT+CMGL=1 of a CDMA phone: per message a header
// "+CMGL: <index>,…" and on the next line the packed data line.
Listing parseCdma(const QString &reply);

// True once a GSM listing is complete: a line "OK" that is not the body of
// a message (a message may well read "OK"), or an error line.
bool gsmListingComplete(const QString &reply);
// The same test on one complete line and the complete line before it, for
// a wait that reads the listing as it arrives.
bool endsGsmListing(const QString &line, const QString &previous);

// Leading decimal number of a field ("12" of " 12 "); -1 when there is none.
int leadingNumber(const QString &field);

} // namespace IncomingListing
} // namespace tavsms
