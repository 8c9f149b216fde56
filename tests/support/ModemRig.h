#pragma once

#include "Application.h"
#include "DataDirectory.h"
#include "MainController.h"
#include "ModemChannel.h"
#include "ModemPort.h"
#include "ModemSimulator.h"
#include "RecordingPrompter.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QFile>
#include <QTest>

#include <memory>

namespace tavsms::test {

// Time-outs short enough for a fast suite, long enough for a loaded machine.
inline ModemTimeouts fastTimeouts()
{
    using ms = std::chrono::milliseconds;
    ModemTimeouts t;
    t.probeCom1 = t.probeOther = t.textMode = t.textModeCom2 = t.indications = ms(1500);
    t.prompt = ms(600);
    t.result = ms(1500);
    t.listing = ms(1500);
    t.deleteMessage = ms(1000);
    t.consoleQuiet = ms(300);
    t.pollPeriod = ms(300);
    t.deviceCheck = ms(100);
    return t;
}

// The whole program without its window, as the service runs it, on
// simulated devices linked in a private directory. Configure ports before
// start().
struct ModemRig
{
    TestDataDirectory dir;
    RecordingPrompter prompter;
    std::unique_ptr<Application> app;
    // Parts of the running program, set by start().
    MainController *controller = nullptr;
    ModemChannel *channel = nullptr;
    std::vector<std::unique_ptr<sim::ModemSimulator>> sims;
    QList<QStringList> tips;

    ModemRig()
    {
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        setupStore().db().exec(QStringLiteral("UPDATE config_network SET listenerPort = 0")); // a free port
    }
    ~ModemRig()
    {
        stop();
        m_setup.reset();
        sims.clear();
    }

    QString linkPath(const QString &name) const { return dir.root() + QLatin1Char('/') + name; }

    sim::ModemSimulator &addDevice(sim::ModemSimulator::Kind kind, const QString &name)
    {
        sims.push_back(std::make_unique<sim::ModemSimulator>(kind));
        if (!sims.back()->start(linkPath(name)))
            qFatal("simulator: %s", qPrintable(sims.back()->errorString()));
        return *sims.back();
    }

    // Writes one config_ports row (before start, on a connection of its own).
    void configure(const QString &softwarePort, const QString &systemPort, const QString &deviceType,
                   bool twoWay = false, bool routing = true, const QString &operatorName = QString())
    {
        setupStore().db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = ?, deviceType = ?, "
                                       "mobileOperator = ?, allowTwoWay = ?, allowRouting = ? WHERE softwarePortNo = ?"),
                        {systemPort, deviceType, operatorName.isEmpty() ? softwarePort + QStringLiteral(" Net") : operatorName,
                         twoWay ? 1 : 0, routing ? 1 : 0, softwarePort});
    }

    // Work on the database beside the program, on a connection of the test's own.
    void withStore(const std::function<void(Store &)> &work) { work(setupStore()); }

    // Builds the program; start() runs it.
    Application &build()
    {
        app = std::make_unique<Application>(prompter, fastTimeouts());
        controller = &app->controller();
        channel = &app->modem();
        QObject::connect(app.get(), &Application::tipRequested,
                         [this](const QString &title, const QString &text, int seconds) {
                             tips << QStringList{title, text, QString::number(seconds)};
                         });
        return *app;
    }

    // Starts the program (built first unless build() was called) and waits
    // for port initialisation to finish.
    void start(int tickMs = 40)
    {
        if (!app)
            build();
        QCOMPARE(app->start(), Application::StartResult::Running);
        QTRY_VERIFY_WITH_TIMEOUT(!controller->isInitializing(), 10000);
        for (int i = 0; i < kPortCount; ++i)
            controller->portTimer(i).setInterval(tickMs + i);
    }

    // Ends the program (the closing steps run as the program is destroyed).
    void stop()
    {
        controller = nullptr;
        channel = nullptr;
        app.reset();
    }

    Store &store() { return controller->store(); }
    AppState &state() { return controller->state(); }

    QString debugLog() const
    {
        QFile f(DataDirectory::debugLogPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll());
    }

    qint64 count(const QString &sql, const QVariantList &params = {})
    {
        return store().db().scalar(sql, params).toLongLong();
    }

private:
    // Opened once: keying a connection costs a key derivation.
    Store &setupStore()
    {
        if (!m_setup)
            m_setup = std::make_unique<Store>(DataDirectory::databasePath());
        return *m_setup;
    }
    std::unique_ptr<Store> m_setup;
};

} // namespace tavsms::test
