// The message flow statistics and the queue view in the running program,
// offscreen, through their controls and the real boxes.
#include "Controls.h"
#include "DataDirectory.h"
#include "ListenerPort.h"
#include "MessageBoxes.h"
#include "MessageFlowWindow.h"
#include "QueuedMessagesWindow.h"
#include "Store.h"
#include "TestDataDirectory.h"
#include "WindowProgram.h"

#include <QAbstractButton>
#include <QBarSet>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace tavsms;
using test::Controls::child;

class TestFlowWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestDataDirectory> m_dir;
    std::unique_ptr<test::WindowProgram> m_program;

    Database &db() { return m_program->app.store().db(); }
    AppState &state() { return m_program->app.state(); }
    qint64 addRow(const QString &status, const QString &sentFrom, const QString &sentAt)
    {
        const EnqueueResult r = m_program->app.store().queue().addToQueue(
            QStringLiteral("9811122233"), QStringLiteral("Hello ") + status, QStringLiteral("Auto"));
        db().exec(QStringLiteral("UPDATE q_logs SET status = ?, sent_from = ?, sent_at = ? WHERE id = ?"),
                  {status, sentFrom.isEmpty() ? QVariant() : QVariant(sentFrom),
                   sentAt.isEmpty() ? QVariant() : QVariant(sentAt), r.id});
        return r.id;
    }
    QStringList boxTexts(QWidget *screen)
    {
        QStringList texts;
        for (const char *name : {"txtCOM1", "txtCOM2", "txtCOM3", "txtCOM4", "txtCOM5", "txtInternet", "txtTotal"})
            texts << child<QLineEdit>(screen, name)->text();
        return texts;
    }
    static QList<int> barValues(const QBarSet *bars)
    {
        QList<int> values;
        for (int i = 0; i < bars->count(); ++i)
            values << int(bars->at(i));
        return values;
    }
    QStringList statuses()
    {
        QStringList out;
        Statement st = db().prepare(QStringLiteral("SELECT status FROM q_logs ORDER BY id"));
        while (st.next())
            out << st.text(QStringLiteral("status"));
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

    void messageFlowCountsThePeriodChosen()
    {
        db().exec(QStringLiteral("UPDATE config_ports SET mobileOperator = 'Airtel' WHERE softwarePortNo = 'COM1'"));
        const QDateTime now(QDate(2026, 12, 7), QTime(10, 0));
        state().setClock([now] { return now; });
        addRow(QStringLiteral("Delivered"), QStringLiteral("COM1"), QStringLiteral("2026-12-07 09:00:00"));
        addRow(QStringLiteral("Delivered"), QStringLiteral("WEBGATEWAY"), QStringLiteral("2026-12-06 12:00:00"));
        addRow(QStringLiteral("Pending"), {}, {});
        addRow(QStringLiteral("Failed"), QStringLiteral("WEBGATEWAY"), QStringLiteral("2026-12-07 08:00:00"));

        m_program->action("mnuReportMMF")->trigger();
        auto *screen = m_program->window.findChild<MessageFlowWindow *>(QStringLiteral("frmMsgFlow"));
        QVERIFY(screen);
        QCOMPARE(screen->windowTitle(), QStringLiteral("Message Flow"));
        auto *period = child<QComboBox>(screen, "cboInterval");
        QCOMPARE(test::Controls::items(period),
                 (QStringList{QStringLiteral("Today"), QStringLiteral("Yesterday"), QStringLiteral("Last 7 Days"),
                              QStringLiteral("This Month"), QStringLiteral("All Time")}));
        QCOMPARE(period->currentIndex(), -1);
        QCOMPARE(child<QLabel>(screen, "lblCOM1")->text(), QStringLiteral("COM1 - Airtel"));
        QCOMPARE(child<QLabel>(screen, "lblCOM2")->text(), QStringLiteral("COM2 - "));
        QCOMPARE(child<QLabel>(screen, "lblInternet")->text(), QStringLiteral("Internet - WEBGATEWAY"));
        for (QLineEdit *box : screen->findChildren<QLineEdit *>())
            QVERIFY2(box->isReadOnly(), qPrintable(box->objectName()));

        auto *show = child<QPushButton>(screen, "cmdShowStats");
        QTest::mouseClick(show, Qt::LeftButton);
        QCOMPARE(boxTexts(screen), QStringList(7, QString()));
        QCOMPARE(barValues(screen->bars()), QList<int>(6, 0));

        struct Step { const char *period; QStringList boxes; QList<int> bars; };
        const QList<Step> steps = {
            {"Today", {"1", "0", "0", "0", "0", "0", "1"}, {1, 0, 0, 0, 0, 0}},
            {"Yesterday", {"0", "0", "0", "0", "0", "1", "1"}, {0, 0, 0, 0, 0, 1}},
            {"All Time", {"1", "0", "0", "0", "0", "1", "2"}, {1, 0, 0, 0, 0, 1}},
        };
        for (const Step &step : steps) {
            QVERIFY(test::Controls::choose(period, QString::fromLatin1(step.period)));
            QTest::mouseClick(show, Qt::LeftButton);
            QCOMPARE(boxTexts(screen), step.boxes);
            QCOMPARE(barValues(screen->bars()), step.bars);
        }
        QCOMPARE(test::Boxes::open().size(), 0);
    }

    void queueViewPausesSendingClearsThePendingRowsAndRestoresSending_data()
    {
        QTest::addColumn<bool>("runningBefore");
        QTest::newRow("sending running") << true;
        QTest::newRow("sending stopped from the menu") << false;
    }
    void queueViewPausesSendingClearsThePendingRowsAndRestoresSending()
    {
        QFETCH(bool, runningBefore);
        if (!runningBefore)
            m_program->action("mnuFileMSFStop")->trigger();
        addRow(QStringLiteral("Pending"), {}, {});
        addRow(QStringLiteral("Sending"), {}, {});
        addRow(QStringLiteral("Delivered"), QStringLiteral("COM1"), QStringLiteral("2026-12-07 09:00:00"));
        addRow(QStringLiteral("Failed"), QStringLiteral("WEBGATEWAY"), QStringLiteral("2026-12-07 09:00:00"));
        addRow(QStringLiteral("Pending"), {}, {});

        m_program->action("mnuMsgQMsg")->trigger();
        auto *screen = m_program->window.findChild<QueuedMessagesWindow *>(QStringLiteral("frmQMsg"));
        QVERIFY(screen);
        QCOMPARE(screen->windowTitle(), QStringLiteral("Message Q Log"));
        QVERIFY(!state().sendingRunning());
        QTableView *grid = screen->grid();
        QStringList headings;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            headings << grid->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headings, (QStringList{QStringLiteral("Dated"), QStringLiteral("Mobile No"), QStringLiteral("Message"),
                                        QStringLiteral("Delivery Time"), QStringLiteral("Delivery Status"),
                                        QStringLiteral("Retry No")}));
        QCOMPARE(grid->model()->rowCount(), 2);

        const QString question = QStringLiteral("This will delete all the messages from the queue. Are you sure to do "
                                                "that?\nClick OK to continue or Cancel to abort the operation.");
        auto *clear = child<QPushButton>(screen, "cmdClear");
        QTest::mouseClick(clear, Qt::LeftButton);
        QMessageBox *box = test::Boxes::waitFor(question, QStringLiteral("Delete Queue?"));
        QVERIFY2(box, qPrintable(test::Boxes::dump()));
        QCOMPARE(static_cast<QAbstractButton *>(box->defaultButton()), box->button(QMessageBox::Cancel));
        test::Boxes::press(box, QMessageBox::Cancel);
        QTest::qWait(50);
        QCOMPARE(statuses().size(), 5);
        QCOMPARE(grid->model()->rowCount(), 2);

        QTest::mouseClick(clear, Qt::LeftButton);
        test::Boxes::press(test::Boxes::waitFor(question, QStringLiteral("Delete Queue?")), QMessageBox::Ok);
        QVERIFY2(test::Boxes::waitFor(QStringLiteral("Queue has been cleared!!"), QStringLiteral("Success")),
                 qPrintable(test::Boxes::dump()));
        QCOMPARE(grid->model()->rowCount(), 0);
        QCOMPARE(statuses(), (QStringList{QStringLiteral("Sending"), QStringLiteral("Delivered"),
                                          QStringLiteral("Failed")}));
        test::Boxes::dismissAll();
        QVERIFY(!state().sendingRunning());

        qobject_cast<QMdiSubWindow *>(screen->parentWidget())->close();
        QTRY_VERIFY(!m_program->window.findChild<QueuedMessagesWindow *>());
        QCOMPARE(state().sendingRunning(), runningBefore);
        // The menu offers what it offered before.
        QCOMPARE(m_program->action("mnuFileMSFStart")->isVisible(), !runningBefore);
    }
};

QTEST_MAIN(TestFlowWindows)
#include "tst_flowwindows.moc"
