// The dynamic-message screens in the running program: "Merge Data" opens the
// merged rows, "Send SMS" queues them; a file's rows previewed and queued.
#include "QueueLog.h"
#include "WindowTest.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test::Controls;

class TestDynamicWindows : public test::WindowTest
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

QTEST_MAIN(TestDynamicWindows)
#include "tst_dynamicwindows.moc"
