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
#include <QTableView>
#include <QTest>

#include "IncomingSmsWindow.h"
#include "PdfText.h"
#include "ReportWindow.h"
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

        // "Print" opens the report window on the same rows, newest first,
        // the text as stored.
        screen->findChild<QPushButton *>(QStringLiteral("cmdPrint"))->click();
        ReportWindow *report = screen->report();
        QVERIFY(report);
        QCOMPARE(report->objectName(), QStringLiteral("rptIncomingSMS"));
        QCOMPARE(report->windowTitle(), QStringLiteral("Incoming SMS"));
        QVERIFY(report->isVisible());

        const QString pdf = m_dir->root() + QStringLiteral("/incoming.pdf");
        QVERIFY(QCoro::waitFor(report->savePdf(pdf)));
        QMessageBox *saved = test::Boxes::waitFor(QStringLiteral("The report was saved to ") + pdf, "Success");
        QVERIFY(saved);
        test::Boxes::press(saved, QMessageBox::Ok);
        const QString text = test::pdfText(pdf);
        for (const char *heading : {"Message Received", "Message Sent", "Sender's Number", "Message"})
            QVERIFY2(text.contains(QLatin1String(heading)), heading);
        QVERIFY2(text.contains(QLatin1String("<b>newer</b> & it's")), qPrintable(text));
        QVERIFY(text.indexOf(QLatin1String("9000000002")) < text.indexOf(QLatin1String("9000000001")));
        QVERIFY(text.contains(QLatin1String("5/1/2024 9:00:00 AM")));
        QVERIFY(text.contains(QLatin1String("Report Generated by TAVSMS Bulk SMS Software. visit www.tavsms.com")));
        QCOMPARE(text.count(QLatin1String("End of Report")), 1);

        const QString unwritable = m_dir->root() + QStringLiteral("/no/such/dir/x.pdf");
        QVERIFY(!QCoro::waitFor(report->savePdf(unwritable)));
        QCOMPARE(test::Boxes::open().size(), 1);
        QMessageBox *box = test::Boxes::open().first();
        QCOMPARE(box->windowTitle(), QStringLiteral("Error Occured"));
        QVERIFY2(box->text().startsWith(QStringLiteral("The report cannot be saved as ") + unwritable),
                 qPrintable(box->text()));
        QCOMPARE(box->parentWidget(), report); // over the window that asked
        QVERIFY(!QFile::exists(unwritable));
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
        QVERIFY(test::Boxes::open().isEmpty());

        // A page that cannot be read is reported; the rows shown stay.
        m_program->app.store().db().execScript(QStringLiteral("ALTER TABLE incoming_logs RENAME TO gone"));
        grid->scrollToBottom();
        QTRY_COMPARE(test::Boxes::open().size(), 1);
        QMessageBox *box = test::Boxes::open().first();
        QCOMPARE(box->windowTitle(), QStringLiteral("Error Occured"));
        QVERIFY2(box->text().contains(QLatin1String("no such table")), qPrintable(box->text()));
        QCOMPARE(box->parentWidget(), screen);
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
