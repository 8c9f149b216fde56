#pragma once

#include <QCoroTask>
#include <QString>
#include <QUrl>

namespace tavsms {

// What a GET brought back: the body, or why there is none.
struct PushReply
{
    bool ok = false;
    QByteArray body;
    QString error;
};

// The HTTP GET that auto-reply rules forward messages with. The program's
// shared, serialised HTTP client provides it; tests may hand their own.
class PushClient
{
public:
    virtual ~PushClient() = default;
    // `url` is already encoded as it must go on the wire.
    virtual QCoro::Task<PushReply> get(const QString &url) = 0;

    // What the debug log may say about a push: scheme, host, port and path.
    // The query carries the sender's number and the message, and a template
    // may keep a password there or before the host.
    static QString addressForLog(const QString &url)
    {
        const QUrl parsed(url, QUrl::TolerantMode);
        if (parsed.isValid() && !parsed.host().isEmpty())
            return parsed.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
        // Not a URL Qt reads: the text before the query, less any "user:password@".
        QString head = url.section(QLatin1Char('?'), 0, 0).section(QLatin1Char('#'), 0, 0);
        const qsizetype scheme = head.indexOf(QStringLiteral("://"));
        const qsizetype start = scheme < 0 ? 0 : scheme + 3;
        const qsizetype end = head.indexOf(QLatin1Char('/'), start);
        const qsizetype at = head.lastIndexOf(QLatin1Char('@'), end < 0 ? -1 : end);
        if (at >= start)
            head.remove(start, at + 1 - start);
        return head;
    }
};

} // namespace tavsms
