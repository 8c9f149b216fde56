#pragma once

#include "ListenerConnections.h"
#include "SendRequestDesk.h"

#include <QObject>

namespace tavsms {

// The send listener as the program holds it: other programs queue a message
// with GET /?com=COM1&mobile=9876543210&message=Hello%20World HTTP/1.1.
// The connections bring the requests to the desk; docs/architecture.md tells
// the rules they keep.
class HttpSendListener : public QObject
{
    Q_OBJECT
public:
    explicit HttpSendListener(DebugLog &log, InternetTimeouts timeouts = {}, QObject *parent = nullptr);

    // Where accepted messages are queued; without a store, requests are refused.
    void setStore(Store *store) { m_desk.setStore(store); }
    // Who may connect (AllowedNetworks::kDefault until set); applies to
    // connections accepted from then on.
    void setAllowedNetworks(AllowedNetworks allowed) { m_connections.setAllowedNetworks(std::move(allowed)); }

    // Empty on success, else why not. Port 0 picks a free port (see port()).
    QString listen(quint16 port, const QHostAddress &address = QHostAddress::Any)
    {
        return m_connections.listen(port, address);
    }
    void close() { m_connections.close(); }
    bool isListening() const { return m_connections.isListening(); }
    quint16 port() const { return m_connections.port(); }
    // Connections open now.
    int connectionCount() const { return m_connections.count(); }

private:
    SendRequestDesk m_desk;
    ListenerConnections m_connections;
};

} // namespace tavsms
