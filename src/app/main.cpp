// tavsms: the main window, or with --service the same program without a
// window (senders, poller, auto-reply, gateway and listener), for a machine
// with no display.
#include "AppIcon.h"
#include "Application.h"
#include "DataDirectory.h"
#include "MainWindow.h"
#include "MessageBoxPrompter.h"
#include "Progress.h"
#include "ServicePrompter.h"
#include "SingleInstance.h"
#include "StoreCopy.h"
#include "StoreLocation.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>

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

// A line per table, and for a long one every tenth of the way.
class ConsoleProgress : public tavsms::Progress
{
public:
    void begin(const QString &label, qint64 total) override
    {
        m_label = label;
        m_total = total;
        m_shown = 0;
        std::printf("%s: %lld %s\n", qPrintable(label), static_cast<long long>(total), total == 1 ? "row" : "rows");
        std::fflush(stdout);
    }
    void advance(qint64 done) override
    {
        if (m_total < 10000 || done * 10 / m_total == m_shown)
            return;
        m_shown = done * 10 / m_total;
        std::printf("%s: %lld of %lld\n", qPrintable(m_label), static_cast<long long>(done),
                    static_cast<long long>(m_total));
        std::fflush(stdout);
    }
    bool cancelRequested() const override { return false; }
    void end() override {}

private:
    QString m_label;
    qint64 m_total = 0;
    qint64 m_shown = 0;
};

int runCopy(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    nameTheProgram();
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype at = arguments.indexOf(QStringLiteral("--copy-store-to"));
    const QString url = at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
    if (!url.startsWith(QLatin1String("postgresql://")) && !url.startsWith(QLatin1String("postgres://"))) {
        std::fprintf(stderr, "--copy-store-to needs a PostgreSQL URL: postgresql://user@host/dbname\n");
        return 2;
    }
    const tavsms::StoreLocation where = tavsms::StoreLocation::choose(arguments);
    if (!where.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(where.error));
        return 1;
    }
    // A program writing the file meanwhile would leave a torn copy; it also
    // keeps any other from starting until the copy is done.
    tavsms::SingleInstance instance(QDir(tavsms::DataDirectory::path()).filePath(QStringLiteral("tavsms.lock")));
    if (QDir(tavsms::DataDirectory::path()).exists() && !instance.acquire()) {
        std::fprintf(stderr, "TAVSMS is running with the data directory %s. Close it, then copy again.\n",
                     qPrintable(tavsms::DataDirectory::path()));
        return 1;
    }
    std::printf("Copying %s to %s as the workstation \"%s\"\n", qPrintable(tavsms::DataDirectory::databasePath()),
                qPrintable(tavsms::StoreLocation::withoutPassword(url)), qPrintable(where.workstation));
    std::fflush(stdout);
    ConsoleProgress progress;
    const tavsms::StoreCopy::Outcome outcome =
        tavsms::StoreCopy(tavsms::DataDirectory::databasePath(), url, where.workstation).run(progress);
    if (!outcome.ok()) {
        std::fprintf(stderr, "The copy failed: %s\n", qPrintable(outcome.error));
        return 1;
    }
    std::printf("Copied to %s; rows on both sides:\n", qPrintable(outcome.target));
    for (const tavsms::StoreCopy::TableCount &table : outcome.tables)
        std::printf("  %-36s %lld\n", qPrintable(table.table), static_cast<long long>(table.target));
    std::printf("Start TAVSMS with --store %s --workstation \"%s\" (or put both in %s).\n",
                qPrintable(tavsms::StoreLocation::withoutPassword(url)), qPrintable(where.workstation),
                qPrintable(tavsms::StoreLocation::configPath()));
    return 0;
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
    if (wants(argc, argv, "--copy-store-to"))
        return runCopy(argc, argv);
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
