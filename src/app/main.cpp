// tavsms: the main window, or with --service the same program without a
// window (senders, poller, auto-reply, gateway and listener), for a machine
// with no display.
#include "AppIcon.h"
#include "Application.h"
#include "DataDirectory.h"
#include "MainWindow.h"
#include "MessageBoxPrompter.h"
#include "ServicePrompter.h"
#include "StoreLocation.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

using tavsms::Application;

void nameTheProgram()
{
    // The data directory (~/.local/share/tavsms) follows from the name.
    QCoreApplication::setApplicationName(QStringLiteral("tavsms"));
    QCoreApplication::setOrganizationName(QString());
}

bool haveDisplay()
{
    const auto set = [](const char *name) { return !qEnvironmentVariableIsEmpty(name); };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

bool wants(int argc, char *argv[], const char *option)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0)
            return true;
    return false;
}

// --store URL and --workstation NAME, else TAVSMS_STORE and tavsms.conf.
void chooseStore(Application &program)
{
    program.controller().setStoreLocation(tavsms::StoreLocation::choose(QCoreApplication::arguments()));
}

int runService(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    nameTheProgram();
    tavsms::ServicePrompter prompter;
    Application program(prompter);
    chooseStore(program);
    prompter.setLog(&program.debugLog());

    tavsms::TerminationSignals termination;
    QObject::connect(&termination, &tavsms::TerminationSignals::received, &program, &Application::requestQuit);
    QObject::connect(&program, &Application::quitFinished, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&program, &Application::fatalError, &app, [] { QCoreApplication::exit(1); });
    // The window's self-closing tips are one more line here.
    QObject::connect(&program, &Application::tipRequested, &app,
                     [&prompter](const QString &title, const QString &text, int) { prompter.plain(title, text); });

    if (program.start() != Application::StartResult::Running)
        return 1;
    program.debugLog().writeEvent(QStringLiteral(" Service started"));
    std::printf("TAVSMS service running; data directory %s; %s\n", qPrintable(tavsms::DataDirectory::path()),
                qPrintable(program.controller().storeDescription()));
    std::fflush(stdout);
    const int code = app.exec();
    std::printf("TAVSMS service stopped\n");
    return code;
}

int runWindow(int argc, char *argv[])
{
    QApplication app(argc, argv);
    nameTheProgram();
    QApplication::setWindowIcon(tavsms::AppIcon::icon());

    tavsms::MessageBoxPrompter prompter;
    Application program(prompter);
    chooseStore(program);
    tavsms::MainWindow window(program);

    // Leave with a failure code once the operator has read why (at once
    // where no box is on screen).
    const auto endAfterBoxes = [&prompter] {
        if (prompter.openBoxes() == 0)
            QCoreApplication::exit(1);
        else
            QObject::connect(&prompter, &tavsms::MessageBoxPrompter::allClosed, qApp,
                             [] { QCoreApplication::exit(1); });
    };
    QObject::connect(&program, &Application::fatalError, &app, [&window, endAfterBoxes] {
        window.hide();
        endAfterBoxes();
    });

    // SIGTERM or Ctrl-C in the terminal: the same orderly end as the service.
    tavsms::TerminationSignals termination;
    QObject::connect(&termination, &tavsms::TerminationSignals::received, &program, &Application::requestQuit);
    QObject::connect(&program, &Application::quitFinished, &app, [&window] {
        window.close();
        QCoreApplication::exit(0);
    });

    if (program.start() != Application::StartResult::Running) {
        if (prompter.openBoxes() == 0)
            return 1;
        endAfterBoxes();
        return app.exec();
    }
    prompter.setParentWidget(&window);
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    if (wants(argc, argv, "--help") || wants(argc, argv, "-h")) {
        std::printf("usage: %s [--service] [--store URL] [--workstation NAME]\n"
                    "  (no option)  the main window\n"
                    "  --service    the same program without a window or display: senders, incoming poller,\n"
                    "               auto-reply, Internet gateway and HTTP listener; notices go to standard\n"
                    "               output and debug.txt; SIGTERM or SIGINT ends it in order\n"
                    "  --store URL  keep the data in a PostgreSQL database shared with other workstations,\n"
                    "               postgresql://user@host/dbname?sslmode=require (else TAVSMS_STORE, else\n"
                    "               \"store = URL\" in ~/.config/tavsms/tavsms.conf; without any, the local file)\n"
                    "  --workstation NAME  this workstation's name on a shared store (default: the host name)\n"
                    "  --copy-store-to URL  copy the local file's every table into an empty PostgreSQL\n"
                    "               database, check the counts, and end\n",
                    argv[0]);
        return 0;
    }
    if (wants(argc, argv, "--service"))
        return runService(argc, argv);
    // Without a display Qt would abort with a platform-plugin error; say what to do instead.
    if (!haveDisplay()) {
        std::fprintf(stderr,
                     "TAVSMS needs a graphical display, and none was found. Start it under a virtual one "
                     "with: xvfb-run -a %s, or run it without a window: %s --service\n",
                     argv[0], argv[0]);
        return 1;
    }
    return runWindow(argc, argv);
}
