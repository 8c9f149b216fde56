#pragma once

#include "PushClient.h"

#include <QNetworkAccessManager>

#include <chrono>

namespace tavsms {

// Push requests over QNetworkAccessManager, one at a time, each bounded by a
// time-out so a URL that never answers cannot hold up the incoming poll.
class NetworkPushClient : public PushClient
{
public:
    explicit NetworkPushClient(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    QCoro::Task<PushReply> get(const QString &url) override;

private:
    QNetworkAccessManager m_manager;
    std::chrono::milliseconds m_timeout;
};

} // namespace tavsms
