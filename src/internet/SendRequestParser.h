#pragma once

#include "TextRules.h"

#include <QByteArrayView>
#include <QString>

namespace tavsms {

// One request to the send listener, taken apart and checked.
struct SendRequest
{
    QString com;        // not interpreted
    QString mobile;     // as received
    QString rawMessage; // as received, still URL-encoded
    QString message;    // decoded
    QString error;      // empty when the request may be queued
    bool unavailable = false; // the store could not be reached: try again later

    bool isValid() const { return error.isEmpty(); }
};

// How one request sits in what its connection sent.
struct RequestFrame
{
    qsizetype head = 0;     // the request line and headers, through the empty line
    qsizetype length = 0;   // head and body
    bool keepAlive = false; // another request may follow on the connection
};

// The listener's request rules: no I/O, so every case is checked apart
// from sockets.
namespace SendRequestParser {

// Just past the empty line that ends the head: the first "\r\n\r\n" or
// "\n\n" at or after `from`; -1 while the head is incomplete.
qsizetype headEnd(QByteArrayView data, qsizetype from = 0);

// The request line and headers of a complete head (through its empty line).
// HTTP/1.1 keeps the connection unless "Connection: close"; anything older
// closes it unless "Connection: keep-alive". A body is as long as its
// Content-Length; one of unknown length (chunked, a bad length) ends the
// connection after the reply, since where the next request begins is unknown.
RequestFrame frame(QByteArrayView head);

constexpr int kMaxMessageLength = 131;

// The whole text a client sent: "GET /?com=..&mobile=..&message=.. HTTP/1.1" and whatever follows.
SendRequest parse(const QString &requestText);

// The listener's own URL decoding of the message: a fixed list of codes,
// replaced one after another in a fixed order (so "%252A" ends as "*").
QString decodeMessage(const QString &encoded);

QString messageLengthError(qsizetype decodedLength);
QString mobileLengthError();
QString parameterCountError();

// Characters as people count them (a character outside the BMP is one).
qsizetype characterCount(const QString &text);

} // namespace SendRequestParser
} // namespace tavsms
