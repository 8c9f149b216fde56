// Peak memory of the program while the device of an open, idle port sends
// 10 MB/s nobody asked for (a noisy cable, a phone stuck repeating a status
// line). The device is a pseudo-terminal written from a thread of this
// process; it answers the port's initialisation with OK, then floods.
//   bench_modem_flood [SECONDS]      (default 30)
#include "ModemBenchRig.h"
#include "PtyDevice.h"

#include <QFile>

using namespace tavsms;

namespace {

// A line of /proc/self/status in kB ("VmHWM", "VmRSS").
long statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 30;
    constexpr qint64 kRate = 10 * 1000 * 1000;

    bench::ModemBenchRig rig;
    test::PtyDevice device;
    const QString link = rig.dir.root() + QStringLiteral("/ttyNOISY");
    if (!DataDirectory::ensureExists().isEmpty() || !device.open(link)) {
        std::fprintf(stderr, "bench_modem_flood: set-up failed\n");
        return 1;
    }
    device.setAnswering(true);
    {
        Store store(DataDirectory::databasePath());
        store.db().exec(QStringLiteral("UPDATE config_network SET listenerPort = 0"));
        store.db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = ?, "
                                       "deviceType = 'GSM Modem - TAV', mobileOperator = 'Noisy', allowTwoWay = 0, "
                                       "allowRouting = 1 WHERE softwarePortNo = 'COM3'"),
                        {link});
    }
    if (!rig.startProgram()) {
        std::fprintf(stderr, "bench_modem_flood: the program did not start\n");
        return 1;
    }
    std::printf("ports connected: %d\n", rig.controller->state().connectedCount());
    bench::ModemBenchRig::run(1500);
    const long before = statusKb("VmHWM");

    QByteArray pattern = "\r\nRING\r\n\r\n+CREG: 1\r\n";
    while (pattern.size() < 4096)
        pattern += "garbage on the line ";
    device.setAnswering(false);
    device.startFlood(pattern, 0, kRate);
    QElapsedTimer clock;
    clock.start();
    bench::ModemBenchRig::run(seconds * 1000);
    device.stopFlood();
    const double wall = double(clock.elapsed()) / 1000.0;
    const qint64 bytes = device.written();

    std::printf("idle port flooded for %.1f s at %.1f MB/s (%.0f MB): peak resident %.1f MB (%.1f MB before the flood, "
                "%.1f MB now; goal: under 60 MB)\n",
                wall, double(bytes) / wall / 1e6, double(bytes) / 1e6, double(statusKb("VmHWM")) / 1024.0,
                double(before) / 1024.0, double(statusKb("VmRSS")) / 1024.0);
    return 0;
}
