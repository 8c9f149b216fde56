// The paged grid model: keyset paging over ties, NULLs and both directions,
// bound WHERE values, the roles a view reads, reload and database errors.
#include "Database.h"
#include "QueryTableModel.h"


#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>


using namespace tavsms;

namespace {

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

} // namespace

class TestQueryTableModel : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Database> m_db;

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

private Q_SLOTS:
    // One connection for the program (keying one costs far more than a test),
    // not synced to the disk at each write; each test gets the table anew.
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_db = Database::open(m_dir.filePath(QStringLiteral("grid.db")), "grid-test-key");
        m_db->execScript(QStringLiteral("PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF"));
    }
    void init()
    {
        m_db->execScript(QStringLiteral("DROP TABLE IF EXISTS t; CREATE TABLE t (id INTEGER PRIMARY KEY "
                                        "AUTOINCREMENT, dated TEXT, name TEXT, amount REAL)"));
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

    // An empty table: no rows and nothing to fetch; a model reads nothing before reload().
    void anEmptyTableHasNothingToFetch()
    {
        QueryTableModel model(*m_db, idsAndDates(Qt::DescendingOrder, Qt::DescendingOrder), 4);
        Tester tester(&model);
        model.reload();
        QCOMPARE(model.columnCount(), 2);
        QVERIFY(model.rowCount() == 0 && !model.canFetchMore({}));
        insert(QStringLiteral("2024-01-01 00:00:00"));
        QueryTableModel fresh(*m_db, idsAndDates(Qt::DescendingOrder, Qt::DescendingOrder), 4);
        QVERIFY(fresh.rowCount() == 0 && !fresh.canFetchMore({}));
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
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Received"));
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

        m_db->execScript(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, dated TEXT, name TEXT, amount REAL)"));
        insert(QStringLiteral("2024-01-01 00:00:00"));
        model.reload(); // the model keeps its connection; the table is back
        QCOMPARE(model.rowCount(), 1);
        QVERIFY(model.errorText().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestQueryTableModel)
#include "tst_querytablemodel.moc"
