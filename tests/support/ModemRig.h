#pragma once

#include "Application.h"
#include "DataDirectory.h"
#include "SharedStore.h"
#include "Wait.h"
#include "IncomingLog.h"
#include "MainController.h"
#include "ModemChannel.h"
#include "ModemPort.h"
#include "ModemSimulator.h"
#include "PortSender.h"
#include "QueueLog.h"
#include "RecordingPrompter.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QCoroTask>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>

namespace tavsms::test {

using Kind = sim::ModemSimulator::Kind;
using Fault = sim::ModemSimulator::Fault;

inline const QString kGsmModem = QStringLiteral("GSM Modem - TAV");
inline const QString kCdma = QStringLiteral("CDMA Mobile - Nokia");
// What a GSM port's bring-up reads after its set-up: identity, then signal and registration.
inline const QStringList kHealthReads = {"AT+CGSN", "AT+CIMI", "AT+COPS?", "AT+CSQ", "AT+CREG?"};

// Long enough for a simulated device to answer on a loaded machine. A test
// that needs a wait to run out shrinks that one wait through the channel's
// table.
inline ModemTimeouts fastTimeouts()
{
    using ms = std::chrono::milliseconds;
    ModemTimeouts t;
    t.probeCom1 = t.probeOther = t.textMode = t.textModeCom2 = t.indications = ms(3000);
    t.prompt = t.result = t.listing = t.deleteMessage = ms(3000);
    t.consoleQuiet = ms(100);
    t.pollPeriod = ms(0);
    t.deviceCheck = ms(10);
    return t;
}

// Runs a coroutine to its end while the event loop turns; its result, if it ended.
template<typename T>
std::optional<T> finish(QCoro::Task<T> task, int timeoutMs = 10000)
{
    std::optional<T> result;
    auto waiter = [](QCoro::Task<T> t, std::optional<T> *out) -> QCoro::Task<void> { *out = co_await std::move(t); }(
        std::move(task), &result);
    (void)waitFor([&] { return result.has_value(); }, timeoutMs);
    return result;
}

inline bool finish(QCoro::Task<void> task)
{
    return finish([](QCoro::Task<void> t) -> QCoro::Task<bool> {
               co_await std::move(t);
               co_return true;
           }(std::move(task)))
        .has_value();
}

// The whole program without its window, as the service runs it, on
// simulated devices linked in a private directory. Ports and rows are set
// up before build() (or start(), which builds).
struct ModemRig
{
    TestDataDirectory dir;
    RecordingPrompter prompter;
    std::unique_ptr<Application> app;
    // Parts of the running program, set by build().
    MainController *controller = nullptr;
    ModemChannel *channel = nullptr;
    std::vector<std::unique_ptr<sim::ModemSimulator>> sims;

    ModemRig()
        : m_setup(freshStore())
    {
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        m_setup.db().exec(QStringLiteral("UPDATE config_network SET listenerPort = 0")); // a free port
    }
    ~ModemRig()
    {
        stop();
        sims.clear();
    }

    QString linkPath(const QString &name) const { return dir.root() + QLatin1Char('/') + name; }

    // A simulated device at linkPath(name); started again under the same
    // name, it is the same path with another device behind it.
    sim::ModemSimulator &addDevice(Kind kind, const QString &name)
    {
        sims.push_back(std::make_unique<sim::ModemSimulator>(kind));
        if (!sims.back()->start(linkPath(name)))
            qFatal("simulator: %s", qPrintable(sims.back()->errorString()));
        return *sims.back();
    }

    // A device of its kind on a software port, linked under the port's name.
    sim::ModemSimulator &device(const QString &softwarePort, Kind kind = Kind::Gsm, bool twoWay = false,
                                bool routing = true)
    {
        sim::ModemSimulator &sim = addDevice(kind, softwarePort);
        configure(softwarePort, linkPath(softwarePort), kind == Kind::Cdma ? kCdma : kGsmModem, twoWay, routing);
        return sim;
    }

    // Writes one config_ports row.
    void configure(const QString &softwarePort, const QString &systemPort, const QString &deviceType,
                   bool twoWay = false, bool routing = true, const QString &operatorName = QString())
    {
        m_setup.db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = ?, deviceType = ?, "
                                              "mobileOperator = ?, allowTwoWay = ?, allowRouting = ? WHERE softwarePortNo = ?"),
                               {systemPort, deviceType, operatorName.isEmpty() ? softwarePort + QStringLiteral(" Net") : operatorName,
                                twoWay ? 1 : 0, routing ? 1 : 0, softwarePort});
    }

    // Ticks "Unicode and long messages (PDU mode)" for a configured port.
    void usePdu(const QString &softwarePort)
    {
        m_setup.db().exec(QStringLiteral("UPDATE config_ports SET pduMode = 1 WHERE softwarePortNo = ?"),
                               {softwarePort});
    }

    // Work on the database before build().
    void withStore(const std::function<void(Store &)> &work) { work(m_setup); }

    // Builds the program on a copy of what was set up; start() runs it.
    Application &build()
    {
        if (!QFile::exists(DataDirectory::databasePath()))
            copyStoreTo(DataDirectory::databasePath());
        app = std::make_unique<Application>(prompter, fastTimeouts());
        controller = &app->controller();
        channel = &app->modem();
        return *app;
    }

    // Starts the program (built first unless build() was called), waits for
    // port initialisation to finish and sets the sender ticks.
    void start(int tickMs = 10)
    {
        if (!app)
            build();
        QCOMPARE(app->start(), Application::StartResult::Running);
        WAIT_VERIFY(!controller->isInitializing());
        for (int i = 0; i < kPortCount; ++i)
            controller->portTimer(i).setInterval(tickMs + i);
    }

    // Starts the program with `device` keeping the outcome of every send to
    // itself, and the program waiting as long as it takes for it; queues
    // `text` and says whether the device got it.
    bool startSilent(sim::ModemSimulator &device, const QString &text)
    {
        device.setFault(QStringLiteral("<Ctrl-Z>"), Fault::Silence);
        start();
        channel->timeouts().result = std::chrono::minutes(5);
        enqueue(QStringLiteral("9876543210"), text);
        return waitFor([&] { return device.received().contains(text.toUtf8() + '\x1A'); });
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
    QueueLog queue() { return QueueLog(store().db()); }
    QString status(qint64 id) { return store().queue().row(id)->status; }
    int retries(qint64 id) { return store().queue().row(id)->retryNo; }
    void enqueue(const QString &number, const QString &text, const QString &route = kRouteAuto)
    {
        QVERIFY(store().queue().addToQueue(number, text, route));
    }
    // Stored received messages as "port|mobile|time stamp|text", oldest time stamp first.
    QStringList incoming()
    {
        QList<IncomingRow> rows = IncomingLog(store().db()).newestFirst();
        std::stable_sort(rows.begin(), rows.end(),
                         [](const auto &a, const auto &b) { return a.incomingDate < b.incomingDate; });
        QStringList out;
        for (const IncomingRow &r : rows)
            out << QStringList{r.comPort, r.mobileNo, r.incomingDate.toString(Qt::ISODate), r.message}.join('|');
        return out;
    }

    // Waits until the sender of a port has finished `ticks` more ticks.
    bool ticks(int portIndex, int ticks)
    {
        QSignalSpy spy(&channel->sender(portIndex), &PortSender::tickFinished);
        return waitFor([&] { return spy.count() >= ticks; });
    }
    // Stops the senders and waits for the ticks under way to end.
    void stopSending()
    {
        controller->stopSending();
        WAIT_VERIFY([this] {
            for (int i = 0; i < kPortCount; ++i)
                if (channel->sender(i).ticking())
                    return false;
            return true;
        }());
    }

    QString debugLog() const
    {
        QFile f(DataDirectory::debugLogPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll());
    }

private:
    Store &m_setup; // the test program's shared store, until build() copies it
};

} // namespace tavsms::test
