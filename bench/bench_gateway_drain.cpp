// The gateway sender draining due rows into a local fake gateway: one tick,
// timed from its start until every row is written back.
//  - 1,000 rows answered at once, with the default requests in flight;
//  - 1,000 rows through a gateway that answers each request after a round
//    trip (50 ms), one at a time (N = 1) and with 8 and 32 in flight. One
//    at a time takes the round trip per row: it sends fewer rows (200) and
//    its time is scaled to 1,000, as the line says.
// Each line also gives the TCP connections the fake gateway accepted.
//
//   bench_gateway_drain [rows] [serial-rows] [round-trip-ms]   (1000 200 50)
#include "AppState.h"
#include "DebugLog.h"
#include "GatewayOnItsOwnThread.h"
#include "GatewaySender.h"
#include "HttpClient.h"
#include "NetworkSettings.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

using namespace tavsms;

namespace {

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Drained
{
    qint64 delivered = 0;
    double seconds = 0;
    double busy = 0; // CPU time of the sender's thread
    int connections = 0;
    int mostOpen = 0;
};

Drained drain(QCoreApplication &app, int rows, int parallel, int roundTripMs)
{
    QTemporaryDir dir;
    Store store(dir.filePath(QStringLiteral("tavsms.mdb")));
    DebugLog log;
    log.open(dir.filePath(QStringLiteral("debug.txt")));
    bench::GatewayOnItsOwnThread remote(roundTripMs);
    if (!remote.started())
        return {};
    test::FakeGateway *gateway = &remote.gateway();
    NetworkSettings net = NetworkSettings::load(store.db());
    net.gatewayHost = gateway->host();
    net.parallelRequests = parallel;
    net.save(store.db());
    store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = 'bench', TAVpassword = 'pw', "
                                   "TAVisActive = 1"));
    {
        Transaction tx(store.db());
        for (int i = 0; i < rows; ++i)
            (void)store.queue().addToQueue(QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0')),
                                           QStringLiteral("Bench message %1 & more").arg(i), kRouteAuto);
        tx.commit();
    }

    AppState state;
    state.setInternetChannel(true);
    HttpClient client;
    QTimer timer;
    GatewaySender sender(store, client, state, log, timer);
    QElapsedTimer clock;
    QObject::connect(&sender, &GatewaySender::tickFinished, &app, [&app] { app.quit(); });
    const double cpu = threadCpuSeconds();
    clock.start();
    QTimer::singleShot(0, &sender, [&sender] { sender.tick(); });
    app.exec();
    Drained d;
    d.seconds = double(clock.nsecsElapsed()) / 1e9;
    d.busy = threadCpuSeconds() - cpu;
    d.delivered =
        store.db().scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered'")).toLongLong();
    remote.run([&] {
        d.connections = gateway->connectionsOpened();
        d.mostOpen = gateway->mostOpenAtOnce();
    });
    return d;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    const int serialRows = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 200;
    const int roundTrip = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 50;
    bool complete = true;

    const Drained quick = drain(app, rows, NetworkSettings{}.parallelRequests, 0);
    complete = complete && quick.delivered == rows;
    std::printf("gateway sender, answers at once, N = %d: %lld of %d rows delivered in %.2f s (%.0f rows/s; "
                "goal: 1000 rows in at most 5 s), %d TCP connection(s)\n",
                NetworkSettings{}.parallelRequests, quick.delivered, rows, quick.seconds,
                double(quick.delivered) / quick.seconds, quick.connections);

    const Drained serial = drain(app, serialRows, 1, roundTrip);
    complete = complete && serial.delivered == serialRows;
    std::printf("gateway sender, %d ms round trip, N = 1: %lld of %d rows in %.2f s; %d rows scaled: %.1f s; "
                "%d TCP connection(s), at most %d request(s) open\n",
                roundTrip, serial.delivered, serialRows, serial.seconds, rows,
                serial.seconds * double(rows) / double(serialRows), serial.connections, serial.mostOpen);

    for (const auto &[parallel, goal] : {std::pair{8, 8.0}, std::pair{32, 2.0}}) {
        const Drained d = drain(app, rows, parallel, roundTrip);
        complete = complete && d.delivered == rows;
        std::printf("gateway sender, %d ms round trip, N = %d: %lld of %d rows in %.2f s (goal: at most %.0f s), "
                    "%.1f times one at a time; %d TCP connection(s) (goal: at most %d), at most %d request(s) open; "
                    "sender thread busy %.2f s\n",
                    roundTrip, parallel, d.delivered, rows, d.seconds, goal,
                    serial.seconds * double(rows) / double(serialRows) / d.seconds, d.connections, parallel,
                    d.mostOpen, d.busy);
    }
    return complete ? 0 : 1;
}
