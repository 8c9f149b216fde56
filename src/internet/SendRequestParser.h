#pragma once

#include "TextRules.h"

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

    bool isValid() const { return error.isEmpty(); }
};

// The listener's request rules: no I/O, so every case is checked apart
// from sockets.
namespace SendRequestParser {

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
