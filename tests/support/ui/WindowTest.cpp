#include "WindowTest.h"

#include "DataDirectory.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>

namespace tavsms::test {

namespace Boxes {

QList<QMessageBox *> open()
{
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            boxes << box;
    return boxes;
}

QMessageBox *find(const QString &text, const QString &title)
{
    for (QMessageBox *box : open())
        if (box->text() == text && (title.isEmpty() || box->windowTitle() == title))
            return box;
    return nullptr;
}

QMessageBox *waitFor(const QString &text, const QString &title, int timeoutMs)
{
    QMessageBox *found = nullptr;
    (void)QTest::qWaitFor([&] { return (found = find(text, title)) != nullptr; }, timeoutMs);
    return found;
}

void press(QMessageBox *box, QMessageBox::StandardButton button)
{
    if (QAbstractButton *b = box ? box->button(button) : nullptr)
        b->click();
}

void dismissAll()
{
    for (QMessageBox *box : open())
        press(box, QMessageBox::Ok);
}

void settle()
{
    auto reached = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(qApp, [reached] { *reached = true; }, Qt::QueuedConnection);
    (void)QTest::qWaitFor([reached] { return *reached; });
}

QString dump()
{
    QStringList lines;
    for (QMessageBox *box : open())
        lines << QStringLiteral("[%1] %2").arg(box->windowTitle(), box->text());
    return lines.join(QLatin1Char('\n'));
}

} // namespace Boxes

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
