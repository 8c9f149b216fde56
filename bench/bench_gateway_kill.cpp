// The program (tavsms --service) killed with SIGKILL at random moments of a
// gateway drain, again and again: per kill, the requests the gateway held
// unanswered at that instant, the messages sent again after it, and for
// those that had been answered, how long before the kill. The fake gateway
// answers after a round trip from a thread of its own and fires the kill
// itself, so that what it holds at that instant is exact.
//
//   bench_gateway_kill [rows] [kills] [round-trip-ms] [parallel]   (2000 10 50 8)
#include "GatewayOnItsOwnThread.h"
#include "NetworkSettings.h"
#include "Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <functional>

using namespace tavsms;

namespace {

int argument(int argc, char *argv[], int index, int fallback)
{
    return argc > index ? QString::fromLocal8Bit(argv[index]).toInt() : fallback;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argument(argc, argv, 1, 2000);
    const int kills = argument(argc, argv, 2, 10);
    const int roundTrip = argument(argc, argv, 3, 50);
    const int parallel = argument(argc, argv, 4, 8);

    bench::GatewayOnItsOwnThread remote(roundTrip);
    test::FakeGateway *gateway = &remote.gateway();
    const auto onGatewayThread = [&remote](const std::function<void()> &work) { remote.run(work); };

    QTemporaryDir dir;
    const QString dataHome = dir.filePath(QStringLiteral("data"));
    QDir().mkpath(dataHome + QStringLiteral("/tavsms"));
    {
        Store store(dataHome + QStringLiteral("/tavsms/tavsms.mdb"));
        NetworkSettings net = NetworkSettings::load(store.db());
        net.gatewayHost = gateway->host();
        net.parallelRequests = parallel;
        net.listenerPort = 0; // any free port: the listener is not measured
        net.save(store.db());
        store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = 'bench', TAVpassword = 'pw', "
                                       "TAVisActive = 1"));
        Transaction tx(store.db());
        for (int i = 0; i < rows; ++i)
            (void)store.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("m%1").arg(i), kRouteGateway);
        tx.commit();
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.remove(QStringLiteral("DISPLAY"));
    const auto start = [&] {
        auto service = std::make_unique<QProcess>();
        service->setProcessEnvironment(env);
        service->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        service->start(QStringLiteral(TAVSMS_BINARY), {QStringLiteral("--service")});
        service->waitForStarted();
        return service;
    };
    const auto requested = [&] {
        int n = 0;
        onGatewayThread([&] { n = gateway->requestCount(); });
        return n;
    };

    // Requests for a message asked for before, since the last kill, and
    // the answers (µs on the gateway's clock) those messages had had.
    QHash<QString, int> times;
    int seen = 0;
    QList<qint64> answeredBefore;
    int sentAgain = 0;
    const auto look = [&] {
        onGatewayThread([&] {
            for (; seen < gateway->requestCount(); ++seen) {
                const QString message = gateway->requests().at(seen).query.value(QStringLiteral("messageid"));
                if (times[message]++ == 0)
                    continue;
                ++sentAgain;
                // The first request of the message: was it answered?
                for (int i = 0; i < seen; ++i)
                    if (gateway->requests().at(i).query.value(QStringLiteral("messageid")) == message
                        && gateway->answeredAt().at(i) >= 0) {
                        answeredBefore << gateway->answeredAt().at(i);
                        break;
                    }
            }
        });
    };

    int held = 0;
    qint64 killedAt = 0;
    int totalHeld = 0;
    int totalAgain = 0;
    for (int k = 0; k <= kills; ++k) {
        auto service = start();
        const int before = requested();
        // The drain at its stride (what the last kill left in flight goes first).
        while (requested() < before + 3 * parallel && service->state() == QProcess::Running)
            QThread::msleep(5);
        look();
        if (k > 0) {
            QStringList ages;
            for (qint64 at : std::as_const(answeredBefore))
                if (at <= killedAt) // an answer written after the kill reached nobody
                    ages << QString::number(double(killedAt - at) / 1000.0, 'f', 1);
            std::printf("kill %d: %d request(s) unanswered at the gateway, %d message(s) sent again%s\n", k, held,
                        sentAgain,
                        ages.isEmpty() ? "" : qPrintable(QStringLiteral(" (answered %1 ms before the kill)")
                                                             .arg(ages.join(QStringLiteral(", ")))));
            totalAgain += sentAgain;
        }
        sentAgain = 0;
        answeredBefore.clear();
        if (k == kills) {
            service->terminate();
            service->waitForFinished();
            break;
        }
        QThread::msleep(QRandomGenerator::global()->bounded(0, roundTrip * 4));
        const auto pid = pid_t(service->processId());
        onGatewayThread([&] {
            held = gateway->openNow();
            killedAt = gateway->clockUs();
            ::kill(pid, SIGKILL);
        });
        service->waitForFinished();
        totalHeld += held;
    }
    std::printf("gateway drain killed %d times (N = %d, %d ms round trip): %d message(s) sent again, %d request(s) "
                "unanswered at the kills (goal: sent again <= unanswered, but for answers still on their way)\n",
                kills, parallel, roundTrip, totalAgain, totalHeld);
    return 0;
}
