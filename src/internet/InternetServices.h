#pragma once

#include "HttpClient.h"
#include "HttpSendListener.h"
#include "InternetTimeouts.h"

#include <QObject>

#include <memory>
#include <optional>

namespace tavsms {

class GatewayAccount;
class GatewaySender;
class MainController;

// The Internet channels of one main window: the shared HTTP client, the
// send listener (started with the program), the gateway sender on
// tmrInternetSMS, and the account operations of the menus and settings.
class InternetServices : public QObject
{
    Q_OBJECT
public:
    explicit InternetServices(MainController &controller, InternetTimeouts timeouts = {}, QObject *parent = nullptr);
    ~InternetServices() override;

    HttpClient &client() { return *m_client; }
    HttpSendListener &listener() { return *m_listener; }
    // Both exist once the program has started (the database is open).
    GatewaySender *sender() { return m_sender.get(); }
    GatewayAccount *account() { return m_account.get(); }

private:
    // Runs during start-up, right after the database is open.
    QString start();

    MainController &m_controller;
    InternetTimeouts m_timeouts;
    std::unique_ptr<HttpClient> m_client;
    std::unique_ptr<HttpSendListener> m_listener;
    std::unique_ptr<GatewaySender> m_sender;
    std::unique_ptr<GatewayAccount> m_account;
};

} // namespace tavsms
