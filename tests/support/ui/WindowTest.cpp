#include "WindowTest.h"

#include "DataDirectory.h"

#include <QFile>

namespace tavsms::test {

void WindowTest::init()
{
    m_dir = std::make_unique<TestDataDirectory>();
    QVERIFY(DataDirectory::ensureExists().isEmpty());
    setUp();
}

void WindowTest::makeDatabase()
{
    if (!QFile::exists(DataDirectory::databasePath()))
        (void)store();
}

void WindowTest::cleanup()
{
    Boxes::dismissAll();
    tearDown();
    m_program.reset();
    m_store.reset();
    m_dir.reset();
}

Store &WindowTest::store()
{
    if (m_program && m_program->app.hasStore())
        return m_program->app.store();
    if (!m_store) {
        const bool fresh = !QFile::exists(DataDirectory::databasePath());
        m_store = std::make_unique<Store>(DataDirectory::databasePath());
        if (fresh) // a free port: never 8081, beside another test or the operator's program
            m_store->db().exec(QStringLiteral("UPDATE config_network SET listenerPort = 0"));
    }
    return *m_store;
}

bool WindowTest::start()
{
    makeDatabase();
    m_store.reset(); // the program opens the file itself
    m_program = std::make_unique<WindowProgram>();
    return m_program->start() == Application::StartResult::Running;
}

QWidget *WindowTest::answer(const QString &text, const QString &title, QMessageBox::StandardButton button)
{
    QMessageBox *box = Boxes::waitFor(text, title);
    if (!box) {
        qWarning("no box \"%s\"; open: %s", qPrintable(text), qPrintable(Boxes::dump()));
        return nullptr;
    }
    QWidget *over = box->parentWidget();
    Boxes::press(box, button);
    Boxes::settle();
    return over;
}

} // namespace tavsms::test
