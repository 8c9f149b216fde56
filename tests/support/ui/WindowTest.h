#pragma once

#include "Application.h"
#include "MainWindow.h"
#include "MessageBoxPrompter.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QComboBox>
#include <QList>
#include <QMdiArea>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <memory>

namespace tavsms::test {

namespace Controls {

// A screen's control by its object name; a test that names a missing one stops at once.
template<typename T>
T *child(QWidget *screen, const char *name)
{
    T *found = screen->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s in %s", name, qPrintable(screen->objectName()));
    return found;
}

// The items of a list, top to bottom.
inline QStringList items(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// The operator picks an item of a list (which raises `activated`, as a
// click does). False when the list has no such item.
[[nodiscard]] inline bool choose(QComboBox *box, const QString &item)
{
    const int index = box->findText(item);
    if (index < 0)
        return false;
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
    return true;
}

} // namespace Controls

namespace Boxes {

// The message boxes on screen (offscreen in the suite: real boxes, shown and
// answered as an operator would), oldest first.
QList<QMessageBox *> open();
// The open box showing exactly this text (and this title, when given).
QMessageBox *find(const QString &text, const QString &title = QString());
// Waits, the event loop running, until such a box is open; null if none came.
QMessageBox *waitFor(const QString &text, const QString &title = QString(), int timeoutMs = 5000);
// Presses one of the box's buttons.
void press(QMessageBox *box, QMessageBox::StandardButton button);
// Presses OK on every open box.
void dismissAll();
// Runs the event loop until all that was posted before has been handled: an
// answer reaches the handler that asked on a later turn of the loop.
void settle();
// "[title] text" of every open box, for a readable failure message.
QString dump();

} // namespace Boxes

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

// The base of every window test. Each test function gets a fresh data
// directory; it may set the store up, build a screen on it, or start the
// whole program and open screens from their menu items. Every box still
// open at the end is answered OK, and the program goes before the directory.
class WindowTest : public QObject
{
    Q_OBJECT
protected:
    // Makes the database, its listener on a free port, unless it is there;
    // store() and start() do so when they are first called.
    void makeDatabase();
    // The store of the running program, or before start() one opened on the
    // same file for setting it up.
    Store &store();
    Database &db() { return store().db(); }
    TestDataDirectory &dir() { return *m_dir; }
    static QString dataFile(const QString &name) { return QStringLiteral(TAVSMS_TEST_DATA_DIR "/") + name; }

    // Starts the program on the data directory as it stands; true when it runs.
    [[nodiscard]] bool start();
    WindowProgram &program() { return *m_program; }
    MainWindow &window() { return m_program->window; }
    QMdiArea *frame() { return window().findChild<QMdiArea *>(); }
    QAction *action(const char *name) { return m_program->action(name); }

    // The item triggered as the operator does; the screen it opened (or
    // brought to the front), if it is a Screen.
    template<typename Screen = QWidget>
    Screen *open(const char *item)
    {
        action(item)->trigger();
        QMdiSubWindow *active = frame()->activeSubWindow();
        return active ? qobject_cast<Screen *>(active->widget()) : nullptr;
    }

    // Waits for the box showing this text (and title), presses the button and
    // returns the window the box stood over; null when no such box came.
    static QWidget *answer(const QString &text, const QString &title = {},
                           QMessageBox::StandardButton button = QMessageBox::Ok);

    // What a test class adds before and after each test function.
    virtual void setUp() {}
    virtual void tearDown() {}

private Q_SLOTS:
    void init();
    void cleanup();

private:
    std::unique_ptr<TestDataDirectory> m_dir;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<WindowProgram> m_program;
};

} // namespace tavsms::test
