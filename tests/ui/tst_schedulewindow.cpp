// The "Schedule Message Delivery" window offscreen, through its controls and
// its real boxes: the preview, the number check, the typing limit and Save.
#include "DataDirectory.h"
#include "ListenerPort.h"
#include "Controls.h"
#include "MessageBoxes.h"
#include "ScheduleWindow.h"
#include "Store.h"
#include "TestDataDirectory.h"
#include "WindowProgram.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test::Controls;

class TestScheduleWindow : public QObject
{
    Q_OBJECT


    std::unique_ptr<test::TestDataDirectory> m_dir;
    std::unique_ptr<test::WindowProgram> m_program;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        test::useFreeListenerPort(DataDirectory::databasePath());
    }
    void cleanup()
    {
        test::Boxes::dismissAll();
        m_program.reset();
        m_dir.reset();
    }

    void schedulesASeriesThroughTheScreen()
    {
        m_program = std::make_unique<test::WindowProgram>();
        QCOMPARE(m_program->start(), Application::StartResult::Running);
        Database &db = m_program->app.store().db();
        QApplication::setActiveWindow(&m_program->window);

        m_program->action("mnuMsgSch")->trigger();
        auto *screen = m_program->window.findChild<ScheduleWindow *>(QStringLiteral("frmSch"));
        QVERIFY(screen);
        QCOMPARE(screen->windowTitle(), QStringLiteral("Schedule Message Delivery"));
        auto *number = child<QLineEdit>(screen, "txtNumber");
        auto *message = child<QPlainTextEdit>(screen, "txtMessage");
        QVERIFY(!number->isEnabled());
        QVERIFY(!child<QComboBox>(screen, "cboGroup")->isEnabled());
        QCOMPARE(child<QComboBox>(screen, "cboGroup")->currentText(), QStringLiteral("Groups Not Available"));
        QCOMPARE(child<QComboBox>(screen, "cboOperator")->currentText(), QStringLiteral("Auto"));
        QCOMPARE(child<QLabel>(screen, "lblLimit")->text(), QStringLiteral("/160"));

        const QString year = QString::number(QDate::currentDate().year() + 1);
        for (const char *prefix : {"cboStart", "cboEnd"}) {
            const QByteArray p(prefix);
            QVERIFY(choose(child<QComboBox>(screen, QByteArray(p + "Day").constData()), QStringLiteral("12")));
            QVERIFY(choose(child<QComboBox>(screen, QByteArray(p + "Month").constData()), QStringLiteral("1")));
            QVERIFY(choose(child<QComboBox>(screen, QByteArray(p + "Year").constData()), year));
            QVERIFY(choose(child<QComboBox>(screen, QByteArray(p + "Hour").constData()), QString::fromLatin1(p == "cboStart" ? "10" : "11")));
        }
        QVERIFY(choose(child<QComboBox>(screen, "cboFrequency"), QStringLiteral("Every 15 Minutes")));
        QCOMPARE(child<QLabel>(screen, "lblOccurances")->text(), QStringLiteral("4"));
        QCOMPARE(child<QLabel>(screen, "lblNextOccurance")->text(), QStringLiteral("1/12/%1 10:15:00 AM").arg(year));

        // The recipient follows the choice however it is made: the state set
        // directly, or a screen reader's Toggle action, neither a click.
        auto *groups = child<QComboBox>(screen, "cboGroup");
        child<QRadioButton>(screen, "optGroup")->setChecked(true);
        QVERIFY(groups->isEnabled() && !number->isEnabled());
        auto *single = child<QRadioButton>(screen, "optSingle");
        QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(single);
        QVERIFY(reader && reader->actionInterface());
        reader->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(single->isChecked());
        QVERIFY(number->isEnabled() && !groups->isEnabled());
        number->setFocus();
        QTest::keyClicks(number, QStringLiteral("98765"));
        message->setFocus(Qt::TabFocusReason);
        QMessageBox *invalid = test::Boxes::waitFor(QStringLiteral("It is not a valid mobile number."));
        QVERIFY2(invalid, qPrintable(test::Boxes::dump()));
        QCOMPARE(invalid->icon(), QMessageBox::Critical);
        test::Boxes::press(invalid, QMessageBox::Ok);
        QTRY_VERIFY(number->hasFocus());
        number->clear();
        QTest::keyClicks(number, QStringLiteral("9876543210"));

        // Typing stops at the limit; text put in by the program is not cut.
        message->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(message, QString(170, QLatin1Char('x')));
        QCOMPARE(message->toPlainText().size(), 160);
        QCOMPARE(child<QLabel>(screen, "lblCount")->text(), QStringLiteral("160"));
        message->selectAll();
        QApplication::clipboard()->setText(QString(300, QLatin1Char('z')));
        message->paste();
        QCOMPARE(message->toPlainText(), QString(160, QLatin1Char('z')));
        message->setPlainText(QString(200, QLatin1Char('y')));
        QCOMPARE(message->toPlainText().size(), 200);
        message->clear();
        QTest::keyClicks(message, QStringLiteral("Hello"));
        QTest::keyClick(message, Qt::Key_Return);
        QTest::keyClicks(message, QStringLiteral("there"));
        QCOMPARE(child<QLabel>(screen, "lblCount")->text(), QStringLiteral("11"));
        QVERIFY(test::Boxes::open().isEmpty());

        auto *save = child<QPushButton>(screen, "cmdSave");
        save->click();
        QMessageBox *done = test::Boxes::waitFor(QStringLiteral("Scheduling Complete.\n\n4 messages queued."),
                                                 QStringLiteral("Success"));
        QVERIFY2(done, qPrintable(test::Boxes::dump()));
        QCOMPARE(done->icon(), QMessageBox::Information);
        test::Boxes::press(done, QMessageBox::Ok);
        QTRY_VERIFY(save->isEnabled());
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM q_logs WHERE outgoing_mobileNo = '9876543210' AND "
                                          "outgoing_message = 'Hello there' AND com_port = 'Auto'"))
                     .toInt(),
                 4);
        QCOMPARE(db.scalar(QStringLiteral("SELECT min(delivery_time) || ' ' || max(delivery_time) FROM q_logs"))
                     .toString(),
                 QStringLiteral("%1-01-12 10:00:00 %1-01-12 10:45:00").arg(year));

        // A month and an hour of quarter hours takes more than one chunk: Save stays
        // disabled until the last one is in.
        QVERIFY(choose(child<QComboBox>(screen, "cboEndMonth"), QStringLiteral("2")));
        save->click();
        QVERIFY(!save->isEnabled());
        done = test::Boxes::waitFor(QStringLiteral("Scheduling Complete.\n\n2980 messages queued."),
                                    QStringLiteral("Success"), 20000);
        QVERIFY2(done, qPrintable(test::Boxes::dump()));
        test::Boxes::press(done, QMessageBox::Ok);
        QTRY_VERIFY(save->isEnabled());
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM q_logs")).toInt(), 4 + 2980);
    }
};

QTEST_MAIN(TestScheduleWindow)
#include "tst_schedulewindow.moc"
