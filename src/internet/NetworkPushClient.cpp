#include "NetworkPushClient.h"

#include <QCoroNetworkReply>
#include <QNetworkReply>
#include <QUrl>

namespace tavsms {

NetworkPushClient::NetworkPushClient(std::chrono::milliseconds timeout)
    : m_timeout(timeout)
{
}

QCoro::Task<PushReply> NetworkPushClient::get(const QString &url)
{
    PushReply result;
    const QUrl target(url, QUrl::TolerantMode);
    if (!target.isValid() || target.scheme().isEmpty()) {
        result.error = QStringLiteral("not a valid URL");
        co_return result;
    }
    QNetworkRequest request(target);
    request.setTransferTimeout(int(m_timeout.count()));
    std::unique_ptr<QNetworkReply> reply(m_manager.get(request));
    co_await qCoro(reply.get()).waitForFinished(m_timeout + std::chrono::seconds(1));
    if (!reply->isFinished()) {
        reply->abort();
        result.error = QStringLiteral("no answer");
    } else if (reply->error() != QNetworkReply::NoError) {
        result.error = reply->errorString();
        if (reply->isOpen())
            result.body = reply->readAll();
    } else {
        result.ok = true;
        result.body = reply->readAll();
    }
    co_return result;
}

} // namespace tavsms
