// The data directory and the database file. Everything in the directory is
// the user's alone: 0700 and 0600 after a start, for new files and for files
// left with wider modes. The database file: creation, keying, upgrades, and
// refusal of files that are not ours; the queue in it: addToQueue, the
// due-row pick, the status life cycle and the date-time texts. debug.txt:
// created when missing, appended, never truncated, one CR LF line per event;
// a log that cannot be written is told once and the program goes on. The
// paged grid model: keyset paging over ties, NULLs and both directions,
// bound WHERE values, the roles a view reads, reload and database errors.
// The connection settings kept in the file: their rules and the reset to
// defaults.
#include "AllowedNetworks.h"
#include "AppState.h"
#include "ConnectionSettings.h"
#include "DataDirectory.h"
#include "Database.h"
#include "DateTimeText.h"
#include "DebugLog.h"
#include "DeliveryConfirmations.h"
#include "MainController.h"
#include "QueryTableModel.h"
#include "QueueBatch.h"
#include "RecordingPrompter.h"
#include "Schema.h"
#include "SettingsReset.h"
#include "SharedStore.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QAbstractItemModelTester>
#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace tavsms;
using test::modeOf;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString octal(int mode)
{
    return QStringLiteral("0%1").arg(mode, 0, 8);
}

void createFile(const QString &path, int mode, const QByteArray &content = "contents\r\n")
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
}

// True when the line is the event, after the time stamp the log puts before it.
bool isEvent(const QByteArray &line, const QString &event)
{
    static const QString stamp = QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d{2}:\\d{2} [AP]M ");
    const QRegularExpressionMatch m = QRegularExpression(stamp).match(QString::fromUtf8(line));
    return m.hasMatch() && line.mid(m.capturedLength()) == event.toUtf8();
}

// Watches every change the model makes and aborts on the first broken rule.
// The test does the fetching, as a view would: the tester's own fetching
// runs inside its modelReset handler, before the tester has noted that the
// reset is over, so it would take the next page for a change made during
// the reset (seen with Qt 6.4).
struct Tester : QAbstractItemModelTester
{
    explicit Tester(QAbstractItemModel *model)
        : QAbstractItemModelTester(model, FailureReportingMode::Fatal)
    {
        setUseFetchMore(false);
    }
};

TableQuery idsAndDates(Qt::SortOrder datedOrder, Qt::SortOrder idOrder, bool datedMayBeNull = false)
{
    TableQuery q;
    q.from = QStringLiteral("t");
    q.columns = {{QStringLiteral("id"), QStringLiteral("Id"), {}}, {QStringLiteral("dated"), QStringLiteral("Dated"), {}}};
    q.sortKeys = {{QStringLiteral("dated"), datedOrder, datedMayBeNull}, {QStringLiteral("id"), idOrder}};
    return q;
}

QList<qint64> shownIds(const QueryTableModel &model)
{
    QList<qint64> ids;
    for (int r = 0; r < model.rowCount(); ++r)
        ids << model.index(r, 0).data(QueryTableModel::StoredValueRole).toLongLong();
    return ids;
}

// Fetches like a view scrolled to the bottom; returns the number of fetches.
// The tests hold a few dozen rows: a model that never ends stops at 100.
int fetchAll(QueryTableModel &model)
{
    int fetches = 0;
    while (model.canFetchMore({}) && fetches < 100) {
        model.fetchMore({});
        ++fetches;
    }
    return fetches;
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

    Store *m_store = nullptr;
    std::unique_ptr<MessageQueue> m_queue;

    // A queue of its own: its picks start counting afresh.
    MessageQueue &queue() { return *m_queue; }
    Database &db() { return m_store->db(); }
    qint64 add(const QString &port, const QDateTime &due = {}, const QString &text = QStringLiteral("hello"))
    {
        const EnqueueResult r = queue().addToQueue(QStringLiteral("9876543210"), text, port, due);
        if (!r)
            qFatal("addToQueue failed: %s", qPrintable(r.error));
        return r.id;
    }

    void expectAllPrivate()
    {
        QVERIFY2(modeOf(DataDirectory::path()) == 0700, qPrintable(octal(modeOf(DataDirectory::path()))));
        const QFileInfoList files =
            QDir(DataDirectory::path()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
        QVERIFY(!files.isEmpty());
        for (const QFileInfo &file : files)
            QVERIFY2(modeOf(file.filePath()) == 0600, qPrintable(file.fileName()));
    }

    QTemporaryDir m_gridDir;
    std::unique_ptr<Database> m_db; // the grid's
    qint64 insert(const QVariant &dated, const QString &name = QStringLiteral("n"), double amount = 0)
    {
        m_db->exec(QStringLiteral("INSERT INTO t (dated, name, amount) VALUES (?, ?, ?)"), {dated, name, amount});
        return m_db->lastInsertId();
    }

    // 23 rows in three dates, entered out of date order so that id order and
    // date order differ; every fifth has no date when `nulls` is set.
    void insertTiedRows(bool nulls)
    {
        static const char *dates[] = {"2024-05-02 14:05:06", "2024-05-01 09:00:00", "2024-05-03 00:00:00"};
        Transaction tx(*m_db);
        for (int i = 0; i < 23; ++i)
            insert(nulls && i % 5 == 0 ? QVariant() : QVariant(QString::fromLatin1(dates[(i * 5 + i / 4) % 3])));
        tx.commit();
    }
    // The order one whole query gives.
    QList<qint64> orderedIds(Qt::SortOrder datedOrder, Qt::SortOrder idOrder)
    {
        const auto dir = [](Qt::SortOrder o) { return o == Qt::AscendingOrder ? "ASC" : "DESC"; };
        Statement st = m_db->prepare(
            QStringLiteral("SELECT id FROM t ORDER BY dated %1, id %2").arg(dir(datedOrder), dir(idOrder)));
        QList<qint64> ids;
        while (st.next())
            ids << st.value(0).toLongLong();
        return ids;
    }

    QStringList m_events; // reinitialisations and boxes, in order
    std::unique_ptr<ConnectionSettings> m_settings;
    test::RecordingPrompter m_prompter; // of the settings

    // "active|system port|type|operator|two-way|routing|block|pdu" of a config_ports row.
    QString portRow(const QString &port)
    {
        return db().scalar(QStringLiteral("SELECT portActive || '|' || systemPortNo || '|' || deviceType || '|' || "
                                          "mobileOperator || '|' || allowTwoWay || '|' || allowRouting || '|' || "
                                          "blockIncoming || '|' || pduMode FROM config_ports WHERE softwarePortNo = ?"),
                           {port})
            .toString();
    }
    void setPort(const QString &port, bool active, const QString &system, const QString &type, const QString &name)
    {
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = ?, systemPortNo = ?, deviceType = ?, "
                                 "mobileOperator = ?, allowRouting = 1, allowTwoWay = 0, blockIncoming = 1 "
                                 "WHERE softwarePortNo = ?"),
                  {active, system, type, name, port});
    }
    QCoro::Task<void> reinitialize()
    {
        m_events << QStringLiteral("reinit after %1 box(es)").arg(m_prompter.count());
        co_return;
    }
    static PortSettings port(const QString &name, const QString &type = QStringLiteral("GSM Modem - Other"),
                             bool block = false, bool pdu = false)
    {
        return PortSettings{true, QStringLiteral("ttyUSB0"), type, name, true, true, block, pdu};
    }

private Q_SLOTS:
    // The grid's tests: one connection for the program (keying one costs far
    // more than a test), not synced to the disk at each write; each test gets
    // the table anew.
    void initTestCase()
    {
        QVERIFY(m_gridDir.isValid());
        m_db = Database::open(m_gridDir.filePath(QStringLiteral("grid.db")), "grid-test-key");
        m_db->execScript(QStringLiteral("PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF"));
    }
    void init()
    {
        m_store = &test::freshStore();
        m_queue = std::make_unique<MessageQueue>(m_store->db());
        m_db->execScript(QStringLiteral("DROP TABLE IF EXISTS t; CREATE TABLE t (id INTEGER PRIMARY KEY "
                                        "AUTOINCREMENT, dated TEXT, name TEXT, amount REAL)"));
        m_prompter.clear();
        m_events.clear();
        m_settings = std::make_unique<ConnectionSettings>(
            db(), m_prompter,
            ConnectionSettings::Hooks{[this] { return reinitialize(); },
                                      [] { return QStringList{QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")}; },
                                      [](const QString &name) { return name == QLatin1String("/dev/pts/7"); }});
    }

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
            QCOMPARE(db.scalar(QStringLiteral("SELECT TAVusername FROM config_InternetSMS")).toString(),
                     QStringLiteral("zeta"));
            QVERIFY(store.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("plaintext-marker"),
                                             kRouteAuto));
            db.exec(QStringLiteral("UPDATE config_ports SET mobileOperator = 'Airtel' WHERE softwarePortNo = 'COM1'"));
            expectPrivate();

            for (const QString &file : files)
                QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                        | QFile::ReadOther));
            Store again(path); // while the first keeps -wal and -shm in place
            QCOMPARE(again.queue().queuedCount(), 1);
            QCOMPARE(again.db().scalar(QStringLiteral("SELECT group_concat(mobileOperator) FROM config_ports")).toString(),
                     QStringLiteral("Airtel,,,,")); // not seeded again
            expectPrivate();
        } // the last connection folds the WAL into the file
        const QByteArray bytes = fileBytes(path);
        QVERIFY(bytes.size() > 0 && !bytes.startsWith("SQLite format 3"));
        QVERIFY(!bytes.contains("plaintext-marker") && !bytes.contains("q_logs"));
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
        createFile(path, 0600, content);
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
        QVERIFY(fileBytes(path) == content);
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
        QCOMPARE(store.db().scalar(QStringLiteral("SELECT listenerPort || '|' || parallelRequests FROM config_network"))
                     .toString(),
                 QStringLiteral("8081|8"));
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

    // A status report goes to the newest part still awaiting one with its
    // port, reference and recipient, sent within the validity period.
    void statusReportsMatchTheNewestAwaitingPart_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("reference");
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("newest"); // the handset of the newest message with reference 9
        using O = DeliveryConfirmations::Outcome;
        const QString awaiting = HandsetState::Awaiting;
        QTest::newRow("newest of two, international form") << "COM1" << 9 << "+919876543210" << 0 << int(O::Confirmed)
                                                           << HandsetState::Confirmed;
        QTest::newRow("older than the validity period") << "COM1" << 5 << "9876543210" << 0 << int(O::Unmatched) << awaiting;
        QTest::newRow("another port") << "COM3" << 9 << "9876543210" << 0 << int(O::Unmatched) << awaiting;
        QTest::newRow("another recipient") << "COM1" << 9 << "9876543211" << 0 << int(O::Unmatched) << awaiting;
        QTest::newRow("temporary error") << "COM1" << 9 << "9876543210" << 0x21 << int(O::Waiting) << awaiting;
        QTest::newRow("permanent error") << "COM1" << 9 << "9876543210" << 0x46 << int(O::Failed)
                                         << "Failed (validity period expired)";
    }
    void statusReportsMatchTheNewestAwaitingPart()
    {
        QFETCH(QString, port);
        QFETCH(int, reference);
        QFETCH(QString, recipient);
        QFETCH(int, status);
        QFETCH(int, outcome);
        QFETCH(QString, newest);
        DeliveryConfirmations confirmations(db());
        const QDateTime now = QDateTime::currentDateTime();
        const qint64 expired = add(QStringLiteral("COM1")), older = add(QStringLiteral("COM1")),
                     newer = add(QStringLiteral("COM1")), other = add(QStringLiteral("COM2"));
        confirmations.recordSent(expired, QStringLiteral("COM1"), QStringLiteral("9876543210"), {5},
                                 now.addDays(-DeliveryConfirmations::kValidityDays).addSecs(-1));
        confirmations.recordSent(older, QStringLiteral("COM1"), QStringLiteral("9876543210"), {9}, now.addDays(-2));
        confirmations.recordSent(newer, QStringLiteral("COM1"), QStringLiteral("9876543210"), {9}, now.addSecs(-60));
        confirmations.recordSent(other, QStringLiteral("COM2"), QStringLiteral("9876543210"), {9}, now);

        QCOMPARE(int(confirmations.match({port, reference, recipient, status, now})), outcome);
        QCOMPARE(confirmations.handsetOf(newer), newest);
        QCOMPARE(confirmations.unmatchedCount(), outcome == int(DeliveryConfirmations::Outcome::Unmatched) ? 1 : 0);
        for (qint64 id : {expired, older, other})
            QCOMPARE(confirmations.handsetOf(id), HandsetState::Awaiting);
        QCOMPARE(confirmations.confirmedCounts(now.addDays(-1), now.addSecs(1))[0],
                 newest == HandsetState::Confirmed ? 1 : 0);
    }

    // What the ports and the views run for every report and row stays on an index.
    void deliveryStatementsStayOnTheirIndexes()
    {
        QTemporaryDir dir;
        Store store(dir.filePath(QStringLiteral("plan.mdb")));
        DeliveryConfirmations confirmations(store.db());
        const QDateTime now = QDateTime::currentDateTime();
        confirmations.recordSent(1, QStringLiteral("COM1"), QStringLiteral("9876543210"), {1, 2}, now);
        confirmations.recordSent(2, QStringLiteral("COM1"), QStringLiteral("9876543210"), {1}, now.addSecs(-60));
        // Two reports of one batch with the same reference settle the two parts that have it, newest first.
        const StatusReport first{QStringLiteral("COM1"), 1, QStringLiteral("9876543210"), 0, now};
        confirmations.matchAll({first,
                                {QStringLiteral("COM1"), 2, QStringLiteral("9876543210"), 0x41, now},
                                {QStringLiteral("COM1"), 3, QStringLiteral("9876543210"), 0x21, now}, first});
        QCOMPARE(confirmations.handsetOf(1), QStringLiteral("Failed (incompatible destination)"));
        QCOMPARE(confirmations.handsetOf(2), HandsetState::Confirmed);
        confirmations.confirmedCounts(now.addDays(-1), now);
        QVERIFY(!confirmations.confirmationsBetween(now.addDays(-1), now.addDays(1)).next());
        QCOMPARE(confirmations.confirmationsBetweenCount(now.addDays(-1), now.addDays(1)), 2);
        int checked = 0;
        for (const QString &sql : store.db().cachedStatements()) {
            if (!sql.contains(QLatin1String("delivery_")) || sql.startsWith(QLatin1String("INSERT")))
                continue;
            const QString plan = planOf(store.db(), sql);
            const bool scans = plan.contains(QRegularExpression(QStringLiteral("(^|\\n)SCAN ")));
            QVERIFY2(!scans && !plan.contains(QLatin1String("TEMP B-TREE FOR ORDER BY")),
                     qPrintable(sql + QStringLiteral("\n") + plan));
            ++checked;
        }
        QVERIFY2(checked >= 8, qPrintable(store.db().cachedStatements().join(QLatin1Char('\n'))));
    }

    void newRowIsPendingDueNowWithItsValuesAndRoutedAsQueued()
    {
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        const QString text = QStringLiteral("don't \"quote\" me'); DELETE FROM q_logs; --");
        const qint64 id = add(QStringLiteral("COM2"), {}, text);
        const auto row = queue().row(id);
        QVERIFY(row);
        QCOMPARE(QStringList({row->status, row->message, row->mobileNo, row->comPort}),
                 QStringList({"Pending", text, "9876543210", "COM2"})); // the text as typed, and only data
        QCOMPARE(row->retryNo, 0);
        QVERIFY(row->dated >= before && row->dated <= QDateTime::currentDateTime());
        QCOMPARE(row->deliveryTime, row->dated);
        // A port takes its own rows and Auto's, no other port's.
        const QDateTime now = QDateTime::currentDateTime().addSecs(1);
        QVERIFY(!queue().nextDueForPort(QStringLiteral("COM1"), now));
        QCOMPARE(queue().nextDueForPort(QStringLiteral("COM2"), now)->id, id);
        const qint64 any = add(QStringLiteral("Auto"));
        QCOMPARE(queue().nextDueForPort(QStringLiteral("COM1"), now.addSecs(1))->id, any);
        QCOMPARE(queue().queuedCount(), 2);
    }

    // The gateway's batch: what claiming one row at a time would give, in that
    // order, the rows it put aside left out until their time.
    void gatewayBatchIsTheOneByOneOrder()
    {
        const QDateTime now = QDateTime::currentDateTime().addSecs(1);
        QList<qint64> ids;
        for (const char *route : {"Auto", "WEBGATEWAY", "COM1", "WEBGATEWAY", "Auto", "Auto", "WEBGATEWAY", "Auto"})
            ids << add(QString::fromLatin1(route));
        QVERIFY(queue().claim(ids[4]));
        queue().deferForGateway(ids[4], now.addSecs(60), true); // put aside, one retry
        QVERIFY(queue().claim(ids[5]));
        queue().deferForGateway(ids[5], now.addSecs(-1), true); // its time has come
        QVERIFY(queue().claim(ids[6]));
        queue().deferForGateway(ids[6], now.addSecs(60), false); // put aside, no retry
        QCOMPARE(queue().row(ids[6])->retryNo, 0);
        QCOMPARE(queue().row(ids[6])->status, QStringLiteral("Pending"));
        QCOMPARE(DateTimeText::stored(queue().row(ids[6])->nextAttempt), DateTimeText::stored(now.addSecs(60)));

        const auto idsOf = [](const QList<QueueRow> &rows) {
            QList<qint64> out;
            for (const QueueRow &r : rows)
                out << r.id;
            return out;
        };
        const QList<qint64> batch = idsOf(queue().dueForGateway(now, 10));
        QCOMPARE(batch, (QList<qint64>{ids[0], ids[1], ids[3], ids[7], ids[5]}));
        QCOMPARE(idsOf(queue().dueForGateway(now, 2)), batch.mid(0, 2));
        QList<qint64> oneByOne;
        while (const auto row = queue().nextDueForGateway(now)) {
            oneByOne << row->id;
            QVERIFY(queue().claim(row->id));
        }
        QCOMPARE(oneByOne, batch);
        // Between the two routes the one queued first goes first, retried or not.
        QCOMPARE(idsOf(queue().dueForGateway(now.addSecs(60), 10)), (QList<qint64>{ids[4], ids[6]}));
    }

    void retriedRowsHaveEveryTenthPickOfTheirPortInTurn()
    {
        const QDateTime now = QDateTime::currentDateTime().addSecs(1);
        const qint64 a = add(QStringLiteral("COM1"));
        const qint64 b = add(QStringLiteral("Auto"));
        for (qint64 id : {a, b}) {
            QVERIFY(queue().claim(id));
            queue().markRetry(id);
        }
        QCOMPARE(queue().row(b)->retryNo, 1);
        for (int i = 0; i < 40; ++i)
            add(i % 2 ? QStringLiteral("COM1") : QStringLiteral("Auto"));

        QList<qint64> taken;
        for (int pick = 1; pick <= 3 * MessageQueue::kRetryTurn; ++pick) {
            // Another port's picks are its own: they do not bring COM1's turn nearer.
            if (pick < MessageQueue::kRetryTurn)
                QVERIFY(queue().nextDueForPort(QStringLiteral("COM2"), now));
            const std::optional<QueueRow> row = queue().nextDueForPort(QStringLiteral("COM1"), now);
            QVERIFY(row);
            QVERIFY(queue().claim(row->id));
            taken << row->id;
            if (row->id == a)
                queue().markRetry(a); // fails every time
            else
                queue().markDelivered(row->id, QStringLiteral("COM1"), QStringLiteral("sent"), now);
        }
        // The tenth pick goes to the oldest retried row; the next turn to the
        // next one although the first failed again; then round again.
        QCOMPARE(taken.at(MessageQueue::kRetryTurn - 1), a);
        QCOMPARE(taken.at(2 * MessageQueue::kRetryTurn - 1), b);
        QCOMPARE(taken.at(3 * MessageQueue::kRetryTurn - 1), a);
        // Every other pick took the fresh rows, oldest first.
        QList<qint64> fresh = taken;
        fresh.removeAll(a);
        fresh.removeAll(b);
        QCOMPARE(fresh.size(), 3 * MessageQueue::kRetryTurn - 3);
        QVERIFY(std::is_sorted(fresh.cbegin(), fresh.cend()));
        QVERIFY(fresh.first() > b);

        // A turn with no retried row due is a fresh pick like the others.
        const qint64 later = add(QStringLiteral("COM3"), QDateTime::currentDateTime().addDays(1));
        QVERIFY(queue().claim(later));
        queue().markRetry(later);
        for (int pick = 1; pick <= MessageQueue::kRetryTurn; ++pick)
            QVERIFY(queue().nextDueForPort(QStringLiteral("COM3"), now)->id != later);
    }

    void repairTouchesOnlySendingRowsNotHandedOver()
    {
        const qint64 pending = add(QStringLiteral("Auto"));
        const qint64 sending = add(QStringLiteral("Auto"));
        const qint64 delivered = add(QStringLiteral("Auto"));
        const qint64 failed = add(QStringLiteral("WEBGATEWAY"));
        const qint64 inFlight = add(QStringLiteral("Auto"));
        QVERIFY(queue().claim(sending));
        QVERIFY(!queue().claim(sending)); // a second sender loses
        QVERIFY(queue().claim(inFlight));
        QVERIFY(queue().claim(delivered));
        const QDateTime at(QDate(2026, 12, 5), QTime(10, 18, 46));
        queue().markDelivered(delivered, QStringLiteral("COM2"), QStringLiteral("Message sent from COM2"), at);
        queue().markFailed(failed, QStringLiteral("Reason: 'quoted' text"));
        QCOMPARE(queue().queuedCount(), 3);
        const auto row = queue().row(delivered);
        QCOMPARE(QStringList({row->sentFrom, row->comments}), QStringList({"COM2", "Message sent from COM2"}));
        QCOMPARE(row->sentAt, at);
        QCOMPARE(queue().row(failed)->comments, QStringLiteral("Reason: 'quoted' text"));

        QCOMPARE(queue().repairSending({inFlight}), 1);
        QStringList statuses;
        for (qint64 id : {pending, sending, delivered, failed, inFlight})
            statuses << queue().row(id)->status;
        QCOMPARE(statuses, QStringList({"Pending", "Pending", "Delivered", "Failed", "Sending"}));
        QCOMPARE(queue().row(sending)->retryNo, 0);
        QCOMPARE(queue().queuedCount(), 3);
        // The repaired row can be taken again.
        QVERIFY(queue().claim(pending));
        QCOMPARE(queue().nextDueForGateway(QDateTime::currentDateTime().addSecs(1))->id, sending);
    }

    // Stored times compare by time, not by text of the display form.
    void deliveryTimesCompareChronologically_data()
    {
        QTest::addColumn<QString>("earlier");
        QTest::addColumn<QString>("later");
        QTest::newRow("month 2 before month 12") << "2/6/2026 9:00:00 AM" << "12/5/2026 9:00:00 AM";
        QTest::newRow("year end") << "12/31/2026 11:59:59 PM" << "1/1/2027 12:00:00 AM";
        QTest::newRow("AM before PM") << "12/5/2026 11:00:00 AM" << "12/5/2026 1:00:00 PM";
        QTest::newRow("10 before 9 as text") << "12/5/2026 9:00:00 AM" << "12/5/2026 10:00:00 AM";
    }
    void deliveryTimesCompareChronologically()
    {
        QFETCH(QString, earlier);
        QFETCH(QString, later);
        const QDateTime a = DateTimeText::parse(earlier);
        const QDateTime b = DateTimeText::parse(later);
        QVERIFY(a.isValid() && b.isValid());
        QCOMPARE(DateTimeText::display(a), earlier); // display text round-trips
        const qint64 lateId = add(QStringLiteral("Auto"), b);
        const qint64 earlyId = add(QStringLiteral("Auto"), a);
        // At the earlier time only the earlier row is due.
        QCOMPARE(queue().nextDueForPort(QStringLiteral("COM1"), a)->id, earlyId);
        QVERIFY(queue().claim(earlyId));
        QVERIFY(!queue().nextDueForPort(QStringLiteral("COM1"), a));
        QVERIFY(!queue().nextDueForGateway(a));
        QCOMPARE(queue().queuedCount(), 2); // a row not yet due is queued all the same
        QCOMPARE(queue().nextDueForPort(QStringLiteral("COM1"), b)->id, lateId);
    }

    // Both the stored and the display forms are read; what is no time is refused.
    void dateTimeTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("when"); // invalid: refused
        const QDateTime t(QDate(2026, 12, 5), QTime(10, 18, 46));
        QTest::newRow("stored") << "2026-12-05 10:18:46" << t;
        QTest::newRow("stored, blanks around") << " 2026-12-05 10:18:46 " << t;
        QTest::newRow("display") << "12/5/2026 10:18:46 AM" << t;
        QTest::newRow("display, noon") << "1/2/2026 12:05:00 PM" << QDateTime(QDate(2026, 1, 2), QTime(12, 5));
        QTest::newRow("date only") << "2026-12-05" << QDateTime(QDate(2026, 12, 5), QTime(0, 0));
        for (const char *bad : {"13/45/2026 1:00:00 PM", "soon", "2026-02-30 10:18:46", "2026-12-05 24:00:00",
                                "2026-12-05 10:61:00", "2026-1a-05 10:18:46", "2026-12-05T10:18:46", "", "   "})
            QTest::addRow("refused: '%s'", bad) << QString::fromLatin1(bad) << QDateTime();
    }
    void dateTimeTexts()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, when);
        QCOMPARE(DateTimeText::parse(text), when);
        if (when.isValid())
            QCOMPARE(DateTimeText::parse(DateTimeText::display(when)), when);
    }

    // A full disk rolls the open transaction back whole: the batch must say
    // so and count only what is really queued.
    void batchReportsExactlyWhatWasQueuedWhenTheDiskFills_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::newRow("one transaction") << 0;
        QTest::newRow("chunks of 3") << 3;
    }
    void batchReportsExactlyWhatWasQueuedWhenTheDiskFills()
    {
        QFETCH(int, chunk);
        const qint64 pages = db().scalar(QStringLiteral("PRAGMA page_count")).toLongLong();
        db().scalar(QStringLiteral("PRAGMA max_page_count = %1").arg(pages + 6));
        const QString big(1500, QLatin1Char('x'));
        int accepted = 0;
        QueueBatch batch(db(), queue(), chunk);
        for (int i = 0; i < 100 && batch.add(QStringLiteral("9876543210"), big, kRouteAuto); ++i)
            ++accepted;
        QVERIFY(!batch.finish());
        QVERIFY2(batch.error().contains(QStringLiteral("full")) && batch.error().contains(QStringLiteral("9876543210")),
                 qPrintable(batch.error()));
        QVERIFY(accepted > 0);
        QCOMPARE(queue().queuedCount(), batch.queued());
        if (chunk > 0)
            QVERIFY(batch.queued() > 0); // earlier chunks stay committed
        QVERIFY(!batch.add(QStringLiteral("9876543210"), QStringLiteral("after"), kRouteAuto));
    }

    void othersLoseEveryRight_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("file 0644") << false << 0644 << 0600;
        QTest::newRow("executable file 0755") << false << 0755 << 0600;
        QTest::newRow("set-id file 06755") << false << 06755 << 0600;
        QTest::newRow("read-only file 0444 stays read-only") << false << 0444 << 0400;
        QTest::newRow("private file 0600") << false << 0600 << 0600;
        QTest::newRow("directory 0755") << true << 0755 << 0700;
        QTest::newRow("private directory 0700") << true << 0700 << 0700;
    }
    void othersLoseEveryRight()
    {
        QFETCH(bool, directory);
        QFETCH(int, before);
        QFETCH(int, after);
        test::TestDataDirectory dir;
        const QString path = dir.root() + QStringLiteral("/entry");
        if (directory) {
            QVERIFY(QDir().mkdir(path));
            QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(before)) == 0);
        } else {
            createFile(path, before);
        }
        QCOMPARE(octal(modeOf(path)), octal(before));
        QCOMPARE(DataDirectory::makePrivate(path), QString());
        QCOMPARE(octal(modeOf(path)), octal(after));
    }

    void linksAndMissingPathsAreLeftAlone()
    {
        test::TestDataDirectory dir;
        // The link may point at anybody's file; its target keeps its mode.
        const QString target = dir.root() + QStringLiteral("/shared.txt");
        createFile(target, 0644);
        const QString link = dir.root() + QStringLiteral("/link.txt");
        QVERIFY(QFile::link(target, link));
        QCOMPARE(DataDirectory::makePrivate(link), QString());
        QCOMPARE(octal(modeOf(target)), QStringLiteral("0644"));
        QCOMPARE(DataDirectory::makePrivate(dir.root() + QStringLiteral("/missing")), QString());
    }

    // Under the common umask every file the program makes on a first start
    // would be readable by others unless it sees to it; files of an earlier
    // version, or copied in, lose what others could do with them at the next
    // start, and so does the directory.
    void aStartMakesAndLeavesOnlyPrivateFiles()
    {
        test::TestDataDirectory dir;
        const test::Umask common(022);
        const QString data = DataDirectory::path();
        QVERIFY(!QFile::exists(data));
        {
            MainController controller(m_prompter);
            QCOMPARE(controller.start(), MainController::StartResult::Running);
            QVERIFY(controller.store().queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("x"),
                                                          kRouteAuto));
            controller.debugLog().writeEvent(QStringLiteral(" Started"));
            for (const char *name : {"tavsms.mdb", "tavsms.mdb-wal", "tavsms.mdb-shm", "debug.txt", "tavsms.lock"})
                QVERIFY2(QFile::exists(QDir(data).filePath(QLatin1String(name))), name);
            expectAllPrivate();
        }

        QVERIFY(::chmod(QFile::encodeName(data).constData(), 0755) == 0);
        for (const QString &name : QDir(data).entryList(QDir::Files | QDir::Hidden | QDir::System))
            QVERIFY(::chmod(QFile::encodeName(QDir(data).filePath(name)).constData(), 0644) == 0);
        createFile(DataDirectory::databasePath() + QStringLiteral("-wal"), 0644);
        createFile(DataDirectory::databasePath() + QStringLiteral("-shm"), 0644);
        createFile(QDir(data).filePath(QStringLiteral("backup-1252026.txt")), 0755);
        createFile(QDir(data).filePath(QStringLiteral("notes.txt")), 0666);
        MainController controller(m_prompter);
        QCOMPARE(controller.start(), MainController::StartResult::Running);
        QCOMPARE(controller.store().queue().queuedCount(), 1);
        expectAllPrivate();
        QCOMPARE(m_prompter.count(), 0);
    }

    // Each line is flushed, readable while the program still runs. A value
    // carrying a line break cannot start a line of its own: CR and LF inside
    // a line are written as the two characters \r and \n.
    void createsAppendsAndNeverTruncates()
    {
        test::TestDataDirectory dir;
        const QString path = dir.root() + QStringLiteral("/debug.txt");
        {
            DebugLog log;
            QCOMPARE(log.open(path), QString());
            log.writeLine(QStringLiteral("first"));
        }
        QCOMPARE(fileBytes(path), QByteArray("first\r\n"));
        DebugLog log;
        QCOMPARE(log.open(path), QString());
        log.writeEvent(QStringLiteral(" Push URL Response - one\ntwo"));
        log.writeLine(QStringLiteral("Message= a\r\n10/1/2024 1:00:00 PM forged\rb\nc\\n"));
        const QList<QByteArray> lines = fileBytes(path).split('\n');
        QCOMPARE(lines.size(), 4); // three lines and nothing after the last break
        QCOMPARE(lines[0], QByteArray("first\r"));
        QVERIFY2(isEvent(lines[1], QStringLiteral("Push URL Response - one\\ntwo\r")), lines[1].constData());
        QCOMPARE(lines[2], QByteArray("Message= a\\r\\n10/1/2024 1:00:00 PM forged\\rb\\nc\\n\r"));

        // Once closed, no line tries the file again.
        log.close();
        QVERIFY(QFile::remove(path));
        log.writeLine(QStringLiteral("after close"));
        QVERIFY(!QFile::exists(path));
    }

    // The disk fills in the middle of a line (here the file-size limit, which
    // cuts a write short as a full disk does) and frees later: the cut line is
    // finished before anything else, the lines meanwhile are counted in one
    // line, and every line in the file is whole.
    void aLineCutShortIsFinishedAndTheLostAreCounted()
    {
        test::TestDataDirectory dir;
        const QString path = dir.root() + QStringLiteral("/debug.txt");
        DebugLog log;
        QStringList told;
        log.setTroubleHandler([&told](const QString &reason) { told << reason; });
        QCOMPARE(log.open(path), QString());
        log.writeLine(QStringLiteral("first"));

        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        {
            rlimit full = saved;
            full.rlim_cur = QFileInfo(path).size() + 10;
            const auto handler = std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &full);
            const auto restore = qScopeGuard([&] {
                setrlimit(RLIMIT_FSIZE, &saved);
                std::signal(SIGXFSZ, handler);
            });
            log.writeLine(QStringLiteral("HTTP MSG Failed - the disk filled here"));
            log.writeLine(QStringLiteral("lost one"));
            log.writeLine(QStringLiteral("lost two"));
            QCOMPARE(told, QStringList{QStringLiteral("File too large")}); // told once, with the system's reason
            QCOMPARE(log.trouble(), told.first());
            QCOMPARE(log.droppedLines(), 2);
        }
        log.writeLine(QStringLiteral("HTTP MSG Sent - after"));
        QCOMPARE(told.size(), 2);
        QCOMPARE(told.last(), QString());
        QCOMPARE(log.droppedLines(), 0);

        const QList<QByteArray> lines = fileBytes(path).split('\n');
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QByteArray("first\r"));
        QCOMPARE(lines[1], QByteArray("HTTP MSG Failed - the disk filled here\r"));
        QVERIFY2(isEvent(lines[2], QStringLiteral("2 lines could not be written\r")), lines[2].constData());
        QCOMPARE(lines[3], QByteArray("HTTP MSG Sent - after\r"));
        QVERIFY(lines[4].isEmpty());
    }

    // The program starts and runs without its log, no box in the way (the
    // status bar and standard error tell it: the window's and the service's
    // tests); the lines try the file again, and once one goes in, the lost
    // are counted in a line and the all-clear is given.
    void theProgramGoesOnWithoutItsLog()
    {
        test::TestDataDirectory dir;
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        const QString path = DataDirectory::debugLogPath();
        QVERIFY(QDir().mkdir(path));
        MainController controller(m_prompter);
        QCOMPARE(controller.start(), MainController::StartResult::Running);
        QCOMPARE(controller.debugLogTrouble(), QStringLiteral("The debug log %1 cannot be written: Is a directory").arg(path));
        for (int i = 0; i < 3; ++i)
            controller.debugLog().writeEvent(QStringLiteral(" Activating COM1 - "));
        QVERIFY2(m_prompter.count() == 0, qPrintable(m_prompter.dump()));

        QVERIFY(QDir().rmdir(path));
        controller.debugLog().writeEvent(QStringLiteral(" Activating COM1 - "));
        QCOMPARE(controller.debugLogTrouble(), QString());
        const QList<QByteArray> lines = fileBytes(path).split('\n');
        QVERIFY2(lines.size() == 3 && isEvent(lines[0], QStringLiteral("3 lines could not be written\r"))
                     && isEvent(lines[1], QStringLiteral("Activating COM1 - \r")) && lines[2].isEmpty(),
                 fileBytes(path).constData());
    }

    void pagesSplitTiesWithoutLossOrRepeat_data()
    {
        QTest::addColumn<int>("pageSize");
        QTest::addColumn<Qt::SortOrder>("datedOrder");
        QTest::addColumn<Qt::SortOrder>("idOrder");
        QTest::addColumn<bool>("nulls");
        const auto up = Qt::AscendingOrder;
        const auto down = Qt::DescendingOrder;
        for (int size : {1, 2, 3, 5, 23, 200}) {
            const QByteArray n = QByteArray::number(size);
            QTest::newRow("newest first, page " + n) << size << down << down << false;
            QTest::newRow("oldest first, page " + n) << size << up << up << false;
            QTest::newRow("dates down, ids up, page " + n) << size << down << up << false;
            QTest::newRow("dates up, ids down, page " + n) << size << up << down << false;
            QTest::newRow("NULL dates, newest first, page " + n) << size << down << down << true;
            QTest::newRow("NULL dates, oldest first, page " + n) << size << up << up << true;
        }
    }
    void pagesSplitTiesWithoutLossOrRepeat()
    {
        QFETCH(int, pageSize);
        QFETCH(Qt::SortOrder, datedOrder);
        QFETCH(Qt::SortOrder, idOrder);
        QFETCH(bool, nulls);
        insertTiedRows(nulls);

        QueryTableModel model(*m_db, idsAndDates(datedOrder, idOrder, nulls), pageSize);
        Tester tester(&model);
        model.reload();
        QCOMPARE(model.rowCount(), qMin(pageSize, 23));
        // One fetch per further page, and one that finds nothing after a full last page.
        const int pages = (23 + pageSize - 1) / pageSize;
        QCOMPARE(fetchAll(model), pages - 1 + (23 % pageSize == 0 ? 1 : 0));
        QCOMPARE(shownIds(model), orderedIds(datedOrder, idOrder));
        QVERIFY(model.errorText().isEmpty());
    }

    void nextPageStartsAfterTheLastRowShown()
    {
        // Rows added before the fetched ones must not shift the next page,
        // as skipping a count of rows would.
        QList<qint64> ids;
        for (int i = 0; i < 6; ++i)
            ids << insert(QStringLiteral("2024-01-0%1 00:00:00").arg(i + 1));
        QueryTableModel model(*m_db, idsAndDates(Qt::AscendingOrder, Qt::AscendingOrder), 3);
        Tester tester(&model);
        model.reload();
        QCOMPARE(shownIds(model), ids.mid(0, 3));
        const qint64 early = insert(QStringLiteral("2023-12-31 00:00:00"));
        const qint64 earlier = insert(QStringLiteral("2023-12-30 00:00:00"));
        m_db->exec(QStringLiteral("DELETE FROM t WHERE id = ?"), {ids.at(4)});
        const qint64 late = insert(QStringLiteral("2024-02-01 00:00:00"));
        QCOMPARE(model.rowCount(), 3); // a model shows what it read until it fetches or reloads
        fetchAll(model);
        QCOMPARE(shownIds(model), (QList<qint64>{ids.at(0), ids.at(1), ids.at(2), ids.at(3), ids.at(5), late}));
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        model.reload();
        QCOMPARE(resets.size(), 1);
        QCOMPARE(shownIds(model), (QList<qint64>{earlier, early, ids.at(0)}));
    }

    void whereValuesAreBound()
    {
        const QString quoted = QStringLiteral("O'Brien");
        const QString hostile = QStringLiteral("x' OR '1'='1");
        QList<qint64> wanted;
        for (int i = 0; i < 9; ++i) {
            const qint64 id = insert(QStringLiteral("2024-01-01 00:00:00"), quoted, i);
            insert(QStringLiteral("2024-01-01 00:00:00"), QStringLiteral("OBrien"), i);
            if (i >= 2)
                wanted.prepend(id);
        }
        const qint64 hostileId = insert(QStringLiteral("2024-01-01 00:00:00"), hostile, 5);

        TableQuery q = idsAndDates(Qt::DescendingOrder, Qt::DescendingOrder);
        q.where = QStringLiteral("name = ? AND amount >= ?");
        q.parameters = {quoted, 2};
        QueryTableModel model(*m_db, q, 2);
        Tester tester(&model);
        model.reload();
        fetchAll(model);
        QCOMPARE(shownIds(model), wanted);

        q.parameters = {hostile, 0};
        QueryTableModel exact(*m_db, q, 2);
        exact.reload();
        fetchAll(exact);
        QCOMPARE(shownIds(exact), QList<qint64>{hostileId});
    }

    void rolesGiveShownTextStoredValueTipAndAlignment()
    {
        const QString longText = QStringLiteral("A long message that a narrow column would cut short, with <b>markup</b>");
        insert(QStringLiteral("2024-05-02 14:05:06"), longText, 12.5);
        TableQuery q;
        q.from = QStringLiteral("t");
        q.columns = {
            {QStringLiteral("dated"), QStringLiteral("Received"),
             [](const QVariant &v) { return v.toString().replace(QLatin1Char('-'), QLatin1Char('/')); },
             Qt::AlignCenter},
            {QStringLiteral("amount * 2"), QStringLiteral("Twice"),
             [](const QVariant &v) { return QString::number(v.toDouble(), 'f', 2); }, Qt::AlignRight | Qt::AlignVCenter},
            {QStringLiteral("name"), QStringLiteral("Message"), {}, Qt::AlignLeft | Qt::AlignVCenter, true},
        };
        q.sortKeys = {{QStringLiteral("id"), Qt::AscendingOrder}};
        QueryTableModel model(*m_db, q);
        Tester tester(&model);
        model.reload();
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Message"));

        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("2024/05/02 14:05:06"));
        QCOMPARE(model.index(0, 0).data(QueryTableModel::StoredValueRole).toString(), QStringLiteral("2024-05-02 14:05:06"));
        QCOMPARE(model.index(0, 0).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("25.00"));
        QCOMPARE(model.index(0, 1).data(QueryTableModel::StoredValueRole).toDouble(), 25.0);
        QCOMPARE(model.index(0, 1).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
        QCOMPARE(model.index(0, 2).data().toString(), longText); // no formatter: the value as text
        QCOMPARE(model.index(0, 2).data(Qt::ToolTipRole).toString(), longText);
        QVERIFY(!model.index(0, 0).data(Qt::ToolTipRole).isValid());
        QVERIFY(!model.index(0, 1).data(Qt::ToolTipRole).isValid());
        QVERIFY(!model.index(0, 0).data(Qt::EditRole).isValid());
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("x")));
    }

    void databaseErrorStopsFetchingAndIsReported()
    {
        for (int i = 0; i < 5; ++i)
            insert(QStringLiteral("2024-01-01 00:00:00"));
        QueryTableModel model(*m_db, idsAndDates(Qt::DescendingOrder, Qt::DescendingOrder), 2);
        Tester tester(&model);
        QSignalSpy failures(&model, &QueryTableModel::fetchFailed);
        model.reload();
        const QList<qint64> firstPage = shownIds(model);
        QCOMPARE(firstPage.size(), 2);

        m_db->execScript(QStringLiteral("DROP TABLE t"));
        QVERIFY(model.canFetchMore({}));
        model.fetchMore({});
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures.at(0).at(0).toString().contains(QLatin1String("no such table")),
                 qPrintable(failures.at(0).at(0).toString()));
        QCOMPARE(model.errorText(), failures.at(0).at(0).toString());
        QCOMPARE(shownIds(model), firstPage); // what was shown stays
        QVERIFY(!model.canFetchMore({}));
        model.fetchMore({}); // a view may still ask; nothing happens
        QCOMPARE(failures.size(), 1);

        model.reload();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(failures.size(), 2);
        QVERIFY(!model.canFetchMore({}));

        // The model keeps its connection; the table is back, empty, then with a row.
        m_db->execScript(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, dated TEXT, name TEXT, amount REAL)"));
        model.reload();
        QVERIFY(model.rowCount() == 0 && !model.canFetchMore({}) && model.errorText().isEmpty());
        insert(QStringLiteral("2024-01-01 00:00:00"));
        QueryTableModel fresh(*m_db, idsAndDates(Qt::DescendingOrder, Qt::DescendingOrder), 4);
        QVERIFY(fresh.rowCount() == 0 && !fresh.canFetchMore({})); // nothing read before reload()
        model.reload();
        QCOMPARE(model.rowCount(), 1);
    }

    void loadShowsActivePortsOnlyAndCautionsAboutAbsentOnes()
    {
        setPort("COM1", true, "ttyUSB0", "GSM Modem - TAV", "Airtel");
        setPort("COM2", false, "ttyS0", "GSM Mobile - Nokia", "Old");
        setPort("COM3", true, "COM7", "CDMA Mobile - Nokia", "Tata");
        setPort("COM4", true, "/dev/pts/7", "GSM Mobile - Other", "Pty");
        db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = 'me', gsm_id = 'G', cdma_id = 'C', "
                                 "TAVisActive = 1"));
        const SettingsScreenState s = *m_settings->load();

        const PortTab &com1 = s.ports[0];
        QVERIFY(com1.settings.active && com1.settings.allowRouting && !com1.settings.allowTwoWay
                && com1.settings.blockIncoming);
        QCOMPARE(com1.settings.mobileOperator, QStringLiteral("Airtel"));
        QCOMPARE(com1.settings.deviceType, QStringLiteral("GSM Modem - TAV"));
        QCOMPARE(com1.portChoices.value(com1.selectedPort), QStringLiteral("ttyUSB0"));
        QVERIFY(com1.caution.isEmpty());

        // Inactive: nothing of what the row still holds is shown.
        QVERIFY(!s.ports[1].settings.active && s.ports[1].settings.mobileOperator.isEmpty());
        QCOMPARE(s.ports[1].selectedPort, -1);

        // Absent: the stored name stays selectable, with the caution line;
        // a device path that exists is no cause for caution.
        QCOMPARE(s.ports[2].portChoices.value(s.ports[2].selectedPort), QStringLiteral("COM7"));
        QCOMPARE(s.ports[2].caution,
                 QStringLiteral("Caution: We are not able to find hardware port no COM7 on this system."));
        QCOMPARE(s.ports[3].portChoices.value(s.ports[3].selectedPort), QStringLiteral("/dev/pts/7"));
        QVERIFY(s.ports[3].caution.isEmpty());

        QVERIFY(s.internet.active);
        QCOMPARE(QStringList({s.internet.username, s.internet.gsmId, s.internet.cdmaId}), QStringList({"me", "G", "C"}));
        QCOMPARE(m_prompter.count(), 0); // loading writes and says nothing
    }

    // A port's own name may be given again; names are stored without blanks.
    void applySavesThePortAsActive()
    {
        setPort("COM2", false, "ttyS0", "GSM Modem - Other", "Jio  ");
        QVERIFY(m_settings->applyPort(1, port(QStringLiteral("Vodafone"))).saved);
        QVERIFY(m_prompter.contains(QStringLiteral("Success"), QStringLiteral("Port added/updated successfully.")));
        QCOMPARE(portRow(QStringLiteral("COM2")), QStringLiteral("1|ttyUSB0|GSM Modem - Other|Vodafone|1|1|0|0"));
        QVERIFY(m_settings->applyPort(1, port(QStringLiteral(" Vodafone "))).saved);
        QCOMPARE(portRow(QStringLiteral("COM2")), QStringLiteral("1|ttyUSB0|GSM Modem - Other|Vodafone|1|1|0|0"));
        QVERIFY(m_events.isEmpty()); // Apply never re-initialises
    }

    void applyRefusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("systemPort");
        QTest::addColumn<QString>("box");
        const QString taken = QStringLiteral("Mobile Operator %1 already exist. Please choose another name for this "
                                             "connection.");
        const QString noName = QStringLiteral("Please enter mobile operator's name.");
        QTest::newRow("taken by another port") << "Airtel" << "ttyS0" << taken.arg("Airtel");
        QTest::newRow("taken, blanks around") << " Airtel  " << "ttyS0" << taken.arg("Airtel");
        // Rows written before names were trimmed may carry blanks, the port on or off.
        QTest::newRow("stored with blanks, port off") << "Jio" << "ttyS0" << taken.arg("Jio");
        QTest::newRow("empty") << "" << "ttyS0" << noName;
        QTest::newRow("blanks") << "   " << "ttyS0" << noName;
        QTest::newRow("no system port") << "Idea" << " " << "Please select the system port of this connection.";
    }
    void applyRefusals()
    {
        QFETCH(QString, name);
        QFETCH(QString, systemPort);
        QFETCH(QString, box);
        setPort("COM1", true, "ttyS0", "GSM Modem - Other", "Airtel");
        setPort("COM2", false, "ttyS0", "GSM Modem - Other", "Jio  ");
        PortSettings s = port(name);
        s.systemPort = systemPort;
        const auto outcome = m_settings->applyPort(3, s);
        QVERIFY(!outcome.saved);
        QCOMPARE(outcome.focusOperator, !box.startsWith(QLatin1String("Please select")));
        QCOMPARE(m_prompter.count(), 1);
        QCOMPARE(m_prompter.entries().first().text, box);
        QCOMPARE(portRow(QStringLiteral("COM4")), QStringLiteral("0||||0|0|0|0"));
    }

    // Call blocking is kept for the TAV modem only, PDU mode for GSM types only.
    void callBlockingAndPduModeFollowTheType()
    {
        for (const QString &type : kDeviceTypes) {
            const auto outcome = m_settings->applyPort(2, port(QStringLiteral("Op"), type, true, true));
            QVERIFY(outcome.saved);
            const bool tav = type == QLatin1String("GSM Modem - TAV");
            const bool cdma = type == kCdmaDeviceType;
            QCOMPARE(outcome.blockUnticked, !tav);
            QVERIFY2(portRow(QStringLiteral("COM3")).endsWith(QStringLiteral("|%1|%2").arg(int(tav)).arg(int(!cdma))),
                     qPrintable(type + QLatin1Char(' ') + portRow(QStringLiteral("COM3"))));
            QCOMPARE(m_settings->load()->ports[2].settings.pduMode, !cdma);
            QVERIFY(m_settings->applyPort(2, port(QStringLiteral("Op"), type)).saved);
            QVERIFY(portRow(QStringLiteral("COM3")).endsWith(QLatin1String("|0|0")));
        }
        // A tick stored before the type became CDMA means nothing to the CDMA phone.
        setPort("COM3", true, "ttyS0", kCdmaDeviceType, "Op");
        db().exec(QStringLiteral("UPDATE config_ports SET pduMode = 1 WHERE softwarePortNo = 'COM3'"));
        QVERIFY(!m_settings->load()->ports[2].settings.pduMode);

        m_prompter.clear();
        m_settings->noticeCallBlocking(false);
        QCOMPARE(m_prompter.count(), 0);
        m_settings->noticeCallBlocking(true);
        QCOMPARE(m_prompter.entries().first().text,
                 QStringLiteral("Block incoming call feature is not available with CDMA mobiles/modems."));
    }

    // Every port's flag is written (each set to the opposite of what it
    // held, twice over), with the gateway's and the request count, then the
    // ports are initialised again.
    void updateSettingsWritesTheFlagsThenReinitialises()
    {
        std::array<bool, kPortCount> flags{true, false, true, false, true};
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < kPortCount; ++i)
                setPort(kSoftwarePorts.at(i), !flags[size_t(i)], "ttyS0", "GSM Modem - Other", QStringLiteral("Op%1").arg(i));
            QVERIFY(QCoro::waitFor(m_settings->updateSettings(flags, round == 0, 13 + round)));
            for (int i = 0; i < kPortCount; ++i)
                QCOMPARE(portRow(kSoftwarePorts.at(i)).left(1), flags[size_t(i)] ? QStringLiteral("1") : QStringLiteral("0"));
            QCOMPARE(m_settings->load()->internet.active, round == 0);
            QCOMPARE(m_settings->load()->internet.parallelRequests, 13 + round);
            for (bool &flag : flags)
                flag = !flag;
        }
        QCOMPARE(portRow(QStringLiteral("COM1")), QStringLiteral("0|ttyS0|GSM Modem - Other|Op0|0|1|1|0")); // the rest kept
        QVERIFY(m_prompter.contains(QStringLiteral("Success"), QStringLiteral("COM Ports Updated")));
        QCOMPARE(m_events, (QStringList{QStringLiteral("reinit after 1 box(es)"), QStringLiteral("reinit after 2 box(es)")}));
    }

    // The listener's fields are saved with the flags, or, when one does not
    // parse, nothing is saved and the box names the entry.
    void updateSettingsSavesTheListenerFieldsWhenTheyParse()
    {
        QCOMPARE(m_settings->load()->listener.allowedNetworks, AllowedNetworks::kDefault);
        const auto stored = [this](const char *column) {
            return db().scalar(QStringLiteral("SELECT %1 FROM config_network").arg(QLatin1String(column))).toString();
        };
        QVERIFY(!QCoro::waitFor(m_settings->updateSettings(
            {true, false, false, false, false}, true, 8,
            ListenerFields{QStringLiteral("127.0.0.1"), QStringLiteral("10.0.0.0/8, 10.0.0.0/33")})));
        QCOMPARE(m_prompter.entries().value(0).text, QStringLiteral("Allowed networks: '10.0.0.0/33' is not a network."));
        QCOMPARE(m_prompter.count(), 1);
        QCOMPARE(portRow(QStringLiteral("COM1")).left(1), QStringLiteral("0"));
        QCOMPARE(stored("listenAddress"), QString());
        QVERIFY(m_events.isEmpty());

        QVERIFY(QCoro::waitFor(m_settings->updateSettings(
            {true, false, false, false, false}, false, 5,
            ListenerFields{QStringLiteral(" 192.168.1.10 "), QStringLiteral("192.168.1.0/24, ::1")})));
        QCOMPARE(portRow(QStringLiteral("COM1")).left(1), QStringLiteral("1"));
        QCOMPARE(stored("listenAddress"), QStringLiteral("192.168.1.10"));
        QCOMPARE(m_settings->load()->listener.allowedNetworks, QStringLiteral("192.168.1.0/24, ::1"));
        QCOMPARE(stored("parallelRequests"), QStringLiteral("5"));
        QCOMPARE(stored("listenerPort"), QStringLiteral("8081")); // the rest of the row stays
    }

    void resetClearsEverythingAndStopsSending()
    {
        AppState state;
        setPort("COM2", true, "ttyS0", "GSM Modem - TAV", "A");
        db().exec(QStringLiteral("UPDATE config_ports SET remarks = 'note', pduMode = 1"));
        db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = 'me', TAVpassword = 'pw', "
                                 "TAVisActive = 1"));
        auto reinit = [this] { return reinitialize(); };

        // Cancel: nothing happens.
        m_prompter.queueAnswer(false);
        QVERIFY(!QCoro::waitFor(resetToDefault(db(), m_prompter, state, reinit)));
        QVERIFY(state.sendingRunning());
        QCOMPARE(portRow(QStringLiteral("COM2")), QStringLiteral("1|ttyS0|GSM Modem - TAV|A|0|1|1|1"));
        QVERIFY(m_events.isEmpty());
        QVERIFY(m_prompter.entries().first().question);
        QCOMPARE(m_prompter.entries().first().preset, Prompter::Default::Cancel); // Enter must not reset

        m_prompter.clear();
        QVERIFY(QCoro::waitFor(resetToDefault(db(), m_prompter, state, reinit)));
        QVERIFY(!state.sendingRunning());
        for (const QString &port : kSoftwarePorts)
            QCOMPARE(portRow(port), QStringLiteral("0||||0|0|0|0"));
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM config_ports WHERE remarks = ''")).toInt(), 5);
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM config_InternetSMS WHERE TAVusername = 'zeta' AND "
                                            "TAVpassword = 'zeta' AND cdma_id = 'zeta' AND gsm_id = 'zeta' AND "
                                            "TAVisActive = 0"))
                     .toInt(),
                 1);
        QVERIFY(m_prompter.contains(QStringLiteral("Reset Settings?"), QStringLiteral("Settings has been reset.")));
        QCOMPARE(m_events, QStringList{QStringLiteral("reinit after 2 box(es)")});
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
