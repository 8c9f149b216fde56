// Bulk queueing on a shared PostgreSQL store, where rows go many to a
// statement: every row lands with its own values, in order, and when the
// server refuses one the rows of the open transaction are counted lost and
// the statement that held it is named. The daily delivered counts, kept
// there per claiming workstation, add up to the rows delivered.
#include "PgServer.h"
#include "QueueBatch.h"
#include "QueueLog.h"
#include "Store.h"

#include <QTest>

using namespace tavsms;

class TestSharedBatch : public QObject
{
    Q_OBJECT

    std::unique_ptr<Store> m_store;

    static QString number(int i) { return QStringLiteral("9%1").arg(i, 9, 10, QLatin1Char('0')); }

private Q_SLOTS:
    void initTestCase() { m_store = Store::openShared(test::PgServer::instance().freshDatabase(), QStringLiteral("ws1")); }
    void init()
    {
        m_store->db().execScript(QStringLiteral("TRUNCATE q_logs; DROP TRIGGER IF EXISTS refuse ON q_logs"));
    }

    // `refused`: the number the server refuses (-1: none). 600 rows in
    // chunks of 250 are written in statements of 128, 64, 32, 16, 8 and 2
    // rows, then 64, 32 and 4 for the last 100.
    void rowsGoManyToAStatement_data()
    {
        QTest::addColumn<int>("refused");
        QTest::addColumn<int>("queued");
        QTest::addColumn<QStringList>("error"); // pieces of what it says
        QTest::newRow("all queued") << -1 << 600 << QStringList{};
        QTest::newRow("first statement of the last chunk")
            << 530 << 500
            << QStringList{QStringLiteral("The messages to %1 … %2 could not be queued: ERROR:  refused")
                               .arg(number(500), number(563))};
        QTest::newRow("last statement of a chunk, five before it")
            << 498 << 250
            << QStringList{QStringLiteral("The messages to %1 … %2 could not be queued: ERROR:  refused")
                               .arg(number(498), number(499)),
                           QStringLiteral("(248 messages before them were not queued either)")};
    }
    void rowsGoManyToAStatement()
    {
        QFETCH(int, refused);
        QFETCH(int, queued);
        QFETCH(QStringList, error);
        Database &db = m_store->db();
        if (refused >= 0)
            db.execScript(QStringLiteral("CREATE OR REPLACE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ "
                                         "BEGIN IF NEW.outgoing_mobileNo = '%1' THEN RAISE EXCEPTION 'refused'; END IF; "
                                         "RETURN NEW; END $$; CREATE TRIGGER refuse BEFORE INSERT ON q_logs "
                                         "FOR EACH ROW EXECUTE FUNCTION refuse()")
                              .arg(number(refused)));
        const QDateTime later(QDate(2030, 5, 1), QTime(9, 30));
        QueueBatch batch(db, m_store->queue(), 250);
        bool added = true;
        for (int i = 0; i < 600 && added; ++i)
            added = batch.add(number(i), QStringLiteral("m%1").arg(i), i % 3 ? kRouteAuto : QStringLiteral("COM2"),
                              i % 2 ? later : QDateTime());
        QCOMPARE(batch.finish() && added, refused < 0);
        QCOMPARE(batch.queued(), queued);
        QCOMPARE(batch.error().isEmpty(), error.isEmpty());
        for (const QString &piece : std::as_const(error))
            QVERIFY2(batch.error().contains(piece), qPrintable(batch.error()));
        QVERIFY(!db.inTransaction());

        const QStringList rows = test::QueueLog(db).rows(
            QStringLiteral("outgoing_mobileNo, outgoing_message, com_port, workstation, status, "
                           "delivery_time = '2030-05-01 09:30:00', delivery_time = dated"));
        QCOMPARE(rows.size(), queued);
        for (int i = 0; i < queued; ++i) {
            const QString route = i % 3 ? QStringLiteral("Auto|") : QStringLiteral("COM2|ws1");
            const QString due = i % 2 ? QStringLiteral("1|0") : QStringLiteral("0|1");
            QCOMPARE(rows.at(i), QStringLiteral("%1|m%2|%3|Pending|%4").arg(number(i)).arg(i).arg(route, due));
        }
    }

    // A count taken back goes to the row's claimer of the moment, whose
    // count may not exist yet: the sum still follows the rows.
    void dailyCountsAddUpWhoeverClaimed()
    {
        Database &db = m_store->db();
        db.execScript(QStringLiteral("TRUNCATE q_logs_delivered_days"));
        const QDateTime now = QDateTime::currentDateTime();
        for (const char *claimer : {"ws1", "ws2", "ws2"}) {
            const qint64 id = m_store->queue().addToQueue(QStringLiteral("9876543210"), QString::fromLatin1(claimer),
                                                          kRouteAuto).id;
            db.exec(QStringLiteral("UPDATE q_logs SET claimed_by = ? WHERE id = ?"), {QString::fromLatin1(claimer), id});
            m_store->queue().markDelivered(id, QStringLiteral("COM1"), QStringLiteral("ok"), now);
        }
        const auto counted = [&db] {
            return db.scalar(QStringLiteral("SELECT sum(delivered) FROM q_logs_delivered_days WHERE sent_from = 'COM1'"))
                .toLongLong();
        };
        QCOMPARE(counted(), 3);
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM q_logs_delivered_days")).toLongLong(), 2);
        db.exec(QStringLiteral("UPDATE q_logs SET claimed_by = 'ws3' WHERE outgoing_message = 'ws2'"));
        db.exec(QStringLiteral("UPDATE q_logs SET status = 'Pending' WHERE id = (SELECT min(id) FROM q_logs "
                               "WHERE claimed_by = 'ws3')"));
        db.exec(QStringLiteral("DELETE FROM q_logs WHERE claimed_by = 'ws1'"));
        QCOMPARE(counted(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSharedBatch)
#include "tst_sharedbatch.moc"
