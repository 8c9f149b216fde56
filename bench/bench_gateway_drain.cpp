// The gateway sender draining due rows into a local fake gateway: one tick,
// timed from its start until every row is written back.
//
//   bench_gateway_drain [rows]       (default 1000)
#include "AppState.h"
#include "DebugLog.h"
#include "FakeGateway.h"
#include "GatewaySender.h"
#include "HttpClient.h"
#include "NetworkSettings.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace tavsms;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;

    QTemporaryDir dir;
    Store store(dir.filePath(QStringLiteral("tavsms.mdb")));
    DebugLog log;
    log.open(dir.filePath(QStringLiteral("debug.txt")));
    test::FakeGateway gateway;
    if (!gateway.start())
        return 1;
    NetworkSettings net = NetworkSettings::load(store.db());
    net.gatewayHost = gateway.host();
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
    clock.start();
    QTimer::singleShot(0, &sender, [&sender] { sender.tick(); });
    app.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    const qint64 delivered =
        store.db().scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered'")).toLongLong();
    std::printf("gateway sender: %lld of %d rows delivered in %.2f s (%.0f rows/s; goal: 1000 rows in at most 5 s)\n",
                delivered, rows, seconds, double(delivered) / seconds);
    return delivered == rows ? 0 : 1;
}
