#include "SharedStore.h"

#include "Store.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace tavsms::test {

namespace {

struct Shared
{
    QTemporaryDir dir;
    std::unique_ptr<Store> store;
    QString schema;        // as created, to tell when a test changed it
    QStringList tables;
    QStringList withRows;  // tables a new store holds rows in, copied aside
};

QString schemaOf(Database &db)
{
    Statement st = db.prepare(QStringLiteral("SELECT type, name, sql FROM main.sqlite_master ORDER BY type, name"));
    QStringList out;
    while (st.next())
        out << st.value(0).toString() + QLatin1Char(' ') + st.value(1).toString() + QLatin1Char(' ')
                   + st.value(2).toString();
    return out.join(QLatin1Char('\n'));
}

void create(Shared &s)
{
    s.store.reset();
    for (const QString &name : QDir(s.dir.path()).entryList(QDir::Files))
        QFile::remove(s.dir.filePath(name));
    s.store = std::make_unique<Store>(s.dir.filePath(QStringLiteral("shared.mdb")));
    Database &db = s.store->db();
    s.schema = schemaOf(db);
    s.tables.clear();
    s.withRows.clear();
    Statement st = db.prepare(QStringLiteral("SELECT name FROM main.sqlite_master WHERE type = 'table' "
                                             "AND name NOT LIKE 'sqlite_%' ORDER BY name"));
    while (st.next())
        s.tables << st.value(0).toString();
    for (const QString &table : std::as_const(s.tables)) {
        if (db.scalar(QStringLiteral("SELECT count(*) FROM main.\"%1\"").arg(table)).toLongLong() == 0)
            continue;
        s.withRows << table;
        db.execScript(QStringLiteral("CREATE TEMP TABLE \"as_created_%1\" AS SELECT * FROM main.\"%1\"").arg(table));
    }
}

Shared &shared()
{
    static Shared s;
    return s;
}

} // namespace

Store &freshStore()
{
    Shared &s = shared();
    if (!s.store || schemaOf(s.store->db()) != s.schema) {
        create(s);
        return *s.store;
    }
    Database &db = s.store->db();
    if (db.inTransaction())
        db.execScript(QStringLiteral("ROLLBACK"));
    db.execScript(QStringLiteral("PRAGMA foreign_keys = OFF"));
    Transaction tx(db);
    // Empty every table first (a trigger may touch another), then put back
    // the rows a new store holds.
    for (const QString &table : std::as_const(s.tables))
        db.exec(QStringLiteral("DELETE FROM main.\"%1\"").arg(table));
    db.exec(QStringLiteral("DELETE FROM main.sqlite_sequence"));
    for (const QString &table : std::as_const(s.withRows))
        db.exec(QStringLiteral("INSERT INTO main.\"%1\" SELECT * FROM temp.\"as_created_%1\"").arg(table));
    tx.commit();
    return *s.store;
}

void copyStoreTo(const QString &path)
{
    Shared &s = shared();
    if (!s.store)
        freshStore();
    s.store->db().scalar(QStringLiteral("PRAGMA main.wal_checkpoint(TRUNCATE)"));
    QFile::remove(path);
    if (!QFile::copy(s.dir.filePath(QStringLiteral("shared.mdb")), path))
        qFatal("cannot copy the shared store to %s", qPrintable(path));
}

} // namespace tavsms::test
