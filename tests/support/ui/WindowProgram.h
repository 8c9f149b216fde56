#pragma once

#include "Application.h"
#include "MainWindow.h"
#include "MessageBoxPrompter.h"

#include <QTest>

namespace tavsms::test {

// The program as main() puts it together: the application, the main window
// presenting it, and real message boxes over the window.
struct WindowProgram
{
    MessageBoxPrompter prompter;
    Application app{prompter};
    MainWindow window{app};

    WindowProgram() { prompter.setParentWidget(&window); }

    Application::StartResult start()
    {
        const Application::StartResult result = app.start();
        if (result == Application::StartResult::Running)
            window.show();
        return result;
    }
    MainController &controller() { return app.controller(); }
    QAction *action(const char *name) { return window.findChild<QAction *>(QString::fromLatin1(name)); }
};

} // namespace tavsms::test
