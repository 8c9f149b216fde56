// The modem channel's screens in the main window: the incoming list and its
// report, the phone console, the tip that closes itself; and "Auto Reply
// Settings", each control handing the form to its logic and showing the form
// it gets back, its boxes over it.
#include "AutoReplyWindow.h"
#include "IncomingLog.h"
#include "IncomingSmsWindow.h"
#include "PdfText.h"
#include "ReportWindow.h"
#include "TipWindow.h"
#include "WindowTest.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test::Controls;

class TestModemScreens : public test::WindowTest
{
    Q_OBJECT

    // The program running, COM1 active as "Airtel", the screen open.
    AutoReplyWindow *openWithAirtel()
    {
        if (!start())
            return nullptr;
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, mobileOperator = 'Airtel' "
                                 "WHERE softwarePortNo = 'COM1'"));
        db().exec(QStringLiteral("INSERT INTO groups (group_name) VALUES ('Friends')"));
        return open<AutoReplyWindow>("mnuMsgIncoming");
    }

private Q_SLOTS:
    void incomingListAndReport()
    {
        const QString longText = QStringLiteral("older, and long: ") + QString(140, QLatin1Char('x'));
        IncomingLog log(db());
        log.insert({QDateTime(QDate(2024, 5, 1), QTime(9, 0)), QStringLiteral("COM1"),
                    QDateTime(QDate(2024, 5, 1), QTime(8, 59, 30)), QStringLiteral("9000000001"), longText});
        log.insert({QDateTime(QDate(2024, 5, 2), QTime(14, 5, 6)), QStringLiteral("COM2"),
                    QDateTime(QDate(2024, 5, 2), QTime(14, 0)), QStringLiteral("9000000002"),
                    QStringLiteral("<b>newer</b> & it's")});
        QVERIFY(start());
        auto *screen = open<IncomingSmsWindow>("mnuMsgIncSMS");
        QVERIFY(screen);
        const QAbstractItemModel *model = screen->grid()->model();
        QCOMPARE(model->rowCount(), 2);

        // Newest first; the dates as the operator reads them; a message's tip holds all of it.
        const struct { int row, column, role; QString value; } cells[] = {
            {0, 1, Qt::DisplayRole, QStringLiteral("5/2/2024 2:00:00 PM")},
            {0, 3, Qt::DisplayRole, QStringLiteral("<b>newer</b> & it's")},
            {1, 3, Qt::ToolTipRole, longText},
            {1, 2, Qt::ToolTipRole, QString()},
        };
        for (const auto &c : cells)
            QCOMPARE(model->index(c.row, c.column).data(c.role).toString(), c.value);
        QCOMPARE(model->index(0, 0).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));

        // "Print" opens the report on the same rows, newest first, the text as stored.
        QTest::mouseClick(screen->findChild<QPushButton *>(QStringLiteral("cmdPrint")), Qt::LeftButton);
        ReportWindow *report = screen->report();
        QVERIFY(report && report->isVisible());
        const QString pdf = dir().root() + QStringLiteral("/incoming.pdf");
        QVERIFY(QCoro::waitFor(report->savePdf(pdf)));
        QCOMPARE(answer(QStringLiteral("The report was saved to ") + pdf), report);
        const QString text = test::pdfText(pdf);
        for (const char *expected : {"Message Received", "Sender's Number", "<b>newer</b> & it's", "5/1/2024 9:00:00 AM"})
            QVERIFY2(text.contains(QLatin1String(expected)), expected);
        QVERIFY(text.indexOf(QLatin1String("9000000002")) < text.indexOf(QLatin1String("9000000001")));

        QVERIFY(!QCoro::waitFor(report->savePdf(dir().root() + QStringLiteral("/no/such/dir/x.pdf"))));
        QCOMPARE(test::Boxes::open().value(0)->parentWidget(), report);
    }

    // A page that cannot be read is told over the list; the rows shown stay.
    void anUnreadablePageIsToldOverTheList()
    {
        {
            Transaction tx(db());
            IncomingLog log(db());
            const QDateTime at(QDate(2024, 5, 1), QTime(9, 0));
            for (int i = 0; i < 250; ++i)
                log.insert({at, QStringLiteral("COM1"), at, QStringLiteral("9000000000"), QStringLiteral("m")});
            tx.commit();
        }
        QVERIFY(start());
        auto *screen = open<IncomingSmsWindow>("mnuMsgIncSMS");
        QVERIFY(screen);
        const int shown = screen->grid()->model()->rowCount();
        QVERIFY(shown < 250);
        db().execScript(QStringLiteral("ALTER TABLE incoming_logs RENAME TO gone"));
        screen->grid()->scrollToBottom();
        QTRY_COMPARE(test::Boxes::open().size(), 1);
        QMessageBox *box = test::Boxes::open().first();
        QVERIFY2(box->text().contains(QLatin1String("no such table")), qPrintable(box->text()));
        QCOMPARE(box->parentWidget(), screen);
        QCOMPARE(screen->grid()->model()->rowCount(), shown);
    }

    void phoneConsoleToldOverItself()
    {
        QVERIFY(start());
        QWidget *console = open("mnuHelpCST");
        QVERIFY(console);
        console->findChild<QPushButton *>(QStringLiteral("cmdSync"))->click();
        QCOMPARE(answer(QStringLiteral("Please select the message types")), console);
    }

    void missingPortShowsATipThatClosesItself()
    {
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = '/nonexistent/tty0' "
                                 "WHERE softwarePortNo = 'COM1'"));
        QVERIFY(start());
        auto *tip = window().findChild<TipWindow *>(QStringLiteral("frmTip"));
        QVERIFY(tip && tip->isVisible());
        QCOMPARE(tip->findChild<QLabel *>()->text(), QStringLiteral("You need to configure ports from File>>Configure Modem"));
        // It follows the critical box about the port and leaves it in view.
        QMessageBox *box = test::Boxes::open().value(0);
        QVERIFY(box);
        QVERIFY(!tip->frameGeometry().intersects(box->frameGeometry()));
        QVERIFY(window().frameGeometry().contains(tip->frameGeometry()));

        // Ten seconds, on a timer that closes it; run out early here.
        QCOMPARE(tip->closeTimer().interval(), 10000);
        QVERIFY(tip->closeTimer().isActive() && tip->closeTimer().isSingleShot());
        QPointer<QWidget> watched(tip);
        tip->closeTimer().start(0);
        QTRY_VERIFY(!watched);
    }

    void controlsDriveTheLogic()
    {
        AutoReplyWindow *screen = openWithAirtel();
        QVERIFY(screen);
        auto *keywords = child<QComboBox>(screen, "cboKeyword");
        auto *url = child<QLineEdit>(screen, "txtUrl");
        auto *reply = child<QPlainTextEdit>(screen, "txtReply");

        // The URL box follows the option however it is chosen; leaving it tidies it.
        QVERIFY(!url->isEnabled());
        child<QRadioButton>(screen, "optPush")->setChecked(true);
        QVERIFY(url->isEnabled());
        QTest::keyClicks(url, QStringLiteral("HTTP://X/?a=@@SENDER@@"));
        emit url->editingFinished();
        QCOMPARE(url->text(), QStringLiteral("http://x/?a=@@sender@@"));
        child<QRadioButton>(screen, "optNoAction")->click();
        QVERIFY(!url->isEnabled() && url->text().isEmpty());

        // Create Key: the action table shows the new keyword, chosen.
        QTest::keyClicks(child<QLineEdit>(screen, "txtKeyword"), QStringLiteral("join"));
        child<QPushButton>(screen, "cmdCreateKey")->click();
        QCOMPARE(answer(QStringLiteral("Keyword has been created.")), screen);
        QVERIFY(child<QLineEdit>(screen, "txtKeyword")->text().isEmpty());
        QCOMPARE(child<QComboBox>(screen, "cboActionConnection")->currentText(), QStringLiteral("Airtel"));
        QCOMPARE(items(keywords), QStringList{QStringLiteral("join")});

        // Save Key Action takes the form as it stands and keeps showing it.
        child<QRadioButton>(screen, "optAdd")->click();
        reply->setPlainText(QStringLiteral("Welcome"));
        child<QPushButton>(screen, "cmdSave")->click();
        QCOMPARE(answer(QStringLiteral("Keyword details has been updated!")), screen);
        QCOMPARE(db().scalar(QStringLiteral("SELECT group_name || '|' || auto_reply_response FROM auto_reply")).toString(),
                 QStringLiteral("Friends|Welcome"));
        QVERIFY(child<QRadioButton>(screen, "optAdd")->isChecked());

        // A failed check puts the cursor where the fault is.
        reply->clear();
        child<QPushButton>(screen, "cmdSave")->click();
        QCOMPARE(answer(QStringLiteral("You should specify some reply message.")), screen);
        QCOMPARE(screen->focusWidget(), reply);

        // Delete Keyword, once asked.
        child<QPushButton>(screen, "cmdDelete")->click();
        QCOMPARE(answer(QStringLiteral("Are you sure to delete keyword join?")), screen);
        QCOMPARE(answer(QStringLiteral("Keyword has been deleted.")), screen);
        QCOMPARE(keywords->currentText(), QStringLiteral("No More Keywords"));
    }

    void aQuestionLeftOpenByAClosedScreenDeletesNothing()
    {
        db().exec(QStringLiteral("INSERT INTO auto_reply (auto_reply_keyword, com_port) VALUES ('stop', 'COM1')"));
        AutoReplyWindow *screen = openWithAirtel();
        QVERIFY(screen);
        QVERIFY(choose(child<QComboBox>(screen, "cboActionConnection"), QStringLiteral("Airtel")));
        child<QPushButton>(screen, "cmdDelete")->click();
        QPointer<QMessageBox> box = test::Boxes::waitFor(QStringLiteral("Are you sure to delete keyword stop?"));
        QVERIFY(box);
        frame()->closeAllSubWindows();
        QTRY_VERIFY(!box);
        test::Boxes::settle();
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM auto_reply")).toInt(), 1);
    }
};

QTEST_MAIN(TestModemScreens)
#include "tst_modemscreens.moc"
