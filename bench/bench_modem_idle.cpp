// CPU use of the program with five simulated GSM ports open (two-way, so the
// incoming poll runs every 10 s on each) and nothing to send.
#include "ModemBenchRig.h"

#include <sys/resource.h>

using namespace tavsms;

namespace {
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 30;
    bench::ModemBenchRig rig;
    if (!rig.startDevices(5, true) || !rig.startProgram()) {
        std::fprintf(stderr, "bench_modem_idle: set-up failed\n");
        return 1;
    }
    std::printf("ports connected: %d\n", rig.controller->state().connectedCount());
    bench::ModemBenchRig::run(2000); // past the first polls
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    bench::ModemBenchRig::run(seconds * 1000);
    const double wall = double(clock.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;
    std::printf("idle with 5 ports open: %.3f s CPU in %.1f s = %.2f %% of one core (goal: at most 1 %%)\n", cpu, wall,
                100.0 * cpu / wall);
    return 0;
}
