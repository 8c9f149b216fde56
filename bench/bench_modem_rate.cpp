// Delivery rate of five simulated GSM ports at the design timings
// (Timer1 … Timer5 at 1000 … 1040 ms, one message per tick and port).
//   bench_modem_rate [SECONDS] [pdu]
// "pdu": the ports in PDU mode, every message Devanagari in three parts.
#include "ModemBenchRig.h"

#include "Database.h"

using namespace tavsms;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 30;
    const bool pdu = argc > 2 && QString::fromLocal8Bit(argv[2]) == QLatin1String("pdu");
    // 150 Devanagari characters: three parts of 67.
    const QString devanagari = QStringLiteral("नमस्ते, आपका ऑर्डर भेज दिया गया है। ").repeated(5).left(150);
    bench::ModemBenchRig rig;
    if (!rig.startDevices(5, false, pdu) || !rig.startProgram()) {
        std::fprintf(stderr, "bench_modem_rate: set-up failed\n");
        return 1;
    }
    std::printf("ports connected: %d\n", rig.controller->state().connectedCount());
    Database &db = rig.controller->store().db();
    {
        Transaction tx(db);
        for (int i = 0; i < 5 * seconds + 100; ++i)
            (void)rig.controller->store().queue().addToQueue(QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0')),
                                                              pdu ? devanagari : QStringLiteral("Benchmark message %1").arg(i),
                                                              kRouteAuto);
        tx.commit();
    }
    const auto delivered = [&db] {
        return db.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Delivered'")).toLongLong();
    };
    // Measure whole ticks: from the first delivery on.
    QElapsedTimer clock;
    clock.start();
    while (delivered() == 0 && clock.elapsed() < 5000)
        bench::ModemBenchRig::run(10);
    const qint64 start = delivered();
    clock.restart();
    bench::ModemBenchRig::run(seconds * 1000);
    const qint64 done = delivered() - start;
    const double elapsed = double(clock.elapsed()) / 1000.0;
    std::printf("%sdelivered %lld messages in %.1f s over 5 ports: %.2f messages/s (design rate ~%.2f/s)\n",
                pdu ? "PDU mode, 3 parts each: " : "", static_cast<long long>(done), elapsed, double(done) / elapsed,
                1000.0 / 1000 + 1000.0 / 1010 + 1000.0 / 1020 + 1000.0 / 1030 + 1000.0 / 1040);
    for (const QString &port : kSoftwarePorts)
        std::printf("  %s: %lld\n", qPrintable(port),
                    static_cast<long long>(db.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE sent_from = ?"),
                                                     {port})
                                               .toLongLong()));
    const qint64 retried = db.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE retry_no > 0")).toLongLong();
    std::printf("rows retried: %lld\n", static_cast<long long>(retried));
    return 0;
}
