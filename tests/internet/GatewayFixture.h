#pragma once

// A store with an active gateway account pointed at a fake gateway on loopback.
#include "AppState.h"
#include "DebugLog.h"
#include "FakeGateway.h"
#include "HttpClient.h"
#include "NetworkSettings.h"
#include "SharedStore.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QFile>
#include <QTest>

#include <memory>

namespace tavsms::test {

struct GatewayFixture
{
    TestDataDirectory dir;
    Store &store = freshStore();
    DebugLog log;
    AppState state;
    FakeGateway gateway;
    std::unique_ptr<HttpClient> client;

    explicit GatewayFixture(InternetTimeouts timeouts = shortTimeouts())
    {
        if (!log.open(dir.root() + QStringLiteral("/debug.txt")).isEmpty() || !gateway.start())
            qFatal("fixture could not start");
        client = std::make_unique<HttpClient>(timeouts);
        pointAt(gateway.host());
        store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = ' User ', TAVpassword = ' Pw ', "
                                       "cdma_id = ' CDMAID ', gsm_id = 'GSMID', TAVisActive = 1"));
        state.setInternetChannel(true);
    }

    static InternetTimeouts shortTimeouts()
    {
        using namespace std::chrono_literals;
        InternetTimeouts t;
        t.request = 10000ms; // far beyond any answer here, however busy the machine
        t.firstPause = 200ms;
        t.longestPause = 800ms;
        return t;
    }

    void pointAt(const QString &host)
    {
        NetworkSettings s = NetworkSettings::load(store.db());
        s.gatewayHost = host;
        s.updateHost = host;
        s.save(store.db());
    }

    void setParallel(int requests)
    {
        NetworkSettings s = NetworkSettings::load(store.db());
        s.parallelRequests = requests;
        s.save(store.db());
    }

    QString logText() const
    {
        QFile f(log.path());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    qint64 add(const QString &mobile, const QString &text, const QString &route = QStringLiteral("Auto"),
               const QDateTime &due = {})
    {
        const EnqueueResult r = store.queue().addToQueue(mobile, text, route, due);
        if (!r)
            qFatal("addToQueue: %s", qPrintable(r.error));
        return r.id;
    }
    QueueRow row(qint64 id) { return *store.queue().row(id); }
};

} // namespace tavsms::test
