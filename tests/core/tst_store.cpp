// The database file: creation, keying, file modes, upgrades, and refusal of
// files that are not ours.
#include "Database.h"
#include "Schema.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace tavsms;
using test::modeOf;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray fileHash(const QString &path)
{
    return QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Sha256);
}

QString planOf(Database &db, const QString &sql)
{
    Statement st = db.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
    QStringList lines;
    while (st.next())
        lines << st.text(QStringLiteral("detail"));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A new file: seeded, in WAL, keyed, the user's alone (with -wal and
    // -shm, which SQLite gives the database's mode) under the common umask;
    // opening it again keeps its data, does not seed twice, and takes back
    // what others were allowed meanwhile.
    void aNewFileIsSeededKeyedAndPrivate()
    {
        test::TestDataDirectory dir;
        const test::Umask common(022);
        const QString path = dir.root() + QStringLiteral("/tavsms.mdb");
        const QStringList files{path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")};
        const auto expectPrivate = [&] {
            for (const QString &file : files)
                QVERIFY2(modeOf(file) == 0600, qPrintable(QStringLiteral("%1 %2").arg(file).arg(modeOf(file), 0, 8)));
        };
        {
            Store store(path);
            Database &db = store.db();
            QCOMPARE(Schema::version(db), Schema::kCurrentVersion);
            QCOMPARE(db.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
            QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(softwarePortNo) FROM config_ports")).toString(),
                     QStringLiteral("COM1,COM2,COM3,COM4,COM5"));
            QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM config_InternetSMS WHERE TAVusername = 'zeta'"))
                         .toInt(),
                     1);
            QCOMPARE(db.scalar(QStringLiteral("SELECT listenerPort FROM config_network")).toInt(), 8081);
            QVERIFY(store.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("plaintext-marker"),
                                             kRouteAuto));
            db.exec(QStringLiteral("UPDATE config_ports SET mobileOperator = 'Airtel' WHERE softwarePortNo = 'COM1'"));
            expectPrivate();

            for (const QString &file : files)
                QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                        | QFile::ReadOther));
            Store again(path); // while the first keeps -wal and -shm in place
            QCOMPARE(again.queue().queuedCount(), 1);
            QCOMPARE(again.db().scalar(QStringLiteral("SELECT count(*) FROM config_ports")).toInt(), 5);
            QCOMPARE(again.db().scalar(QStringLiteral("SELECT count(*) FROM config_InternetSMS")).toInt(), 1);
            QCOMPARE(again.db().scalar(QStringLiteral("SELECT mobileOperator FROM config_ports WHERE "
                                                      "softwarePortNo = 'COM1'")).toString(),
                     QStringLiteral("Airtel"));
            expectPrivate();
        } // the last connection folds the WAL into the file
        const QByteArray bytes = fileBytes(path);
        QVERIFY(bytes.size() > 0);
        QVERIFY(!bytes.startsWith("SQLite format 3"));
        QVERIFY(!bytes.contains("plaintext-marker"));
        QVERIFY(!bytes.contains("q_logs"));
    }

    // Whatever is wrong with the file, the operator learns which file it is,
    // that it was left as it was, and how to go on; and it is left as it was.
    void unusableFilesAreRefusedUntouchedSayingWhatToDo_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("what");
        const QString foreign = QStringLiteral("it is not a TAVSMS database, or it is damaged");
        const QString damaged = QStringLiteral("it is damaged");

        QTemporaryDir scratch;
        // A new file of ours, some pages long.
        const QString ours = scratch.filePath(QStringLiteral("ours.mdb"));
        Store(ours).db().execScript(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        const QByteArray whole = fileBytes(ours);
        const qint64 page = 1024;
        QVERIFY(whole.size() > 8 * page && whole.size() % page == 0);

        QTest::newRow("text") << QByteArray("name,phone\nAlice,9876543210\n") << foreign;
        QTest::newRow("empty sqlite header") << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0')
                                             << foreign;
        QTest::newRow("cut to half") << whole.left(whole.size() / 2 / page * page) << damaged;
        QTest::newRow("cut inside a page") << whole.left(whole.size() / 2 + 17) << damaged;

        // SQLite files of other programs: plain, keyed otherwise, keyed as ours.
        const QString plain = scratch.filePath(QStringLiteral("plain.db"));
        sqlite3 *raw = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(plain).constData(), &raw), SQLITE_OK);
        QCOMPARE(sqlite3_exec(raw, "CREATE TABLE invoices (id INTEGER PRIMARY KEY)", nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(raw);
        QTest::newRow("plain sqlite of another program") << fileBytes(plain) << foreign;
        for (const QByteArray &key : {QByteArray("another-key"), QByteArray(Store::kKey)}) {
            const QString keyed = scratch.filePath(QString::fromLatin1(key) + QStringLiteral(".db"));
            Database::open(keyed, key)->execScript(QStringLiteral("CREATE TABLE invoices (id INTEGER PRIMARY KEY)"));
            QTest::newRow(key == Store::kKey ? "keyed as ours by another program" : "keyed by another program")
                << fileBytes(keyed) << foreign;
        }
    }
    void unusableFilesAreRefusedUntouchedSayingWhatToDo()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, what);
        test::TestDataDirectory dir;
        const QString path = dir.root() + QStringLiteral("/tavsms.mdb");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const QByteArray before = fileHash(path);
        try {
            Store store(path);
            QFAIL("an unusable file was opened");
        } catch (const DbError &e) {
            const QString text = e.message();
            QVERIFY2(text.startsWith(QStringLiteral("The database file %1 cannot be used: %2.").arg(path, what))
                         && text.contains(QStringLiteral("The file has not been changed."))
                         && text.contains(QStringLiteral("To start with an empty database, move the file to "
                                                         "another folder or rename it")),
                     qPrintable(text));
        }
        QCOMPARE(fileHash(path), before);
        QVERIFY(QFileInfo(path + QStringLiteral("-wal")).size() == 0);
    }

    void olderFileIsUpgradedKeepingItsData()
    {
        test::TestDataDirectory dir;
        const QString path = dir.root() + QStringLiteral("/old.mdb");
        {
            // A file as the first release left it: version 1, without the later tables and columns.
            auto db = Database::open(path, QByteArray(Store::kKey));
            Schema::upgrade(*db, 1);
            db->exec(QStringLiteral("INSERT INTO q_logs (dated, com_port, outgoing_mobileNo, outgoing_message, "
                                    "delivery_time) VALUES ('2026-11-01 08:00:00', 'Auto', '9876543210', "
                                    "'from before', '2026-11-01 08:00:00')"));
        }
        Store store(path);
        QCOMPARE(Schema::version(store.db()), Schema::kCurrentVersion);
        QCOMPARE(store.queue().row(1)->message, QStringLiteral("from before"));
        QCOMPARE(store.db().scalar(QStringLiteral("SELECT listenerPort FROM config_network")).toInt(), 8081);
        QCOMPARE(store.db().scalar(QStringLiteral("SELECT parallelRequests FROM config_network")).toInt(), 8);
        QCOMPARE(store.db().scalar(QStringLiteral("SELECT count(*) FROM config_ports WHERE pduMode = 0")).toInt(), 5);

        store.db().execScript(QStringLiteral("PRAGMA user_version = 99"));
        try {
            Store newer(path);
            QFAIL("a newer schema was accepted");
        } catch (const DbError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("newer")), qPrintable(e.message()));
        }
    }

    void unwritableDirectoryIsAClearError()
    {
        if (geteuid() == 0)
            QSKIP("root writes everywhere; the permission check cannot be observed");
        test::TestDataDirectory dir;
        QDir(dir.root()).mkdir(QStringLiteral("ro"));
        QFile::setPermissions(dir.root() + QStringLiteral("/ro"), QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY_THROWS_EXCEPTION(DbError, Store store(dir.root() + QStringLiteral("/ro/tavsms.mdb")));
    }

    // What the senders and the status bar run every tick must stay on an
    // index: with a million logged rows a table scan costs a hundred
    // milliseconds a time. The statements are the ones the queue really ran,
    // taken from the connection's statement cache.
    void queueStatementsStayOnTheirIndexes()
    {
        QTemporaryDir dir; // a store of its own: only the queue's statements in its cache
        Store store(dir.filePath(QStringLiteral("plan.mdb")));
        MessageQueue &queue = store.queue();
        const QDateTime now = QDateTime::currentDateTime();
        const qint64 id = queue.addToQueue(QStringLiteral("9876543210"), QStringLiteral("x"), kRouteAuto).id;
        QVERIFY(queue.addToQueue(QStringLiteral("9876543211"), QStringLiteral("y"), kRouteGateway));
        QVERIFY(queue.nextDueForPort(QStringLiteral("COM1"), now));
        QVERIFY(queue.nextDueForGateway(now));
        QCOMPARE(queue.queuedCount(), 2);
        QVERIFY(queue.claim(id));
        queue.markRetry(id);
        for (int pick = 0; pick < MessageQueue::kRetryTurn; ++pick) // a turn for the retried rows too
            QVERIFY(queue.nextDueForPort(QStringLiteral("COM1"), now));
        QVERIFY(queue.claim(id));
        queue.release(id);
        QVERIFY(queue.claim(id));
        queue.markDelivered(id, QStringLiteral("COM1"), QStringLiteral("sent"), now);
        queue.markFailed(id + 1, QStringLiteral("refused"), kRouteGateway, now);
        QCOMPARE(queue.repairSending({id}), 0);
        QVERIFY(queue.row(id));

        int checked = 0;
        for (const QString &sql : store.db().cachedStatements()) {
            if (!sql.contains(QLatin1String("q_logs")) || sql.startsWith(QLatin1String("INSERT")))
                continue;
            const QString plan = planOf(store.db(), sql);
            QVERIFY2(!plan.contains(QLatin1String("SCAN TABLE q_logs")) && !plan.contains(QLatin1String("TEMP B-TREE")),
                     qPrintable(sql + QStringLiteral("\n") + plan));
            ++checked;
        }
        QVERIFY2(checked >= 10, qPrintable(store.db().cachedStatements().join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
