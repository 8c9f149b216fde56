// The modem channel's screens in the main window: incoming list and report,
// phone console, and the self-closing tip.
#include "DataDirectory.h"
#include "IncomingLog.h"
#include "MessageBoxes.h"
#include "Store.h"
#include "TestDataDirectory.h"
#include "TipWindow.h"
#include "WindowProgram.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "IncomingSmsWindow.h"
#include "ListenerPort.h"

using namespace tavsms;

class TestModemScreens : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestDataDirectory> m_dir;
    std::unique_ptr<test::WindowProgram> m_program;
    MainWindow *m_window = nullptr;

    QAction *action(const char *name) { return m_program->action(name); }

    void startWindow()
    {
        m_program = std::make_unique<test::WindowProgram>();
        m_window = &m_program->window;
        QCOMPARE(m_program->start(), Application::StartResult::Running);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        test::useFreeListenerPort(DataDirectory::databasePath());
    }
    void cleanup()
    {
        m_window = nullptr;
        m_program.reset();
        m_dir.reset();
    }

    void incomingListAndReport()
    {
        {
            Store store(DataDirectory::databasePath());
            IncomingLog log(store.db());
            log.insert({QDateTime(QDate(2024, 5, 1), QTime(9, 0)), QStringLiteral("COM1"),
                        QDateTime(QDate(2024, 5, 1), QTime(8, 59, 30)), QStringLiteral("9000000001"),
                        QStringLiteral("older")});
            log.insert({QDateTime(QDate(2024, 5, 2), QTime(14, 5, 6)), QStringLiteral("COM2"),
                        QDateTime(QDate(2024, 5, 2), QTime(14, 0)), QStringLiteral("9000000002"),
                        QStringLiteral("<b>newer</b> & it's")});
        }
        startWindow();
        action("mnuMsgIncSMS")->trigger();
        auto *screen = m_window->findChild<IncomingSmsWindow *>(QStringLiteral("frmIncomingSMS"));
        QVERIFY(screen);
        QCOMPARE(screen->windowTitle(), QStringLiteral("Incoming SMS"));
        QTableWidget *grid = screen->grid();
        QStringList captions;
        for (int c = 0; c < grid->columnCount(); ++c)
            captions << grid->horizontalHeaderItem(c)->text();
        QCOMPARE(captions, (QStringList{"Message Received", "Message Sent", "Sender's Number", "Message"}));
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("5/2/2024 2:05:06 PM"));
        QCOMPARE(grid->item(0, 0)->textAlignment(), int(Qt::AlignCenter));
        QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("5/2/2024 2:00:00 PM"));
        QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("<b>newer</b> & it's"));
        QCOMPARE(grid->item(1, 2)->text(), QStringLiteral("9000000001"));

        // The report carries the same rows, its markup escaped.
        const QString html = screen->reportHtml();
        QVERIFY(html.contains(QLatin1String("&lt;b&gt;newer&lt;/b&gt; &amp; it's")));
        QVERIFY(html.indexOf(QLatin1String("9000000002")) < html.indexOf(QLatin1String("9000000001")));

        const QString pdf = m_dir->root() + QStringLiteral("/incoming.pdf");
        QVERIFY(screen->saveReportPdf(pdf));
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");
        QVERIFY(file.size() > 1000);

        QVERIFY(!screen->saveReportPdf(m_dir->root() + QStringLiteral("/no/such/dir/x.pdf")));
        QCOMPARE(test::Boxes::open().size(), 1);
        QMessageBox *box = test::Boxes::open().first();
        QCOMPARE(box->windowTitle(), QStringLiteral("Error Occured"));
        QVERIFY(box->text().startsWith(QStringLiteral("Error Occured: File is not accessiable; ")));
        QCOMPARE(box->parentWidget(), screen); // over the screen that asked
    }

    void phoneConsoleIsReachable()
    {
        startWindow();
        QVERIFY(action("mnuHelpCST")->isVisible() && action("mnuHelpCST")->isEnabled());
        action("mnuHelpCST")->trigger();
        auto *console = m_window->findChild<QWidget *>(QStringLiteral("frmIncoming"));
        QVERIFY(console);
        QCOMPARE(console->windowTitle(), QStringLiteral("Backup Mobile SMS"));
        auto *types = console->findChild<QListWidget *>(QStringLiteral("lstMsgType"));
        QCOMPARE(types->count(), 2);
        QCOMPARE(types->item(0)->text(), QStringLiteral("UnRead"));
        QVERIFY(types->selectedItems().isEmpty());
        console->findChild<QPushButton *>(QStringLiteral("cmdSync"))->click();
        QMessageBox *box = test::Boxes::waitFor(QStringLiteral("Please select the message types"), QStringLiteral("Error"));
        QVERIFY(box);
        QCOMPARE(box->parentWidget(), console);
    }

    void missingPortShowsATipThatClosesItself()
    {
        {
            Store store(DataDirectory::databasePath());
            store.db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = '/nonexistent/tty0' "
                                           "WHERE softwarePortNo = 'COM1'"));
        }
        startWindow();
        auto *tip = m_window->findChild<TipWindow *>(QStringLiteral("frmTip"));
        QVERIFY(tip);
        QVERIFY(tip->isVisible());
        QCOMPARE(tip->windowTitle(), QStringLiteral("Tip"));
        QCOMPARE(tip->findChild<QLabel *>()->text(), QStringLiteral("You need to configure ports from File>>Configure Modem"));
        // It follows the critical box about the port and leaves it in view.
        QMessageBox *box = test::Boxes::open().value(0);
        QVERIFY(box);
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QVERIFY2(!tip->frameGeometry().intersects(box->frameGeometry()),
                 qPrintable(QStringLiteral("tip %1,%2 %3x%4 box %5,%6 %7x%8")
                                .arg(tip->x()).arg(tip->y()).arg(tip->width()).arg(tip->height())
                                .arg(box->x()).arg(box->y()).arg(box->width()).arg(box->height())));
        QVERIFY(m_window->frameGeometry().contains(tip->frameGeometry()));

        // Ten seconds, on a timer that closes it; run out early here.
        QCOMPARE(tip->closeTimer().interval(), 10000);
        QVERIFY(tip->closeTimer().isActive() && tip->closeTimer().isSingleShot());
        QPointer<QWidget> watched(tip);
        tip->closeTimer().start(50);
        QTRY_VERIFY_WITH_TIMEOUT(!watched, 2000);
    }
};

QTEST_MAIN(TestModemScreens)
#include "tst_modemscreens.moc"
