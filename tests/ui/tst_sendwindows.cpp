// The screens that queue messages, through their controls and real boxes:
// the single and group sends (on a store set up as a test needs it);
// "Schedule Message Delivery" (the preview, the recipient choice, the number
// check, the typing limit and Save); "Dynamic SMS", whose "Merge Data" opens
// the merged rows and "Send SMS" queues them; a file's rows previewed and
// queued (in the running program).
#include "ComposeFixture.h"
#include "LimitedTextEdit.h"
#include "QueueLog.h"
#include "ScheduleWindow.h"
#include "SendGroupWindow.h"
#include "SendSingleWindow.h"
#include "SmsPdu.h"
#include "WindowTest.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

using namespace tavsms;
using namespace tavsms::test::Controls;

class TestSendWindows : public test::WindowTest
{
    Q_OBJECT

    std::unique_ptr<test::ComposeFixture> f; // the store of the tests without the program
    void tearDown() override { f.reset(); }

    // The counter and the label beside it, as one reads them.
    static QString shown(QWidget *screen)
    {
        return child<QLabel>(screen, "lblCounter")->text() + child<QLabel>(screen, "lblLimit")->text();
    }

    QWidget *merged() { return window().findChild<QWidget *>(QStringLiteral("frmDynaShowGrp")); }
    static void fill(QWidget *screen, const char *numbers, const char *data2, const char *data3)
    {
        child<QPlainTextEdit>(screen, "txtData1")->setPlainText(QString::fromUtf8(numbers));
        child<QPlainTextEdit>(screen, "txtData2")->setPlainText(QString::fromUtf8(data2));
        child<QPlainTextEdit>(screen, "txtData3")->setPlainText(QString::fromUtf8(data3));
        QTest::mouseClick(child<QPushButton>(screen, "cmdMerge"), Qt::LeftButton);
    }

private Q_SLOTS:
    void singleScreenFromGroupToQueue()
    {
        f = std::make_unique<test::ComposeFixture>();
        f->presentPort(0, QStringLiteral("Airtel"), QStringLiteral("GSM Modem - TAV"));
        f->presentPort(2, QStringLiteral("Reliance"), QStringLiteral("CDMA Mobile - Nokia"));
        f->addMember(f->addGroup(QStringLiteral("Staff")), QStringLiteral("9876543210"), QStringLiteral("Ram"));
        Templates(f->db()).add(QStringLiteral("Meeting"), QStringLiteral("Meeting at five"));
        SendSingleWindow screen(f->store, f->state);
        screen.show();
        auto *number = child<QComboBox>(&screen, "cboNumber");
        auto *message = child<LimitedTextEdit>(&screen, "txtMessage");
        auto *tree = child<QTreeWidget>(&screen, "tvTemplates");

        // The connection sets the limit; the group, the numbers; a template, the text.
        QCOMPARE(shown(&screen), QStringLiteral("0/130")); // the last present port is CDMA
        QVERIFY(choose(child<QComboBox>(&screen, "cboModem"), QStringLiteral("Airtel")));
        QCOMPARE(shown(&screen), QStringLiteral("0/160"));
        QVERIFY(choose(child<QComboBox>(&screen, "cboGroup"), QStringLiteral("Staff")));
        QCOMPARE(items(number), QStringList{"9876543210 -- Ram"});
        emit tree->itemClicked(tree->topLevelItem(0)->child(0), 0);
        QCOMPARE(message->toPlainText(), QStringLiteral("Meeting at five"));
        QCOMPARE(shown(&screen), QStringLiteral("15/160"));

        // Typing stops at the limit.
        message->setFocus();
        QTest::keyClick(message, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(message, QString(200, QLatin1Char('x')));
        QCOMPARE(message->toPlainText().size(), 160);

        number->setEditText(QStringLiteral("98765"));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdSend"), Qt::LeftButton);
        QCOMPARE(answer(QStringLiteral("Please enter a valid number.")), &screen);
        QVERIFY(screen.focusWidget() == number || screen.focusWidget() == number->lineEdit());

        number->setCurrentIndex(0);
        message->setPlainText(QStringLiteral("See you\nat five"));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdSend"), Qt::LeftButton);
        QCOMPARE(answer(QStringLiteral("Message Queued for Delivery.")), &screen);
        QCOMPARE(test::QueueLog(f->db()).rows(QStringLiteral("outgoing_mobileNo, com_port, outgoing_message")),
                 QStringList{"9876543210|COM1|See you at five"});
        QCOMPARE(message->toPlainText(), QStringLiteral("See you\nat five")); // kept for another send
    }

    // A port in PDU mode counts characters and parts and takes up to ten
    // parts; every other connection keeps the count against 160 or 130.
    void counterShowsPartsOnAPduPort()
    {
        f = std::make_unique<test::ComposeFixture>();
        f->presentPort(0, QStringLiteral("Airtel"), QStringLiteral("GSM Modem - TAV"));
        f->presentPort(1, QStringLiteral("Jio"), QStringLiteral("GSM Modem - Other"), true);
        SendSingleWindow screen(f->store, f->state);
        screen.show();
        auto *modems = child<QComboBox>(&screen, "cboModem");
        auto *message = child<LimitedTextEdit>(&screen, "txtMessage");
        QCOMPARE(shown(&screen), QStringLiteral("0/160")); // Auto with a text-mode port among the ports

        QVERIFY(choose(modems, QStringLiteral("Jio")));
        QCOMPARE(shown(&screen), QStringLiteral("0 / 1 SMS"));

        const QString greeting = QStringLiteral("नमस्ते ");
        QString full = greeting.repeated(95);
        while (SmsPdu::plan(full + QStringLiteral("क")).parts == SmsPdu::kMaxParts)
            full += QStringLiteral("क");
        const struct { QString text, shown; } counts[] = {
            {greeting.repeated(10) + QStringLiteral("धन्यवाद"), QStringLiteral("77 / 2 SMS")},
            {full, QStringLiteral("%1 / 10 SMS").arg(full.size())},
            // A text the program sets is never cut; the counter says it is too long.
            {full + QStringLiteral("और"), QStringLiteral("%1 / more than 10 SMS").arg(full.size() + 2)},
        };
        for (const auto &c : counts) {
            message->setPlainText(c.text);
            QCOMPARE(shown(&screen), c.shown);
        }

        // Typing and pasting stop where ten parts are full.
        message->setPlainText(full);
        message->setFocus();
        QTest::keyClick(message, Qt::Key_End, Qt::ControlModifier);
        QTest::sendKeyEvent(QTest::Click, message, Qt::Key_unknown, QStringLiteral("ग"), Qt::NoModifier);
        QTest::keyClicks(message, QStringLiteral("abc"));
        QCOMPARE(message->toPlainText(), full);
        message->clear();
        QApplication::clipboard()->setText(full + QStringLiteral("और बहुत कुछ"));
        message->paste();
        QCOMPARE(message->toPlainText(), full);

        // Another connection: the old count.
        QVERIFY(choose(modems, QStringLiteral("Airtel")));
        message->setPlainText(QStringLiteral("Meeting at five"));
        QCOMPARE(shown(&screen), QStringLiteral("15/160"));

        // Auto counts parts when every port found is in PDU mode; so does the
        // group screen, which without a group cannot send.
        f->state.port(0).pdu = true;
        SendGroupWindow allPdu(f->store, f->state);
        allPdu.show();
        child<LimitedTextEdit>(&allPdu, "txtMessage")->setPlainText(greeting);
        QCOMPARE(shown(&allPdu), QStringLiteral("7 / 1 SMS"));
        QVERIFY(!child<QPushButton>(&allPdu, "cmdSend")->isEnabled());
    }

    // Cancel on the progress bar stops a group send between two chunks, and
    // the box tells how many went into the queue.
    void groupScreenCancelledFromItsProgressBar()
    {
        f = std::make_unique<test::ComposeFixture>();
        f->addMembers(f->addGroup(QStringLiteral("Everyone")), 10000);
        SendGroupWindow screen(f->store, f->state);
        screen.show();
        child<LimitedTextEdit>(&screen, "txtMessage")->setPlainText(QStringLiteral("Sale today"));
        auto *send = child<QPushButton>(&screen, "cmdSend");
        QTest::mouseClick(send, Qt::LeftButton);
        QVERIFY(!send->isEnabled());
        QVERIFY(screen.progress().dialog());
        screen.progress().dialog()->findChild<QPushButton *>()->click();
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = test::Boxes::open().value(0)) != nullptr);
        const qint64 rows = test::QueueLog(f->db()).count();
        QVERIFY(rows > 0 && rows < 10000);
        QCOMPARE(box->text(), QStringLiteral("Queueing was cancelled: %1 of 10000 messages were queued.").arg(rows));
        QCOMPARE(box->parentWidget(), &screen);
        test::Boxes::press(box, QMessageBox::Ok);
        QVERIFY(send->isEnabled());
        QVERIFY(!screen.progress().dialog());
    }

    void schedulesASeriesThroughTheScreen()
    {
        QVERIFY(start());
        QApplication::setActiveWindow(&window());
        auto *screen = open<ScheduleWindow>("mnuMsgSch");
        QVERIFY(screen);
        auto *number = child<QLineEdit>(screen, "txtNumber");
        auto *groups = child<QComboBox>(screen, "cboGroup");
        auto *message = child<QPlainTextEdit>(screen, "txtMessage");
        auto *count = child<QLabel>(screen, "lblCount");
        QVERIFY(!number->isEnabled() && !groups->isEnabled());
        QCOMPARE(child<QLabel>(screen, "lblLimit")->text(), QStringLiteral("/160"));

        // Every list of both times goes into the preview.
        const QString year = QString::number(QDate::currentDate().year() + 1);
        for (const auto &[list, value] : {std::pair{"Day", QStringLiteral("12")}, {"Month", QStringLiteral("1")},
                                          {"Year", year}})
            for (const char *time : {"cboStart", "cboEnd"})
                QVERIFY(choose(child<QComboBox>(screen, qPrintable(QLatin1String(time) + QLatin1String(list))), value));
        QVERIFY(choose(child<QComboBox>(screen, "cboStartHour"), QStringLiteral("10")));
        QVERIFY(choose(child<QComboBox>(screen, "cboEndHour"), QStringLiteral("11")));
        QVERIFY(choose(child<QComboBox>(screen, "cboFrequency"), QStringLiteral("Every 15 Minutes")));
        QCOMPARE(child<QLabel>(screen, "lblOccurances")->text(), QStringLiteral("4"));
        QCOMPARE(child<QLabel>(screen, "lblNextOccurance")->text(), QStringLiteral("1/12/%1 10:15:00 AM").arg(year));

        // The recipient follows the choice however it is made: the state set
        // directly, or a screen reader's Toggle action, neither a click.
        child<QRadioButton>(screen, "optGroup")->setChecked(true);
        QVERIFY(groups->isEnabled() && !number->isEnabled());
        auto *single = child<QRadioButton>(screen, "optSingle");
        QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(single);
        QVERIFY(reader && reader->actionInterface());
        reader->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(single->isChecked() && number->isEnabled() && !groups->isEnabled());

        // Leaving a bad number for another control is told, and the cursor goes back.
        number->setFocus();
        QTest::keyClicks(number, QStringLiteral("98765"));
        message->setFocus(Qt::TabFocusReason);
        QCOMPARE(answer(QStringLiteral("It is not a valid mobile number.")), screen);
        QCOMPARE(screen->focusWidget(), number);
        number->clear();
        QTest::keyClicks(number, QStringLiteral("9876543210"));

        // Typing and pasting over a selection stop at the limit.
        message->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(message, QString(170, QLatin1Char('x')));
        QCOMPARE(count->text(), QStringLiteral("160"));
        message->selectAll();
        QApplication::clipboard()->setText(QString(300, QLatin1Char('z')));
        message->paste();
        QCOMPARE(message->toPlainText(), QString(160, QLatin1Char('z')));
        message->clear();
        QTest::keyClicks(message, QStringLiteral("Hello"));
        QTest::keyClick(message, Qt::Key_Return);
        QTest::keyClicks(message, QStringLiteral("there"));
        QCOMPARE(count->text(), QStringLiteral("11"));

        auto *save = child<QPushButton>(screen, "cmdSave");
        save->click();
        QCOMPARE(answer(QStringLiteral("Scheduling Complete.\n\n4 messages queued.")), screen);
        QCOMPARE(test::QueueLog(db()).rows(QStringLiteral("outgoing_mobileNo, outgoing_message")).value(3),
                 QStringLiteral("9876543210|Hello there"));

        // A month and an hour of quarter hours takes more than one chunk: Save stays
        // disabled until the last one is in.
        QVERIFY(choose(child<QComboBox>(screen, "cboEndMonth"), QStringLiteral("2")));
        save->click();
        QVERIFY(!save->isEnabled());
        QMessageBox *done = test::Boxes::waitFor(QStringLiteral("Scheduling Complete.\n\n2980 messages queued."),
                                                 QString(), 20000);
        QVERIFY2(done, qPrintable(test::Boxes::dump()));
        test::Boxes::press(done, QMessageBox::Ok);
        QVERIFY(save->isEnabled());
    }

    void mergeThenSend()
    {
        QVERIFY(start());
        QWidget *dynamic = open("mnyMsgDyna");
        QVERIFY(dynamic);
        child<QPlainTextEdit>(dynamic, "txtTemplate")->setPlainText(QStringLiteral("Hi @@data1@@, @@data2@@ says\n@@data3@@"));
        fill(dynamic, "9876543210\n919876543211", "A\nB", "x");
        QVERIFY(answer(QStringLiteral("Length of data in Grid1 and Grid2 and Grid3 does not match. Please check the "
                                      "data again! Number of lines in Grid1, Grid2 and Grid3 should be same."))
                == dynamic);
        QVERIFY(!merged());

        fill(dynamic, "9876543210\n919876543211", "A\nB", "x\ny");
        QVERIFY(merged());
        auto *grid = child<QTableWidget>(merged(), "grdMerged");
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("Hi 919876543211, B says\ny"));
        QTest::mouseClick(child<QPushButton>(merged(), "cmdSend"), Qt::LeftButton);
        QCOMPARE(answer(QStringLiteral("Messages has been sent to Queue\n\n2 messages queued.")), merged());
        QCOMPARE(test::QueueLog(db()).count(), 2);

        // A new merge replaces what the open screen shows.
        fill(dynamic, "9000000000", "C", "z");
        QCOMPARE(grid->rowCount(), 1);
        QCOMPARE(window().findChildren<QWidget *>(QStringLiteral("frmDynaShowGrp")).size(), 1);
    }

    void fileRowsPreviewedAndQueued()
    {
        QVERIFY(start());
        QWidget *screen = open("mnuMsgDynExcel");
        QVERIFY(screen);
        child<QLineEdit>(screen, "txtPath")->setText(dataFile(QStringLiteral("dynamic.txt")));
        QTest::mouseClick(child<QPushButton>(screen, "cmdImport"), Qt::LeftButton);
        QCOMPARE(child<QTableView>(screen, "grdData")->model()->rowCount(), 2);
        auto *send = child<QPushButton>(screen, "cmdSend");
        QTest::mouseClick(send, Qt::LeftButton);
        QCOMPARE(answer(QStringLiteral("Message(s) Queued for Delivery.\n\n2 messages queued.")), screen);
        QCOMPARE(test::QueueLog(db()).count(), 2);
        QVERIFY(send->isEnabled());
    }
};

QTEST_MAIN(TestSendWindows)
#include "tst_sendwindows.moc"
