// The queue view's logic: sending waits while it is open and is as it was
// when it goes; "Clear Queue" deletes the pending rows only, after asking.
#include "AppState.h"
#include "QueryTableModel.h"
#include "QueuedMessages.h"
#include "RecordingPrompter.h"
#include "SharedStore.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QCoroTask>
#include <QTest>

using namespace tavsms;

class TestQueuedMessages : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestDataDirectory> m_dir;
    Store *m_store = nullptr;
    test::RecordingPrompter m_prompter;

    Database &db() { return m_store->db(); }
    void addRow(const QString &number, const QString &status)
    {
        const EnqueueResult r = m_store->queue().addToQueue(number, QStringLiteral("text ") + number,
                                                            QStringLiteral("Auto"));
        QVERIFY(r);
        db().exec(QStringLiteral("UPDATE q_logs SET status = ? WHERE id = ?"), {status, r.id});
    }
    QStringList rowsLeft()
    {
        QStringList rows;
        Statement st = db().prepare(QStringLiteral("SELECT outgoing_mobileNo, status FROM q_logs ORDER BY id"));
        while (st.next())
            rows << st.text(QStringLiteral("outgoing_mobileNo")) + QLatin1Char(' ') + st.text(QStringLiteral("status"));
        return rows;
    }
    void addOneOfEach()
    {
        addRow(QStringLiteral("9000000001"), QStringLiteral("Pending"));
        addRow(QStringLiteral("9000000002"), QStringLiteral("Sending"));
        addRow(QStringLiteral("9000000003"), QStringLiteral("Delivered"));
        addRow(QStringLiteral("9000000004"), QStringLiteral("Failed"));
        addRow(QStringLiteral("9000000005"), QStringLiteral("Pending"));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        m_store = &tavsms::test::freshStore();
        m_prompter = test::RecordingPrompter();
    }
    void cleanup()
    {
        m_store = nullptr;
        m_dir.reset();
    }

    void sendingWaitsWhileOpenAndIsAsBeforeAfterwards_data()
    {
        QTest::addColumn<bool>("runningBefore");
        QTest::addColumn<bool>("shutDownMeanwhile");
        QTest::addColumn<bool>("startedMeanwhile");
        QTest::addColumn<bool>("stoppedMeanwhile");
        QTest::addColumn<bool>("runningAfter");
        QTest::newRow("running before: running again") << true << false << false << false << true;
        QTest::newRow("stopped from the menu before: still stopped") << false << false << false << false << false;
        QTest::newRow("shut down while open: stays off") << true << true << false << false << false;
        QTest::newRow("started from the menu while open: stays started") << false << false << true << false << true;
        QTest::newRow("stopped from the menu while open: stays stopped") << true << false << false << true << false;
    }
    void sendingWaitsWhileOpenAndIsAsBeforeAfterwards()
    {
        QFETCH(bool, runningBefore);
        QFETCH(bool, shutDownMeanwhile);
        QFETCH(bool, startedMeanwhile);
        QFETCH(bool, stoppedMeanwhile);
        QFETCH(bool, runningAfter);
        AppState state;
        state.setSendingRunning(runningBefore);
        {
            QueuedMessages view(db(), m_prompter, state);
            QVERIFY(!state.sendingRunning());
            if (startedMeanwhile)
                state.setSendingRunning(true);
            if (stoppedMeanwhile)
                state.setSendingRunning(false); // "Stop Message Sending" while it is paused

            if (shutDownMeanwhile) {
                state.setSendingRunning(false);
                state.setAbortWaits(true);
            }
        }
        QCOMPARE(state.sendingRunning(), runningAfter);
    }

    void theGridShowsThePendingRowsOldestFirst()
    {
        addOneOfEach();
        QueryTableModel model(db(), QueuedMessages::query());
        model.reload();
        QStringList headings;
        for (int c = 0; c < model.columnCount(); ++c)
            headings << model.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headings, (QStringList{QStringLiteral("Dated"), QStringLiteral("Mobile No"), QStringLiteral("Message"),
                                        QStringLiteral("Delivery Time"), QStringLiteral("Delivery Status"),
                                        QStringLiteral("Retry No")}));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("9000000001"));
        QCOMPARE(model.index(1, 1).data().toString(), QStringLiteral("9000000005"));
        QCOMPARE(model.index(1, 2).data().toString(), QStringLiteral("text 9000000005"));
        QCOMPARE(model.index(1, 4).data().toString(), QStringLiteral("Pending"));
        QCOMPARE(model.index(1, 5).data().toString(), QStringLiteral("0"));
    }

    void clearQueue_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("left");
        const QStringList all = {QStringLiteral("9000000001 Pending"), QStringLiteral("9000000002 Sending"),
                                 QStringLiteral("9000000003 Delivered"), QStringLiteral("9000000004 Failed"),
                                 QStringLiteral("9000000005 Pending")};
        QTest::newRow("Cancel changes nothing") << false << all;
        QTest::newRow("OK deletes the pending rows only")
            << true
            << QStringList{QStringLiteral("9000000002 Sending"), QStringLiteral("9000000003 Delivered"),
                           QStringLiteral("9000000004 Failed")};
    }
    void clearQueue()
    {
        QFETCH(bool, answer);
        QFETCH(QStringList, left);
        addOneOfEach();
        AppState state;
        QueuedMessages view(db(), m_prompter, state);
        m_prompter.queueAnswer(answer);
        QCOMPARE(QCoro::waitFor(view.clearQueue()), answer);
        QCOMPARE(rowsLeft(), left);

        QVERIFY(m_prompter.count() >= 1);
        const auto &asked = m_prompter.entries().first();
        QVERIFY(asked.question);
        QCOMPARE(asked.preset, Prompter::Default::Cancel);
        QCOMPARE(asked.title, QStringLiteral("Delete Queue?"));
        QCOMPARE(asked.text, QStringLiteral("This will delete all the messages from the queue. Are you sure to do "
                                            "that?\rClick OK to continue or Cancel to abort the operation."));
        QCOMPARE(m_prompter.count(), answer ? 2 : 1);
        if (answer) {
            QCOMPARE(m_prompter.entries().last().icon, Prompter::Icon::Information);
            QVERIFY(m_prompter.contains(QStringLiteral("Success"), QStringLiteral("Queue has been cleared!!")));
        }
    }
};

QTEST_GUILESS_MAIN(TestQueuedMessages)
#include "tst_queuedmessages.moc"
