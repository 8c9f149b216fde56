#include "SendRequestParser.h"

#include <QStringList>

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

} // namespace

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
