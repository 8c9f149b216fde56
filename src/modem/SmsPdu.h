#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// SMS PDUs for ports in PDU mode (AT+CMGF=0): what the sender writes after
// AT+CMGS=<length> and what AT+CMGL=4 lists. Pure functions over text and
// hex; no I/O and no Widgets.
namespace tavsms::SmsPdu {

enum class Coding {
    Gsm7, // the GSM default alphabet with its extension table
    Ucs2, // UTF-16 big-endian; characters outside the BMP as surrogate pairs
    Eight // 8-bit data (received only; shown as hex)
};

// The most parts one message may take.
constexpr int kMaxParts = 10;

// How a text would go out: the alphabet, the characters the counter shows,
// and the parts it takes (0 when it needs more than kMaxParts). An empty
// text is one empty part.
struct Plan
{
    Coding coding = Coding::Gsm7;
    int characters = 0; // as the operator counts them (a surrogate pair is one)
    int parts = 1;
    int units = 0; // septets (Gsm7; an extension character takes two) or UTF-16 units (Ucs2)
};
Plan plan(const QString &text);

// One SMS-SUBMIT ready for the modem: hex is the whole PDU including the
// leading "00" (use the phone's service centre); tpduLength is the number
// AT+CMGS takes (the octets after the service-centre part).
struct SubmitPdu
{
    QByteArray hex;
    int tpduLength = 0;
};

// The parts of text to number (national digits as stored, or "+" and the
// international number; anything but digits is dropped). reference is the
// concatenation reference the parts share when there are more than one.
// Empty when the text needs more than kMaxParts parts or the number has no
// digits or more than 20.
// With `statusReport` every part asks the network for a status report (TP-SRR).
QList<SubmitPdu> encodeSubmit(const QString &number, const QString &text, quint8 reference,
                              bool statusReport = false);

// What a received (or, for the simulator, sent) PDU says.
struct Message
{
    QString number;      // originator (DELIVER) or destination (SUBMIT); "+" for international
    QDateTime timestamp; // service-centre time stamp (DELIVER only), in its own offset
    Coding coding = Coding::Gsm7;
    QString text;        // decoded text; 8-bit data as hex digits
    int messageClass = -1; // 0-3 when the coding scheme names one (class 0: show at once)
    // Concatenation: total > 1 when the message is one part of several.
    int reference = 0;   // 8- or 16-bit reference from the UDH
    int total = 1;
    int sequence = 1;
    bool reportRequested = false; // TP-SRR (SUBMIT only)
};

// Decoding never throws and never reads past the input; a PDU that cannot
// be read gives nullopt and the reason in *error. Both take the PDU as a
// phone lists it, service-centre part first. A time stamp that is not a
// date gives a null timestamp but keeps the message.
std::optional<Message> decodeDeliver(const QByteArray &hex, QString *error = nullptr);
std::optional<Message> decodeSubmit(const QByteArray &hex, QString *error = nullptr);

// An SMS-DELIVER as a phone would list it (for the simulator and tests):
// one PDU per part, concatenated with reference when the text needs more.
// A sender with anything but digits (and a leading "+") goes as an
// alphanumeric name of at most 11 GSM characters. Empty when the sender
// cannot be written or the text needs more than kMaxParts parts.
QList<QByteArray> encodeDeliver(const QString &sender, const QString &text, const QDateTime &timestamp,
                                quint8 reference);

// An SMS-STATUS-REPORT: what became of the part the device numbered
// `reference` (TP-MR) to `recipient`. TP-ST `status`: below 0x20 delivered,
// 0x20-0x3F the centre still tries, above that it gave up.
struct StatusReport
{
    int reference = 0;
    QString recipient;
    QDateTime centreStamp;
    QDateTime dischargeStamp;
    int status = 0;
};
std::optional<StatusReport> decodeStatusReport(const QByteArray &hex, QString *error = nullptr);
// As a phone would pass it on (for the simulator and tests); empty when the
// recipient has no digits.
QByteArray encodeStatusReport(const StatusReport &report);

} // namespace tavsms::SmsPdu
