// Saves a picture of the main window as the program shows it, for the README.
// usage: tavsms-screenshot OUT.png   (run it under a display, e.g. xvfb-run)
#include "MainController.h"
#include "MainWindow.h"
#include "MessageBoxPrompter.h"

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

    tavsms::MessageBoxPrompter prompter;
    tavsms::MainWindow window(prompter);
    if (window.controller().start() != tavsms::MainController::StartResult::Running)
        return 1;
    window.resize(1000, 640);
    window.show();
    QTimer::singleShot(1500, &app, [&] {
        const bool saved = window.grab().save(out);
        std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(out));
        QCoreApplication::exit(saved ? 0 : 1);
    });
    return app.exec();
}
