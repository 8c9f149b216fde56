// The modem channel's screens in the main window: incoming list and report,
// phone console, and the self-closing tip.
#include "DataDirectory.h"
#include "IncomingLog.h"
#include "MainController.h"
#include "MainWindow.h"
#include "RecordingPrompter.h"
#include "Store.h"
#include "TestDataDirectory.h"

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
    std::unique_ptr<test::RecordingPrompter> m_prompter;
    std::unique_ptr<MainWindow> m_window;

    QAction *action(const char *name) { return m_window->findChild<QAction *>(QString::fromLatin1(name)); }

    void startWindow()
    {
        m_window = std::make_unique<MainWindow>(*m_prompter);
        QCOMPARE(m_window->controller().start(), MainController::StartResult::Running);
        m_window->show();
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        m_prompter = std::make_unique<test::RecordingPrompter>();
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        test::useFreeListenerPort(DataDirectory::databasePath());
    }
    void cleanup()
    {
        m_window.reset();
        m_prompter.reset();
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
        QCOMPARE(m_prompter->entries().last().title, QStringLiteral("Error Occured"));
        QVERIFY(m_prompter->entries().last().text.startsWith(QStringLiteral("Error Occured: File is not accessiable; ")));
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
        QVERIFY(m_prompter->contains(QStringLiteral("Error"), QStringLiteral("Please select the message types")));
    }

    void missingPortShowsATipThatClosesItself()
    {
        {
            Store store(DataDirectory::databasePath());
            store.db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = '/nonexistent/tty0' "
                                           "WHERE softwarePortNo = 'COM1'"));
        }
        startWindow();
        QWidget *tip = m_window->findChild<QWidget *>(QStringLiteral("frmTip"));
        QVERIFY(tip);
        QVERIFY(tip->isVisible());
        QCOMPARE(tip->windowTitle(), QStringLiteral("Tip"));
        QCOMPARE(tip->findChild<QLabel *>()->text(), QStringLiteral("You need to configure ports from File>>Configure Modem"));
        QPointer<QWidget> watched(tip);
        QTest::qWait(9000);
        QVERIFY(watched && watched->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!watched, 2500);
    }
};

QTEST_MAIN(TestModemScreens)
#include "tst_modemscreens.moc"
