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
#include <QTableView>
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
        const QString longText = QStringLiteral("older, and long: ") + QString(140, QLatin1Char('x'));
        {
            Store store(DataDirectory::databasePath());
            IncomingLog log(store.db());
            log.insert({QDateTime(QDate(2024, 5, 1), QTime(9, 0)), QStringLiteral("COM1"),
                        QDateTime(QDate(2024, 5, 1), QTime(8, 59, 30)), QStringLiteral("9000000001"), longText});
            log.insert({QDateTime(QDate(2024, 5, 2), QTime(14, 5, 6)), QStringLiteral("COM2"),
                        QDateTime(QDate(2024, 5, 2), QTime(14, 0)), QStringLiteral("9000000002"),
                        QStringLiteral("<b>newer</b> & it's")});
        }
        startWindow();
        action("mnuMsgIncSMS")->trigger();
        auto *screen = m_window->findChild<IncomingSmsWindow *>(QStringLiteral("frmIncomingSMS"));
        QVERIFY(screen);
        QCOMPARE(screen->windowTitle(), QStringLiteral("Incoming SMS"));
        QTableView *grid = screen->grid();
        QCOMPARE(grid->objectName(), QStringLiteral("DataGrid1"));
        const QAbstractItemModel *model = grid->model();
        QStringList captions;
        for (int c = 0; c < model->columnCount(); ++c)
            captions << model->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(captions, (QStringList{"Message Received", "Message Sent", "Sender's Number", "Message"}));
        QCOMPARE(model->rowCount(), 2);
        const auto cell = [model](int row, int column, int role = Qt::DisplayRole) {
            return model->index(row, column).data(role);
        };
        QCOMPARE(cell(0, 0).toString(), QStringLiteral("5/2/2024 2:05:06 PM"));
        QCOMPARE(cell(0, 0, Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        QCOMPARE(cell(0, 1).toString(), QStringLiteral("5/2/2024 2:00:00 PM"));
        QCOMPARE(cell(0, 1, Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask, int(Qt::AlignLeft));
        QCOMPARE(cell(0, 3).toString(), QStringLiteral("<b>newer</b> & it's"));
        QCOMPARE(cell(1, 2).toString(), QStringLiteral("9000000001"));
        QCOMPARE(cell(1, 0).toString(), QStringLiteral("5/1/2024 9:00:00 AM"));
        // The message column is narrower than a long message; its tip holds all of it.
        QCOMPARE(cell(1, 3).toString(), longText);
        QCOMPARE(cell(1, 3, Qt::ToolTipRole).toString(), longText);
        QCOMPARE(cell(0, 3, Qt::ToolTipRole).toString(), QStringLiteral("<b>newer</b> & it's"));
        QVERIFY(!cell(1, 2, Qt::ToolTipRole).isValid());

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

    void incomingListReadsAPageAtATime()
    {
        {
            Store store(DataDirectory::databasePath());
            Transaction tx(store.db());
            IncomingLog log(store.db());
            const QDateTime start(QDate(2024, 5, 1), QTime(9, 0));
            for (int i = 0; i < 450; ++i)
                log.insert({start.addSecs(i / 3), QStringLiteral("COM1"), start,
                            QStringLiteral("90000%1").arg(i, 5, 10, QLatin1Char('0')), QStringLiteral("message %1").arg(i)});
            tx.commit();
        }
        startWindow();
        action("mnuMsgIncSMS")->trigger();
        auto *screen = m_window->findChild<IncomingSmsWindow *>(QStringLiteral("frmIncomingSMS"));
        QVERIFY(screen);
        QTableView *grid = screen->grid();
        QAbstractItemModel *model = grid->model();
        QCOMPARE(model->rowCount(), 200);
        QCOMPARE(model->index(0, 3).data().toString(), QStringLiteral("message 449"));
        grid->scrollToBottom();
        QTRY_COMPARE(model->rowCount(), 400);
        QCOMPARE(model->index(399, 3).data().toString(), QStringLiteral("message 50"));
        QVERIFY(m_prompter->entries().isEmpty());

        // A page that cannot be read is reported; the rows shown stay.
        m_window->controller().store().db().execScript(QStringLiteral("ALTER TABLE incoming_logs RENAME TO gone"));
        grid->scrollToBottom();
        QTRY_COMPARE(m_prompter->count(), 1);
        QCOMPARE(m_prompter->entries().last().title, QStringLiteral("Error Occured"));
        QVERIFY2(m_prompter->entries().last().text.contains(QLatin1String("no such table")),
                 qPrintable(m_prompter->entries().last().text));
        QCOMPARE(model->rowCount(), 400);
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
