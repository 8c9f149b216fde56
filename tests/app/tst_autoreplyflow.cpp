// The whole program on simulated phones: messages received, stored, answered by the
// auto-reply rules and the replies sent back through the same phone. What
// each rule does is the auto-reply test's matter.
#include "LoopbackHttpServer.h"
#include "ModemRig.h"

#include <QTest>

using namespace tavsms;
using Sim = sim::ModemSimulator;

class TestAutoReplyFlow : public QObject
{
    Q_OBJECT

    static QStringList sentBy(const Sim &sim)
    {
        QStringList out;
        for (const auto &m : sim.sent())
            out << m.number + QLatin1Char('|') + m.text;
        return out;
    }

private Q_SLOTS:
    void joinHelloPushAndAPortWithoutRules()
    {
        test::ModemRig rig;
        test::LoopbackHttpServer pushTarget;
        Sim &com1 = rig.device(QStringLiteral("COM1"), Sim::Kind::Gsm, true, true);
        Sim &com2 = rig.device(QStringLiteral("COM2"), Sim::Kind::Gsm, true, true);
        rig.withStore([&pushTarget](Store &store) {
            Database &db = store.db();
            db.exec(QStringLiteral("INSERT INTO groups (dated, group_name) VALUES ('2026-12-01 10:00:00', 'Friends')"));
            const QString rule = QStringLiteral(
                "INSERT INTO auto_reply (auto_reply_keyword, com_port, auto_reply_response, group_add, group_delete, "
                "group_name, auto_reply_action, auto_reply_push_url) VALUES (?, 'COM1', ?, ?, 0, ?, ?, ?)");
            db.exec(rule, {QStringLiteral("join"), QStringLiteral("Welcome"), 1, QStringLiteral("Friends"),
                           QStringLiteral("NOPUSH"), QString()});
            db.exec(rule, {QStringLiteral("a"), QStringLiteral("unused"), 0, QStringLiteral("TAVNA"),
                           QStringLiteral("PUSH"),
                           pushTarget.baseUrl() + QStringLiteral("/sms?from=@@sender@@&msg=@@message@@")});
        });
        const QDateTime stamp(QDate(2026, 12, 6), QTime(9, 30));
        com1.addInbox(QStringLiteral("+919000000001"), stamp, QStringLiteral("JOIN me"));
        com2.addInbox(QStringLiteral("+919000000001"), stamp.addSecs(30), QStringLiteral("JOIN me"));

        rig.start();
        QCOMPARE(rig.state().connectedCount(), 2);
        Database &db = rig.store().db();

        // JOIN: stored, deleted from the phone, answered through the same phone, member added.
        WAIT_COMPARE(sentBy(com1), QStringList{"9000000001|Welcome"});
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM groups_mem WHERE group_mem_mobile = '9000000001'")), 1);
        QVERIFY(com1.inbox().isEmpty());
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM incoming_logs WHERE com_port = 'COM1'")).toInt(), 1);

        // The push rule forwards the message and queues no reply.
        com1.addInbox(QStringLiteral("+919000000001"), stamp.addSecs(60), QStringLiteral("a b&c"));
        WAIT_COMPARE(pushTarget.targets(), QList<QByteArray>{"/sms?from=+919000000001&msg=a%20b%26c"});

        // COM2 has no rules: its message was stored and deleted, nothing answered.
        WAIT_VERIFY(com2.inbox().isEmpty());
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM incoming_logs WHERE com_port = 'COM2'")).toInt(), 1);
        QVERIFY(rig.ticks(1, 3));
        QCOMPARE(sentBy(com2), QStringList());
        QCOMPARE(sentBy(com1).size(), 1);
        QCOMPARE(rig.queue().rows(QStringLiteral("com_port, status, sent_from")), QStringList{"COM1|Delivered|COM1"});
    }
};

QTEST_MAIN(TestAutoReplyFlow)
#include "tst_autoreplyflow.moc"
