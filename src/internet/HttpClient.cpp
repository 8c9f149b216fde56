#include "HttpClient.h"

#include <QCoroNetworkReply>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace tavsms {

HttpClient::HttpClient(InternetTimeouts timeouts, QObject *parent)
    : QObject(parent)
    , m_timeouts(timeouts)
{
}

HttpClient::~HttpClient()
{
    if (m_current) {
        m_current->disconnect();
        m_current->abort();
    }
    m_waiting.clear();
}

QUrl HttpClient::url(const QString &host, const QString &path, const QueryItems &query)
{
    QByteArray text = "http://" + host.trimmed().toUtf8() + path.toUtf8();
    for (qsizetype i = 0; i < query.size(); ++i) {
        text += i == 0 ? '?' : '&';
        text += query[i].first.toUtf8() + '=' + QUrl::toPercentEncoding(query[i].second);
    }
    return QUrl::fromEncoded(text, QUrl::StrictMode);
}

void HttpClient::handOver()
{
    if (m_waiting.isEmpty()) {
        m_busy = false;
        return;
    }
    // The next caller keeps the client busy and resumes from the event loop,
    // not inside the caller that is just finishing.
    const std::coroutine_handle<> next = m_waiting.dequeue();
    QMetaObject::invokeMethod(this, [next] { next.resume(); }, Qt::QueuedConnection);
}

HttpReply HttpClient::readReply(QNetworkReply &reply)
{
    HttpReply r;
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        r.error = reply.errorString();
        return r;
    }
    r.received = true;
    r.statusCode = status.toInt();
    const QString version = reply.attribute(QNetworkRequest::Http2WasUsedAttribute).toBool()
        ? QStringLiteral("HTTP/2")
        : QStringLiteral("HTTP/1.1");
    r.statusLine = QStringLiteral("%1 %2 %3")
                       .arg(version)
                       .arg(r.statusCode)
                       .arg(reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    QStringList lines{r.statusLine};
    for (const auto &[name, value] : reply.rawHeaderPairs())
        lines << QString::fromLatin1(name) + QStringLiteral(": ") + QString::fromLatin1(value);
    r.headers = lines.join(QStringLiteral("\r\n"));
    r.body = QString::fromUtf8(reply.readAll());
    return r;
}

QCoro::Task<HttpReply> HttpClient::get(QUrl url)
{
    co_await Turn{this};
    // From here this caller owns the client until it returns.
    struct Release
    {
        HttpClient *client;
        ~Release() { client->handOver(); }
    } release{this};

    if (!url.isValid()) {
        HttpReply r;
        r.error = QStringLiteral("Invalid address: %1").arg(url.errorString());
        co_return r;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(int(m_timeouts.request.count()));
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    QNetworkReply *reply = m_manager.get(request);
    m_current = reply;
    co_await reply;
    m_current = nullptr;
    HttpReply r = readReply(*reply);
    reply->deleteLater();
    co_return r;
}

} // namespace tavsms
