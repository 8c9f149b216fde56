#include "MainController.h"
#include "MainWindow.h"
#include "MessageBoxPrompter.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// Without a display Qt would abort with a platform-plugin error; say what to do instead.
bool haveDisplay()
{
    const auto set = [](const char *name) { return qEnvironmentVariableIsSet(name) && !qEnvironmentVariableIsEmpty(name); };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char *argv[])
{
    if (!haveDisplay()) {
        std::fprintf(stderr, "TAVSMS needs a graphical display, and none was found; "
                             "start it under a virtual one with: xvfb-run -a %s\n",
                     argv[0]);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavsms"));
    QApplication::setOrganizationName(QString());
    QApplication::setApplicationDisplayName(QStringLiteral("TAVSMS"));

    tavsms::MessageBoxPrompter prompter;
    tavsms::MainWindow window(prompter);

    // Leave with a failure code once the operator has read why (at once
    // where no box is on screen).
    const auto endAfterBoxes = [&prompter] {
        if (prompter.openBoxes() == 0)
            QCoreApplication::exit(1);
        else
            QObject::connect(&prompter, &tavsms::MessageBoxPrompter::allClosed, qApp,
                             [] { QCoreApplication::exit(1); });
    };
    QObject::connect(&window, &tavsms::MainWindow::fatalError, &app, endAfterBoxes);

    if (window.controller().start() != tavsms::MainController::StartResult::Running) {
        if (prompter.openBoxes() == 0)
            return 1;
        endAfterBoxes();
        return app.exec();
    }
    prompter.setParentWidget(&window);
    window.show();
    return app.exec();
}
