#include "HttpPushClient.h"

#include "HttpClient.h"

#include <QUrl>

namespace tavsms {

HttpPushClient::HttpPushClient(HttpClient &client)
    : m_client(client)
{
}

QCoro::Task<PushReply> HttpPushClient::get(const QString &url)
{
    // The template's own escapes stay as they are; only what HTTP cannot
    // carry raw (a blank in the sender, say) is escaped on the way out.
    const QUrl target(url, QUrl::TolerantMode);
    PushReply result;
    if (!target.isValid() || target.host().isEmpty()) {
        result.error = QStringLiteral("not a valid URL");
        co_return result;
    }
    const HttpReply reply = co_await m_client.get(target);
    result.ok = reply.received;
    result.body = reply.body.toUtf8();
    result.error = reply.error;
    co_return result;
}

} // namespace tavsms
