// Saves a picture of the main window as the program shows it, for the README,
// optionally with one screen opened from its menu item (e.g. mnuMsgIncoming).
// usage: tavsms-screenshot OUT.png [MENU_ITEM]   (under a display, e.g. xvfb-run)
#include "AppIcon.h"
#include "Application.h"
#include "MainWindow.h"
#include "MessageBoxPrompter.h"

#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavsms"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);

    QApplication::setWindowIcon(tavsms::AppIcon::icon());
    tavsms::MessageBoxPrompter prompter;
    tavsms::Application program(prompter);
    tavsms::MainWindow window(program);
    prompter.setParentWidget(&window);
    if (program.start() != tavsms::Application::StartResult::Running)
        return 1;
    window.resize(1000, 640);
    window.show();
    if (argc > 2) {
        QAction *item = window.findChild<QAction *>(QString::fromLatin1(argv[2]));
        if (!item) {
            std::fprintf(stderr, "no menu item %s\n", argv[2]);
            return 2;
        }
        QTimer::singleShot(300, item, &QAction::trigger);
    }
    QTimer::singleShot(1500, &app, [&] {
        const bool saved = window.grab().save(out);
        std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(out));
        QCoreApplication::exit(saved ? 0 : 1);
    });
    return app.exec();
}
