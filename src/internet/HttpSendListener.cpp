#include "HttpSendListener.h"

namespace tavsms {

HttpSendListener::HttpSendListener(DebugLog &log, InternetTimeouts timeouts, QObject *parent)
    : QObject(parent)
    , m_desk(log)
    , m_connections(m_desk, log, timeouts)
{
}

} // namespace tavsms
