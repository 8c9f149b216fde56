// The dynamic-message screens in the running program: "Merge Data" opens the
// merged rows, "Send SMS" queues them; a file's rows previewed and queued.
#include "Controls.h"
#include "DataDirectory.h"
#include "ListenerPort.h"
#include "MessageBoxes.h"
#include "TestDataDirectory.h"
#include "WindowProgram.h"

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test::Controls;

class TestDynamicWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestDataDirectory> m_dir;
    std::unique_ptr<test::WindowProgram> m_program;

    QWidget *screen(const char *name)
    {
        return m_program->window.findChild<QWidget *>(QString::fromLatin1(name));
    }
    QStringList queued()
    {
        QStringList out;
        Statement st = m_program->app.store().db().prepare(
            QStringLiteral("SELECT outgoing_mobileNo, outgoing_message FROM q_logs ORDER BY id"));
        while (st.next())
            out << st.text(QStringLiteral("outgoing_mobileNo")) + QLatin1Char('|')
                       + st.text(QStringLiteral("outgoing_message"));
        return out;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        test::useFreeListenerPort(DataDirectory::databasePath());
        m_program = std::make_unique<test::WindowProgram>();
        QCOMPARE(m_program->start(), Application::StartResult::Running);
    }
    void cleanup()
    {
        test::Boxes::dismissAll();
        m_program.reset();
        m_dir.reset();
    }

    void mergeThenSend()
    {
        m_program->action("mnyMsgDyna")->trigger();
        QWidget *dynamic = screen("frmDynamicSMS");
        QVERIFY(dynamic);
        child<QPlainTextEdit>(dynamic, "txtTemplate")->setPlainText(QStringLiteral("Hi @@data1@@, @@data2@@ says\n@@data3@@"));
        child<QPlainTextEdit>(dynamic, "txtData1")->setPlainText(QStringLiteral("9876543210\n919876543211"));
        child<QPlainTextEdit>(dynamic, "txtData2")->setPlainText(QStringLiteral("A\nB"));
        child<QPlainTextEdit>(dynamic, "txtData3")->setPlainText(QStringLiteral("x"));
        QTest::mouseClick(child<QPushButton>(dynamic, "cmdMerge"), Qt::LeftButton);
        QVERIFY(test::Boxes::waitFor(QStringLiteral("Length of data in Grid1 and Grid2 and Grid3 does not match. Please "
                                                    "check the data again! Number of lines in Grid1, Grid2 and Grid3 "
                                                    "should be same.")));
        test::Boxes::dismissAll();
        QVERIFY(!screen("frmDynaShowGrp"));

        child<QPlainTextEdit>(dynamic, "txtData3")->setPlainText(QStringLiteral("x\ny"));
        QTest::mouseClick(child<QPushButton>(dynamic, "cmdMerge"), Qt::LeftButton);
        QWidget *merged = screen("frmDynaShowGrp");
        QVERIFY(merged);
        auto *grid = child<QTableWidget>(merged, "grdMerged");
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("Hi 919876543211, B says\ny"));
        QTest::mouseClick(child<QPushButton>(merged, "cmdSend"), Qt::LeftButton);
        QVERIFY(test::Boxes::waitFor(QStringLiteral("Messages has been sent to Queue\n\n2 messages queued."),
                                     QStringLiteral("Success")));
        QCOMPARE(queued(), (QStringList{"9876543210|Hi 9876543210, A says x", "9876543211|Hi 919876543211, B says y"}));

        // A new merge replaces what the open screen shows.
        child<QPlainTextEdit>(dynamic, "txtData1")->setPlainText(QStringLiteral("9000000000"));
        child<QPlainTextEdit>(dynamic, "txtData2")->setPlainText(QStringLiteral("C"));
        child<QPlainTextEdit>(dynamic, "txtData3")->setPlainText(QStringLiteral("z"));
        QTest::mouseClick(child<QPushButton>(dynamic, "cmdMerge"), Qt::LeftButton);
        QCOMPARE(grid->rowCount(), 1);
        QCOMPARE(m_program->window.findChildren<QWidget *>(QStringLiteral("frmDynaShowGrp")).size(), 1);
    }

    void fileRowsPreviewedAndQueued()
    {
        m_program->action("mnuMsgDynExcel")->trigger();
        QWidget *fileScreen = screen("frmDynaExcel");
        QVERIFY(fileScreen);
        child<QLineEdit>(fileScreen, "txtPath")->setText(QStringLiteral(TAVSMS_TEST_DATA_DIR "/dynamic.txt"));
        QTest::mouseClick(child<QPushButton>(fileScreen, "cmdImport"), Qt::LeftButton);
        QCOMPARE(child<QTableView>(fileScreen, "grdData")->model()->rowCount(), 2);
        QTest::mouseClick(child<QPushButton>(fileScreen, "cmdSend"), Qt::LeftButton);
        QVERIFY(test::Boxes::waitFor(QStringLiteral("Message(s) Queued for Delivery.\n\n2 messages queued.")));
        QCOMPARE(queued().size(), 2);
        QVERIFY(child<QPushButton>(fileScreen, "cmdSend")->isEnabled());
    }
};

QTEST_MAIN(TestDynamicWindows)
#include "tst_dynamicwindows.moc"
