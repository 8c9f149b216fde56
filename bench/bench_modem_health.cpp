// A port's send rate with the health reads (AT+CSQ, AT+CREG?) on and off:
// five simulated GSM ports whose sender ticks follow each other at once,
// so that the rate is the dialogue's own and any time a health read takes
// from the sends would show.
// Runs without and with alternate, ROUNDS times each, and the medians are
// compared: on a shared machine the load changes more between runs than
// the health reads do.
//   bench_modem_health [SECONDS] [HEALTH_PERIOD_MS] [ROUNDS]   (defaults 10, 1000, 3)
#include "ModemBenchRig.h"

#include "Database.h"

#include <algorithm>

using namespace tavsms;

namespace {

double rate(int seconds, std::chrono::milliseconds healthPeriod, qint64 *reads)
{
    bench::ModemBenchRig rig;
    ModemTimeouts timeouts;
    timeouts.healthPeriod = healthPeriod;
    if (!rig.startDevices(5, false) || !rig.startProgram(timeouts)) {
        std::fprintf(stderr, "bench_modem_health: set-up failed\n");
        return -1;
    }
    Database &db = rig.controller->store().db();
    {
        Transaction tx(db);
        for (int i = 0; i < 60000; ++i)
            (void)rig.controller->store().queue().addToQueue(QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0')),
                                                              QStringLiteral("Benchmark message %1").arg(i), kRouteAuto);
        tx.commit();
    }
    for (int i = 0; i < kPortCount; ++i)
        rig.controller->portTimer(i).setInterval(0);
    int healthReads = 0;
    QObject::connect(&rig.controller->state(), &AppState::portHealthChanged, [&healthReads] { ++healthReads; });
    const auto delivered = [&db] {
        return db.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered'")).toLongLong();
    };
    bench::ModemBenchRig::run(1000); // under way
    const qint64 start = delivered();
    healthReads = 0;
    QElapsedTimer clock;
    clock.start();
    bench::ModemBenchRig::run(seconds * 1000);
    const double elapsed = double(clock.elapsed()) / 1000.0;
    *reads = healthReads;
    return double(delivered() - start) / elapsed;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10;
    const int period = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1000;
    const int rounds = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 3;
    QList<double> offs, ons;
    qint64 reads = 0;
    for (int r = 0; r < rounds; ++r) {
        qint64 n = 0;
        offs << rate(seconds, std::chrono::hours(1000), &n);
        ons << rate(seconds, std::chrono::milliseconds(period), &n);
        reads += n;
        std::printf("  round %d: %.1f messages/s without health reads, %.1f with\n", r + 1, offs.last(), ons.last());
    }
    std::sort(offs.begin(), offs.end());
    std::sort(ons.begin(), ons.end());
    const double off = offs.at(rounds / 2), on = ons.at(rounds / 2);
    if (off <= 0 || on <= 0)
        return 1;
    std::printf("5 ports, ticks back to back, %d s a run, medians of %d: %.1f messages/s without health reads, %.1f "
                "with a read every %d ms per port (%lld reads in all); %+.2f %%\n",
                seconds, rounds, off, on, period, static_cast<long long>(reads), (on - off) / off * 100.0);
    return 0;
}
