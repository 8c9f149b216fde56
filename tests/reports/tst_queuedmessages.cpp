// The queue view's logic: sending waits while it is open and is as it was
// when it goes; "Clear Queue" deletes the pending rows only, after asking.
#include "AppState.h"
#include "QueryTableModel.h"
#include "QueuedMessages.h"
#include "RecordingPrompter.h"
#include "SharedStore.h"
#include "Store.h"
#include "QueueLog.h"

#include <QCoroTask>
#include <QTest>

using namespace tavsms;

class TestQueuedMessages : public QObject
{
    Q_OBJECT

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
        return test::QueueLog(db()).rows(QStringLiteral("outgoing_mobileNo || ' ' || status"));
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
        m_store = &test::freshStore();
        m_prompter = test::RecordingPrompter();
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

        QCOMPARE(m_prompter.count(), answer ? 2 : 1);
        QCOMPARE(m_prompter.entries().first().preset, Prompter::Default::Cancel);
        QCOMPARE(m_prompter.contains(QStringLiteral("Success"), QStringLiteral("Queue has been cleared!!")), answer);
    }
};

QTEST_GUILESS_MAIN(TestQueuedMessages)
#include "tst_queuedmessages.moc"
