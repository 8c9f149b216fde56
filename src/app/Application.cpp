#include "Application.h"

#include "AutoReply.h"
#include "DebugLog.h"
#include "GatewaySender.h"
#include "HttpPushClient.h"
#include "InternetServices.h"
#include "ModemChannel.h"
#include "ModemPortInitializer.h"
#include "PortSender.h"
#include "Store.h"

namespace tavsms {

Application::Application(Prompter &prompter, ModemTimeouts modemTimeouts, InternetTimeouts internetTimeouts,
                         QObject *parent)
    : QObject(parent)
    , m_controller(std::make_unique<MainController>(prompter))
    , m_modem(std::make_unique<ModemChannel>(*m_controller, modemTimeouts))
    , m_internet(std::make_unique<InternetServices>(*m_controller, internetTimeouts))
{
    connect(m_controller.get(), &MainController::fatalError, this, [this] {
        shutdown();
        Q_EMIT fatalError();
    });
    connect(m_modem.get(), &ModemChannel::tipRequested, this, &Application::tipRequested);

    // Every stored incoming message goes to its port's auto-reply rules,
    // which exist once the database is open.
    m_modem->setIncomingHandler([this](const QString &port, const QString &sender, const QString &text) {
        return applyAutoReply(port, sender, text);
    });

    m_drainTimer.setSingleShot(true);
    connect(&m_drainTimer, &QTimer::timeout, this, &Application::finishQuitWhenIdle);
    for (int i = 0; i < kPortCount; ++i)
        connect(&m_modem->sender(i), &PortSender::tickFinished, this, &Application::finishQuitWhenIdle);
}

// Channels go before the controller whose state, store and timers they use;
// the rules before the HTTP client their pushes take turns on.
Application::~Application()
{
    shutdown();
    m_autoReply.reset();
    m_push.reset();
    m_internet.reset();
    m_modem.reset();
    m_controller.reset();
}

Application::StartResult Application::start()
{
    const StartResult result = m_controller->start();
    if (result != StartResult::Running)
        return result;
    Store &store = m_controller->store();
    // Pushes take their turn on the program's one HTTP client.
    m_push = std::make_unique<HttpPushClient>(m_internet->client());
    m_autoReply = std::make_unique<AutoReply>(store.db(), store.queue(), m_controller->debugLog(), *m_push);
    if (GatewaySender *gateway = m_internet->sender()) {
        connect(gateway, &GatewaySender::tickFinished, this, &Application::finishQuitWhenIdle);
        // Port initialisation puts stranded "Sending" rows back; the rows the
        // gateway still waits to hear about are not stranded.
        m_modem->initializer().setInFlight([this, gateway] {
            QList<qint64> ids = gateway->rowsInFlight();
            for (int i = 0; i < kPortCount; ++i)
                if (const auto id = m_modem->sender(i).rowInFlight())
                    ids << *id;
            return ids;
        });
    }
    return result;
}

QCoro::Task<void> Application::applyAutoReply(QString port, QString sender, QString text)
{
    if (m_autoReply)
        co_await m_autoReply->apply(port, sender, text);
}

void Application::shutdown()
{
    m_drainTimer.stop();
    m_controller->shutdown();
}

bool Application::handingOver() const
{
    for (int i = 0; i < kPortCount; ++i)
        if (m_modem->sender(i).ticking())
            return true;
    const GatewaySender *gateway = m_internet->sender();
    return gateway && gateway->isSending();
}

void Application::requestQuit()
{
    if (m_controller->isShutDown()) {
        Q_EMIT quitFinished();
        return;
    }
    if (m_quitting) {
        // Asked twice: no more waiting.
        shutdown();
        Q_EMIT quitFinished();
        return;
    }
    m_quitting = true;
    // No new work: the listener stops taking requests and no sender claims
    // another row; what is being handed over now finishes and is marked.
    m_internet->listener().close();
    m_controller->state().setSendingRunning(false);
    if (handingOver())
        m_controller->debugLog().writeEvent(QStringLiteral(" Shutting down - waiting for the messages being sent"));
    m_drainTimer.start(m_drainLimit);
    finishQuitWhenIdle();
}

void Application::finishQuitWhenIdle()
{
    if (!m_quitting || m_controller->isShutDown())
        return;
    if (handingOver()) {
        if (m_drainTimer.isActive())
            return;
        m_controller->debugLog().writeEvent(
            QStringLiteral(" Shutting down - a message was still being sent; it is sent again after the next start"));
    }
    shutdown();
    Q_EMIT quitFinished();
}

} // namespace tavsms
