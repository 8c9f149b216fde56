#pragma once

#include "PushClient.h"

namespace tavsms {

class HttpClient;

// Auto-reply pushes through the program's one HTTP client, taking their turn
// with the gateway sender and the account requests.
class HttpPushClient : public PushClient
{
public:
    explicit HttpPushClient(HttpClient &client);
    QCoro::Task<PushReply> get(const QString &url) override;

private:
    HttpClient &m_client;
};

} // namespace tavsms
