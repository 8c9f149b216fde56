// The send listener under ApacheBench: starts the listener on a free
// loopback port with a fresh database, runs `ab -n N -c 1` against it (a new
// connection per request) while the event loop serves, and prints the rate
// and how many rows were committed.
//
//   bench_listener [requests]        (default 5000; needs `ab`, package apache2-utils)
#include "DebugLog.h"
#include "HttpSendListener.h"
#include "Store.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavsms;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;
    const QString ab = QStandardPaths::findExecutable(QStringLiteral("ab"));
    if (ab.isEmpty()) {
        std::fprintf(stderr, "ab not found (Debian package apache2-utils)\n");
        return 2;
    }

    QTemporaryDir dir;
    Store store(dir.filePath(QStringLiteral("tavsms.mdb")));
    DebugLog log;
    log.open(dir.filePath(QStringLiteral("debug.txt")));
    HttpSendListener listener(log);
    listener.setQueue(&store.queue());
    if (const QString why = listener.listen(0, QHostAddress::LocalHost); !why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }

    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    const QString url = QStringLiteral("http://127.0.0.1:%1/?com=COM1&mobile=9876543210&message=Hello%20World")
                            .arg(listener.port());
    QObject::connect(&client, &QProcess::finished, &app, [&app] { app.quit(); });
    client.start(ab, {QStringLiteral("-q"), QStringLiteral("-n"), QString::number(requests), QStringLiteral("-c"),
                      QStringLiteral("1"), url});
    app.exec();

    const QString out = QString::fromLocal8Bit(client.readAll());
    const auto figure = [&out](const char *pattern) {
        const auto m = QRegularExpression(QString::fromLatin1(pattern)).match(out);
        return m.hasMatch() ? m.captured(1) : QStringLiteral("?");
    };
    const qint64 rows = store.db().scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE status = 'Pending'"))
                            .toLongLong();
    std::printf("tavsms listener: %s requests/s (ab -n %d -c 1), failed requests %s, committed rows %lld\n",
                qPrintable(figure(R"(Requests per second:\s+([\d.]+))")), requests,
                qPrintable(figure(R"(Failed requests:\s+(\d+))")), rows);
    if (client.exitCode() != 0)
        std::fprintf(stderr, "%s\n", qPrintable(out));
    return client.exitCode() == 0 && rows == requests ? 0 : 1;
}
