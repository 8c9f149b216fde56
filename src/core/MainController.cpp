#include "MainController.h"

#include "DataDirectory.h"
#include "PortInitializer.h"
#include "Prompter.h"
#include "PgDatabase.h"
#include "StartupError.h"
#include "StoreWatch.h"

#include <QDir>

#include <cstdio>

namespace tavsms {

namespace {
// Sender timers of COM1 … COM5: staggered so the five never tick together.
constexpr int kPortIntervals[kPortCount] = {1000, 1010, 1020, 1030, 1040};
constexpr int kGatewayInterval = 100;
constexpr int kQueueInterval = 1000;
constexpr int kRestoredShown = 30000;
} // namespace

MainController::MainController(Prompter &prompter, QObject *parent)
    : QObject(parent)
    , m_prompter(prompter)
{
    for (int i = 0; i < kPortCount; ++i) {
        auto timer = std::make_unique<QTimer>();
        timer->setObjectName(QStringLiteral("Timer%1").arg(i + 1));
        m_portTimers[size_t(i)] = std::move(timer);
    }
    m_gatewayTimer.setObjectName(QStringLiteral("tmrInternetSMS"));
    m_queueTimer.setObjectName(QStringLiteral("TimerQ"));
    m_queueTimer.setInterval(kQueueInterval);
    connect(&m_queueTimer, &QTimer::timeout, this, &MainController::countQueue);
    m_log.setTroubleHandler([this](const QString &reason) { reportLogTrouble(reason); });
    // "Database connection restored" is news for a while; then the store is named again.
    connect(&m_state, &AppState::storeAvailableChanged, this, [this](bool available) {
        if (available)
            QTimer::singleShot(kRestoredShown, this, [this] {
                if (m_state.storeAvailable())
                    m_state.setStoreText(storeDescription());
            });
    });
}

MainController::~MainController()
{
    shutdown();
}

void MainController::fail(const QString &component, const QString &reason)
{
    m_prompter.critical(QStringLiteral("Critical Error"), StartupError(component, reason).boxText());
}

// The program goes on without its log: the operator hears of it once, on
// standard error (the service has nowhere else) and in the window's status bar.
void MainController::reportLogTrouble(const QString &reason)
{
    m_logTrouble = reason.isEmpty()
        ? QString()
        : QStringLiteral("The debug log %1 cannot be written: %2").arg(QDir::toNativeSeparators(m_log.path()), reason);
    if (!m_logTrouble.isEmpty()) {
        std::fprintf(stderr, "%s\n", m_logTrouble.toLocal8Bit().constData());
        std::fflush(stderr);
    }
    Q_EMIT debugLogTroubleChanged(m_logTrouble);
}

MainController::StartResult MainController::start()
{
    // The queue counter runs from the start, whatever happens to the ports.
    m_queueTimer.start();

    if (const QString why = DataDirectory::ensureExists(); !why.isEmpty()) {
        fail(QStringLiteral("Data Directory"), why);
        return StartResult::Failed;
    }
    m_instance = std::make_unique<SingleInstance>(QDir(DataDirectory::path()).filePath(QStringLiteral("tavsms.lock")));
    if (!m_instance->acquire()) {
        m_queueTimer.stop();
        m_prompter.critical(QStringLiteral("Application Error"), QStringLiteral("Application Already Running"));
        return StartResult::AlreadyRunning;
    }

    // Files an earlier version left readable by others, and the lock file,
    // which QLockFile makes after the umask.
    DataDirectory::makeFilesPrivate();

    // A log that cannot be opened has been reported; it is tried again with
    // every line.
    m_log.open(DataDirectory::debugLogPath());
    m_logOpened = true;

    if (!m_location.error.isEmpty()) {
        fail(QStringLiteral("Database"), m_location.error);
        return StartResult::Failed;
    }
    try {
        if (m_location.isShared()) {
            m_store = Store::openShared(m_location.url, m_location.workstation);
            m_storeWatch = std::make_unique<StoreWatch>(static_cast<PgDatabase &>(m_store->db()), m_store->queue(),
                                                        m_state, m_log, m_location.timeouts);
        } else {
            m_store = std::make_unique<Store>(DataDirectory::databasePath());
        }
    } catch (const DbError &e) {
        fail(QStringLiteral("Database"), e.message());
        return StartResult::Failed;
    }
    m_state.setStoreText(storeDescription());
    if (m_location.isShared())
        m_log.writeEvent(QStringLiteral(" Store: %1").arg(storeDescription()));

    for (int i = 0; i < kPortCount; ++i) {
        m_portTimers[size_t(i)]->setInterval(kPortIntervals[i]);
        m_portTimers[size_t(i)]->stop();
    }
    m_gatewayTimer.setInterval(kGatewayInterval);
    m_gatewayTimer.stop();

    if (m_startListener) {
        if (const QString why = m_startListener(); !why.isEmpty()) {
            fail(QStringLiteral("HTTP Listener"), why);
            return StartResult::Failed;
        }
    }

    m_state.setConnectedCount(0);
    m_startupInit.emplace(runInitialization(true));

    m_queueText = QStringLiteral("Q: 0");
    Q_EMIT queueTextChanged(m_queueText);
    return m_startFailed ? StartResult::Failed : StartResult::Running;
}

QCoro::Task<void> MainController::runInitialization(bool atStartup, bool announce)
{
    m_initializing = true;
    Q_EMIT initializingChanged(true);
    bool failed = false;
    QString component, reason;
    try {
        if (m_initializer)
            co_await m_initializer->initialize();
    } catch (const StartupError &e) {
        failed = true;
        component = e.component();
        reason = e.reason();
    } catch (const DbError &e) {
        failed = true;
        component = QStringLiteral("Database");
        reason = e.message();
    } catch (const std::exception &e) {
        failed = true;
        component = QStringLiteral("Port Initialization");
        reason = QString::fromUtf8(e.what());
    }
    m_initializing = false;
    Q_EMIT initializingChanged(false);
    if (m_shutDown)
        co_return;

    if (failed) {
        if (atStartup) {
            m_startFailed = true;
            fail(component, reason);
            Q_EMIT fatalError();
        } else {
            m_prompter.critical(QStringLiteral("Error"), StartupError(component, reason).boxText());
        }
        co_return;
    }
    if (!atStartup && announce)
        m_prompter.information(applicationTitle(), QStringLiteral("Reinitialization complete!!"));
}

QCoro::Task<void> MainController::reinitialize(bool announce)
{
    if (m_initializing || m_shutDown || !m_store)
        co_return;
    co_await runInitialization(false, announce);
}

QString MainController::storeDescription() const
{
    if (!m_location.isShared())
        return QStringLiteral("Local database");
    return QStringLiteral("Shared: %1 (%2)").arg(m_location.describe(), m_location.workstation);
}

void MainController::countQueue()
{
    if (!m_store)
        return;
    try {
        const QString text = QStringLiteral("Q: %1").arg(m_store->queue().queuedCount());
        if (text != m_queueText) {
            m_queueText = text;
            Q_EMIT queueTextChanged(text);
        }
    } catch (const DbError &) {
        // The panel keeps its last count; the next tick tries again.
    }
}

void MainController::stopSending()
{
    m_state.setSendingRunning(false);
    Q_EMIT sendingMenuChanged(false);
}

void MainController::startSending()
{
    m_state.setSendingRunning(true);
    Q_EMIT sendingMenuChanged(true);
}

void MainController::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    for (auto &timer : m_portTimers)
        timer->stop();
    m_queueTimer.stop();

    m_state.setSendingRunning(false);
    m_state.setAbortWaits(true);
    Q_EMIT closingPorts();
    // The connection itself stays until this object goes, so a sender that
    // was waiting and now unwinds never finds it gone.
    m_gatewayTimer.stop();
    if (m_logOpened)
        m_log.close();
}

} // namespace tavsms
