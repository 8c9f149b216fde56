#include "HttpClient.h"

#include <QCoroNetworkReply>
#include <QMetaEnum>
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
    for (const QPointer<QNetworkReply> &reply : std::as_const(m_running)) {
        if (reply) {
            reply->disconnect();
            reply->abort();
        }
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

QString HttpClient::addressForLog(const QUrl &url)
{
    return url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

namespace {

// Qt's own error texts may quote the whole address ("Error transferring
// http://host/path?userid=..&pwd=.."; an invalid one "source was ..."): every
// quotation becomes the address without its query, and a text that still
// holds the query gives way to the error's name.
QString withoutQuery(QString text, const QList<QUrl> &urls, const QString &fallback)
{
    text = text.section(QStringLiteral("; source was"), 0, 0);
    for (const QUrl &url : urls) {
        const QString safe = HttpClient::addressForLog(url);
        for (const QString &form : {url.toString(QUrl::FullyEncoded), url.toString(), url.toDisplayString()})
            if (!form.isEmpty())
                text.replace(form, safe);
    }
    for (const QUrl &url : urls) {
        for (const QString &query : {url.query(QUrl::FullyEncoded), url.query(), url.query(QUrl::FullyDecoded)})
            if (!query.isEmpty() && text.contains(query))
                return fallback;
    }
    return text;
}

} // namespace

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
        const char *name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(reply.error());
        r.error = withoutQuery(reply.errorString(), {reply.request().url(), reply.url()},
                               name ? QString::fromLatin1(name) : QStringLiteral("Network error %1").arg(reply.error()));
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
    co_return co_await fetch(m_manager, std::move(url));
}

QCoro::Task<HttpReply> HttpClient::getInSlot(QUrl url, int slot)
{
    const size_t set = size_t(std::max(slot, 0) / kSlotsPerConnectionSet);
    while (m_slotManagers.size() <= set)
        m_slotManagers.push_back(std::make_unique<QNetworkAccessManager>());
    return fetch(*m_slotManagers[set], std::move(url));
}

QCoro::Task<HttpReply> HttpClient::fetch(QNetworkAccessManager &manager, QUrl url)
{
    if (!url.isValid()) {
        HttpReply r;
        r.error = QStringLiteral("Invalid address: %1").arg(withoutQuery(url.errorString(), {}, QString()));
        co_return r;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(int(m_timeouts.request.count()));
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    QNetworkReply *reply = manager.get(request);
    m_running.append(reply);
    co_await reply;
    m_running.removeOne(reply);
    HttpReply r = readReply(*reply);
    reply->deleteLater();
    co_return r;
}

} // namespace tavsms
