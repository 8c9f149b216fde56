#include "SendRequestParser.h"

#include <QStringList>

#include <cstring>

namespace tavsms::SendRequestParser {

namespace {

struct Code
{
    const char *from;
    const char *to;
};

// Applied in this order; each replaces every occurrence, case-sensitively.
// "%25" comes early, so an encoded percent followed by a later code is
// decoded twice; that order is what callers have always relied on.
const Code kCodes[] = {
    {"\r\n", " "},   {"%20", " "},  {"%21", "!"},  {"%22", "\""}, {"%23", "#"},  {"%24", "$"},
    {"%25", "%"},    {"%26", "&"},  {"%27", "'"},  {"%28", "("},  {"%29", ")"},  {"%2A", "*"},
    {"%2B", "+"},    {"%2C", ","},  {"%2D", "-"},  {"%2E", "."},  {"%2F", "/"},  {"%3A", ":"},
    {"%3B", ";"},    {"%3C", "<"},  {"%3D", "="},  {"%3E", ">"},  {"%3F", "?"},  {"%40", "@"},
    {"%5B", "["},    {"%5C", "\\"}, {"%5D", "]"},  {"%5E", "^"},  {"%5F", "_"},  {"%60", "`"},
    {"%7B", "{"},    {"%7C", "|"},  {"%7D", "}"},  {"%7E", "~"},  {"%0D%0A", "\r\n"},
};

bool sameLetters(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && qstrnicmp(a.data(), a.size(), b.data(), b.size()) == 0;
}

QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && (v.front() == ' ' || v.front() == '\t'))
        v = v.sliced(1);
    while (!v.isEmpty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r'))
        v.chop(1);
    return v;
}

} // namespace

qsizetype headEnd(QByteArrayView data, qsizetype from)
{
    const char *const begin = data.data();
    const char *const end = begin + data.size();
    for (const char *p = begin + std::max<qsizetype>(from, 0); p < end;) {
        const auto *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!nl)
            return -1;
        if (nl + 1 < end && nl[1] == '\n')
            return nl + 2 - begin;
        if (nl > begin && nl[-1] == '\r' && nl + 2 < end && nl[1] == '\r' && nl[2] == '\n')
            return nl + 3 - begin;
        p = nl + 1;
    }
    return -1;
}

RequestFrame frame(QByteArrayView head)
{
    RequestFrame f;
    f.head = head.size();
    f.length = head.size();
    qsizetype at = 0;
    bool first = true, close = false, keep = false, unknownBody = false;
    qsizetype bodyLength = -1;
    while (at < head.size()) {
        qsizetype nl = head.indexOf('\n', at);
        if (nl < 0)
            nl = head.size();
        const QByteArrayView line = trimmed(head.sliced(at, nl - at));
        at = nl + 1;
        if (first) {
            first = false;
            const qsizetype space = line.lastIndexOf(' ');
            const QByteArrayView version = space < 0 ? QByteArrayView() : line.sliced(space + 1);
            f.keepAlive = version.startsWith("HTTP/1.") && version != "HTTP/1.0";
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArrayView name = trimmed(line.first(colon));
        const QByteArrayView value = trimmed(line.sliced(colon + 1));
        if (sameLetters(name, "connection")) {
            for (qsizetype from = 0; from <= value.size();) {
                qsizetype comma = value.indexOf(',', from);
                if (comma < 0)
                    comma = value.size();
                const QByteArrayView token = trimmed(value.sliced(from, comma - from));
                close = close || sameLetters(token, "close");
                keep = keep || sameLetters(token, "keep-alive");
                from = comma + 1;
            }
        } else if (sameLetters(name, "content-length")) {
            bool ok = false;
            const qsizetype length = value.toLongLong(&ok);
            if (!ok || length < 0 || value.front() == '+' || (bodyLength >= 0 && bodyLength != length))
                unknownBody = true;
            else
                bodyLength = length;
        } else if (sameLetters(name, "transfer-encoding")) {
            unknownBody = true;
        }
    }
    if (keep)
        f.keepAlive = true;
    if (close || unknownBody)
        f.keepAlive = false;
    if (!unknownBody && bodyLength > 0)
        f.length += bodyLength;
    return f;
}

qsizetype characterCount(const QString &text)
{
    return text.toUcs4().size();
}

QString messageLengthError(qsizetype decodedLength)
{
    return QStringLiteral("Wrong number of arguments passed. Message length exceeds 131 characters. "
                          "Your message length is = %1")
        .arg(decodedLength);
}

QString mobileLengthError()
{
    return QStringLiteral("Wrong number of arguments passed. Mobile number should be 10 digit long only.");
}

QString parameterCountError()
{
    return QStringLiteral("Wrong number of arguments passed. Please include all the parameters i.e. "
                          "com,mobile and message.");
}

QString decodeMessage(const QString &encoded)
{
    QString text = encoded;
    for (const Code &code : kCodes)
        text.replace(QLatin1String(code.from), QLatin1String(code.to));
    return text;
}

SendRequest parse(const QString &requestText)
{
    SendRequest r;
    // "GET /?query HTTP/1.1": the target is the second space-separated field.
    const qsizetype first = requestText.indexOf(QLatin1Char(' '));
    const qsizetype second = first < 0 ? -1 : requestText.indexOf(QLatin1Char(' '), first + 1);
    const QString target =
        first < 0 ? QString() : trimSpaces(requestText.mid(first + 1, second < 0 ? -1 : second - first - 1));
    // A well-formed target starts with "/?"; those two characters are dropped
    // whatever they are.
    const QStringList pieces = target.mid(2).split(QLatin1Char('&'));

    bool pieceWithoutValue = false;
    bool seenCom = false, seenMobile = false, seenMessage = false;
    for (qsizetype i = 0; i < pieces.size() && i < 3; ++i) {
        const QString &piece = pieces[i];
        if (!piece.contains(QLatin1Char('=')))
            pieceWithoutValue = true;
        const QString name = piece.section(QLatin1Char('='), 0, 0);
        const QString value = piece.section(QLatin1Char('='), 1, 1);
        if (name == QLatin1String("com") && !seenCom) {
            seenCom = true;
            r.com = value;
        } else if (name == QLatin1String("mobile") && !seenMobile) {
            seenMobile = true;
            r.mobile = value;
        } else if (name == QLatin1String("message") && !seenMessage) {
            seenMessage = true;
            r.rawMessage = value;
        }
    }
    r.message = decodeMessage(r.rawMessage);

    const qsizetype length = characterCount(r.message);
    // A message of nothing but spaces would be queued empty: refused like an empty one.
    if (r.rawMessage.isEmpty() || length > kMaxMessageLength || trimSpaces(r.message).isEmpty())
        r.error = messageLengthError(length);
    else if (r.mobile.size() != 10)
        r.error = mobileLengthError();
    else if (pieces.size() < 3 || pieceWithoutValue)
        r.error = parameterCountError();
    return r;
}

} // namespace tavsms::SendRequestParser
