#include "InternetServices.h"

#include "GatewayAccount.h"
#include "GatewaySender.h"
#include "MainController.h"
#include "NetworkSettings.h"

namespace tavsms {

InternetServices::InternetServices(MainController &controller, InternetTimeouts timeouts, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_timeouts(timeouts)
    , m_client(std::make_unique<HttpClient>(timeouts))
    , m_listener(std::make_unique<HttpSendListener>(controller.debugLog(), timeouts))
{
    controller.setListenerStarter([this] { return start(); });
    connect(&controller, &MainController::closingPorts, m_listener.get(), &HttpSendListener::close);
}

// The sender and the account go first; the client last, so whatever still
// waits on a request is abandoned rather than resumed into them.
InternetServices::~InternetServices()
{
    m_sender.reset();
    m_account.reset();
    m_listener.reset();
    m_client.reset();
}

QString InternetServices::start()
{
    Store &store = m_controller.store();
    NetworkSettings settings;
    try {
        settings = NetworkSettings::load(store.db());
    } catch (const DbError &e) {
        return e.message();
    }
    m_sender = std::make_unique<GatewaySender>(store, *m_client, m_controller.state(), m_controller.debugLog(),
                                               m_controller.gatewayTimer(), m_timeouts);
    m_account = std::make_unique<GatewayAccount>(store.db(), *m_client, m_controller.prompter());
    m_listener->setStore(&store);
    QString why;
    std::optional<NetworkSettings::Listener> place = settings.listener(&why);
    if (!place)
        return why;
    m_listener->setAllowedNetworks(std::move(place->allowed));
    return m_listener->listen(settings.listenerPort, place->address);
}

} // namespace tavsms
