// The screens that queue a series or a file's rows, through their controls
// and real boxes: "Schedule Message Delivery" (the preview, the recipient
// choice, the number check, the typing limit and Save); "Dynamic SMS", whose
// "Merge Data" opens the merged rows and "Send SMS" queues them; a file's
// rows previewed and queued.
#include "QueueLog.h"
#include "ScheduleWindow.h"
#include "WindowTest.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test::Controls;

class TestScheduleWindow : public test::WindowTest
{
    Q_OBJECT

    QWidget *merged() { return window().findChild<QWidget *>(QStringLiteral("frmDynaShowGrp")); }
    static void fill(QWidget *screen, const char *numbers, const char *data2, const char *data3)
    {
        child<QPlainTextEdit>(screen, "txtData1")->setPlainText(QString::fromUtf8(numbers));
        child<QPlainTextEdit>(screen, "txtData2")->setPlainText(QString::fromUtf8(data2));
        child<QPlainTextEdit>(screen, "txtData3")->setPlainText(QString::fromUtf8(data3));
        QTest::mouseClick(child<QPushButton>(screen, "cmdMerge"), Qt::LeftButton);
    }

private Q_SLOTS:
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
        QVERIFY(save->isEnabled());
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
        QCOMPARE(test::QueueLog(db()).count(), 4 + 2980);
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

QTEST_MAIN(TestScheduleWindow)
#include "tst_schedulewindow.moc"
