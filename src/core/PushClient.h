#pragma once

#include <QCoroTask>
#include <QString>

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
};

} // namespace tavsms
