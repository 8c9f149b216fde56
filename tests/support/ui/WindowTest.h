#pragma once

#include "Controls.h"
#include "MessageBoxes.h"
#include "Store.h"
#include "TestDataDirectory.h"
#include "WindowProgram.h"

#include <QMdiArea>
#include <QObject>

#include <memory>

namespace tavsms::test {

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
