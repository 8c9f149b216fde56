// The send listener of the real program (tavsms --service) under ApacheBench,
// on a shared PostgreSQL store (--store URL --workstation NAME, its listener
// port set in the workstation's config_network row) and on the keyed file,
// in alternating rounds, each program alone while it is measured. Prints
// each round's rate, failed requests and committed rows, and the medians.
// The server is a throw-away one with the server's default durability.
//
//   bench_shared_listener [requests] [concurrency] [rounds]   (5000 16 3)
//   (needs `ab`, package apache2-utils)
// Exits non-zero unless every request of ab has its committed row.
#include "NetworkSettings.h"
#include "PgDatabase.h"
#include "PgServer.h"
#include "Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace tavsms;

namespace {

int argument(int argc, char *argv[], int index, int fallback)
{
    return argc > index ? QString::fromLocal8Bit(argv[index]).toInt() : fallback;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

qint64 committed(Database &db)
{
    return db.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE outgoing_message = 'Hello World'")).toLongLong();
}

struct Round
{
    double rate = 0;
    qint64 failed = -1;
};

// Starts the program, runs ab against its listener, stops the program.
Round measure(const QStringList &programArgs, const QProcessEnvironment &env, quint16 port, int requests,
              int concurrency, const QString &ab)
{
    Round r;
    QProcess service;
    service.setProcessEnvironment(env);
    service.start(QStringLiteral(TAVSMS_BINARY), QStringList{QStringLiteral("--service")} + programArgs);
    QByteArray said;
    while (!said.contains("TAVSMS service running") && service.waitForReadyRead(30000))
        said += service.readAllStandardOutput();
    if (!said.contains("TAVSMS service running")) {
        std::fprintf(stderr, "the program did not start: %s%s\n", said.constData(),
                     service.readAllStandardError().constData());
        service.kill();
        service.waitForFinished();
        return r;
    }
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(ab, {QStringLiteral("-q"), QStringLiteral("-n"), QString::number(requests), QStringLiteral("-c"),
                      QString::number(concurrency),
                      QStringLiteral("http://127.0.0.1:%1/?com=COM1&mobile=9876543210&message=Hello%20World").arg(port)});
    client.waitForFinished(-1);
    const QString out = QString::fromLocal8Bit(client.readAll());
    service.terminate();
    service.waitForFinished(30000);
    const auto figure = [&out](const char *pattern) {
        const auto m = QRegularExpression(QString::fromLatin1(pattern)).match(out);
        return m.hasMatch() ? m.captured(1) : QString();
    };
    r.rate = figure(R"(Requests per second:\s+([\d.]+))").toDouble();
    const QString failed = figure(R"(Failed requests:\s+(\d+))");
    r.failed = failed.isEmpty() ? -1 : failed.toLongLong();
    if (failed.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(out));
    return r;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int requests = argument(argc, argv, 1, 5000);
    const int concurrency = argument(argc, argv, 2, 16);
    const int rounds = argument(argc, argv, 3, 3);
    const QString ab = QStandardPaths::findExecutable(QStringLiteral("ab"));
    if (ab.isEmpty()) {
        std::fprintf(stderr, "ab not found (Debian package apache2-utils)\n");
        return 2;
    }

    test::PgServer server(test::PgServer::Durability::Durable);
    std::printf("server: %s\n", qPrintable(server.settings()));
    const QString url = server.freshDatabase();
    const QString workstation = QStringLiteral("bench");
    const quint16 sharedPort = freePort();
    {
        // The workstation's rows, as its first start makes them, with the listener on a free port.
        auto store = Store::openShared(url, workstation);
        NetworkSettings net = NetworkSettings::load(store->db());
        net.listenerPort = sharedPort;
        net.save(store->db());
    }

    QTemporaryDir dir;
    const QString dataHome = dir.filePath(QStringLiteral("data"));
    const QString file = dataHome + QStringLiteral("/tavsms/tavsms.mdb");
    QDir().mkpath(dataHome + QStringLiteral("/tavsms"));
    const quint16 filePort = freePort();
    {
        Store store(file);
        NetworkSettings net = NetworkSettings::load(store.db());
        net.listenerPort = filePort;
        net.save(store.db());
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.remove(QStringLiteral("TAVSMS_STORE"));
    env.remove(QStringLiteral("TAVSMS_WORKSTATION"));
    env.remove(QStringLiteral("DISPLAY"));

    std::vector<double> sharedRates, fileRates;
    bool sound = true;
    qint64 sharedRows = 0, fileRows = 0;
    for (int round = 1; round <= rounds; ++round) {
        const Round s = measure({QStringLiteral("--store"), url, QStringLiteral("--workstation"), workstation}, env,
                                sharedPort, requests, concurrency, ab);
        {
            PgDatabase db(url);
            const qint64 now = committed(db);
            std::printf("round %d, shared store: %.0f requests/s (ab -n %d -c %d), failed requests %lld, committed "
                        "rows %lld\n",
                        round, s.rate, requests, concurrency, static_cast<long long>(s.failed),
                        static_cast<long long>(now - sharedRows));
            sound = sound && s.failed == 0 && now - sharedRows == requests;
            sharedRows = now;
        }
        sharedRates.push_back(s.rate);
        const Round f = measure({}, env, filePort, requests, concurrency, ab);
        {
            Store store(file);
            const qint64 now = committed(store.db());
            std::printf("round %d, keyed file:   %.0f requests/s (ab -n %d -c %d), failed requests %lld, committed "
                        "rows %lld\n",
                        round, f.rate, requests, concurrency, static_cast<long long>(f.failed),
                        static_cast<long long>(now - fileRows));
            sound = sound && f.failed == 0 && now - fileRows == requests;
            fileRows = now;
        }
        fileRates.push_back(f.rate);
    }
    std::printf("listener of tavsms --service at ab -c %d, median of %d rounds: shared store %.0f requests/s "
                "(goal at least 2,000), keyed file %.0f requests/s\n",
                concurrency, rounds, median(sharedRates), median(fileRates));
    return sound ? 0 : 1;
}
