// The message flow statistics and the queue view in the running program.
#include "MessageFlowWindow.h"
#include "QueuedMessagesWindow.h"
#include "WindowTest.h"

#include <QBarSet>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace tavsms;
using test::Controls::child;

class TestFlowWindows : public test::WindowTest
{
    Q_OBJECT

    AppState &state() { return program().app.state(); }
    void addRow(const QString &status, const QString &sentFrom = {}, const QString &sentAt = {})
    {
        const qint64 id = store().queue().addToQueue(QStringLiteral("9811122233"), status, kRouteAuto).id;
        db().exec(QStringLiteral("UPDATE q_logs SET status = ?, sent_from = ?, sent_at = ? WHERE id = ?"),
                  {status, sentFrom.isEmpty() ? QVariant() : QVariant(sentFrom),
                   sentAt.isEmpty() ? QVariant() : QVariant(sentAt), id});
    }

private Q_SLOTS:
    // Show Stats counts the period chosen into the boxes and the bars,
    // COM1 to COM5, the Internet, the total.
    void messageFlowShowsThePeriodChosen()
    {
        QVERIFY(start());
        db().exec(QStringLiteral("UPDATE config_ports SET mobileOperator = 'Airtel' WHERE softwarePortNo = 'COM1'"));
        const QDateTime now(QDate(2026, 12, 7), QTime(10, 0));
        state().setClock([now] { return now; });
        addRow(QStringLiteral("Delivered"), QStringLiteral("COM1"), QStringLiteral("2026-12-07 09:00:00"));
        addRow(QStringLiteral("Delivered"), QStringLiteral("WEBGATEWAY"), QStringLiteral("2026-12-06 12:00:00"));

        auto *screen = open<MessageFlowWindow>("mnuReportMMF");
        QVERIFY(screen);
        QCOMPARE(child<QLabel>(screen, "lblCOM1")->text(), QStringLiteral("COM1 - Airtel"));
        const struct { const char *period; QStringList boxes; } steps[] = {
            {"Today", {"1", "0", "0", "0", "0", "0", "1"}},
            {"Yesterday", {"0", "0", "0", "0", "0", "1", "1"}},
        };
        for (const auto &step : steps) {
            QVERIFY(test::Controls::choose(child<QComboBox>(screen, "cboInterval"), QString::fromLatin1(step.period)));
            QTest::mouseClick(child<QPushButton>(screen, "cmdShowStats"), Qt::LeftButton);
            QStringList boxes, bars;
            for (const char *name : {"txtCOM1", "txtCOM2", "txtCOM3", "txtCOM4", "txtCOM5", "txtInternet", "txtTotal"})
                boxes << child<QLineEdit>(screen, name)->text();
            for (int i = 0; i < screen->bars()->count(); ++i)
                bars << QString::number(screen->bars()->at(i));
            QCOMPARE(boxes, step.boxes);
            QCOMPARE(bars, step.boxes.first(6));
        }
    }

    // The view holds sending while it is open; Clear Queue empties its grid.
    void queueViewHoldsSendingAndClearsItsGrid()
    {
        QVERIFY(start());
        addRow(QStringLiteral("Pending"));
        addRow(QStringLiteral("Delivered"), QStringLiteral("COM1"), QStringLiteral("2026-12-07 09:00:00"));
        addRow(QStringLiteral("Pending"));

        auto *screen = open<QueuedMessagesWindow>("mnuMsgQMsg");
        QVERIFY(screen);
        QVERIFY(!state().sendingRunning());
        QCOMPARE(screen->grid()->model()->rowCount(), 2);
        QTest::mouseClick(child<QPushButton>(screen, "cmdClear"), Qt::LeftButton);
        QCOMPARE(answer(QStringLiteral("This will delete all the messages from the queue. Are you sure to do that?\n"
                                       "Click OK to continue or Cancel to abort the operation.")),
                 screen);
        QCOMPARE(answer(QStringLiteral("Queue has been cleared!!")), screen);
        QCOMPARE(screen->grid()->model()->rowCount(), 0);

        frame()->closeAllSubWindows();
        QTRY_VERIFY(!window().findChild<QueuedMessagesWindow *>());
        QVERIFY(state().sendingRunning());
    }
};

QTEST_MAIN(TestFlowWindows)
#include "tst_flowwindows.moc"
