#pragma once

// Five simulated GSM modems in processes of their own (so that their work is
// not counted as the program's) and the whole program without its window,
// with its design timings.

#include "Application.h"
#include "DataDirectory.h"
#include "MainController.h"
#include "RecordingPrompter.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QEventLoop>

#include <cstdio>
#include <memory>
#include <vector>

namespace tavsms::bench {

struct ModemBenchRig
{
    test::TestDataDirectory dir;
    test::RecordingPrompter prompter;
    std::vector<std::unique_ptr<QProcess>> sims;
    std::unique_ptr<Application> app;
    MainController *controller = nullptr;

    ~ModemBenchRig()
    {
        app.reset();
        for (auto &p : sims) {
            p->terminate();
            p->waitForFinished(3000);
        }
    }

    // `pdu`: modems that speak PDU mode, on ports that chose it.
    bool startDevices(int count, bool twoWay, bool pdu = false)
    {
        if (!DataDirectory::ensureExists().isEmpty())
            return false;
        Store store(DataDirectory::databasePath());
        store.db().exec(QStringLiteral("UPDATE config_network SET listenerPort = 0")); // any free port
        for (int i = 0; i < count; ++i) {
            const QString link = dir.root() + QStringLiteral("/ttySIM%1").arg(i + 1);
            auto process = std::make_unique<QProcess>();
            process->setProgram(QStringLiteral(TAVSMS_MODEMSIM));
            QStringList arguments{QStringLiteral("--link"), link, QStringLiteral("--quiet")};
            if (pdu)
                arguments << QStringLiteral("--pdu");
            process->setArguments(arguments);
            process->start();
            if (!process->waitForStarted(5000))
                return false;
            QElapsedTimer clock;
            clock.start();
            while (!QFileInfo::exists(link) && clock.elapsed() < 5000)
                QThread::msleep(10); // set-up only, before anything is measured
            if (!QFileInfo::exists(link))
                return false;
            sims.push_back(std::move(process));
            store.db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = ?, "
                                           "deviceType = 'GSM Modem - TAV', mobileOperator = ?, allowTwoWay = ?, "
                                           "allowRouting = 1, pduMode = ? WHERE softwarePortNo = ?"),
                            {link, QStringLiteral("Sim %1").arg(i + 1), twoWay ? 1 : 0, pdu ? 1 : 0,
                             kSoftwarePorts.at(i)});
        }
        return true;
    }

    bool startProgram(ModemTimeouts timeouts = {})
    {
        app = std::make_unique<Application>(prompter, timeouts);
        controller = &app->controller();
        if (app->start() != Application::StartResult::Running)
            return false;
        QElapsedTimer clock;
        clock.start();
        while (controller->isInitializing() && clock.elapsed() < 30000)
            run(50);
        return !controller->isInitializing();
    }

    // Lets the event loop run (and sleep) for the given time; this is the
    // benchmark's own top-level loop.
    static void run(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
};

} // namespace tavsms::bench
