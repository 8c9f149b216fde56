#include "DatabaseTemplate.h"

#include "Database.h"
#include "Store.h"

#include <QFile>

namespace tavsms::test {

namespace {
QString path(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("tavsms.mdb"));
}
} // namespace

DatabaseTemplate &DatabaseTemplate::instance()
{
    static DatabaseTemplate made;
    return made;
}

DatabaseTemplate::DatabaseTemplate()
    : m_store(std::make_unique<Store>(path(m_dir)))
{
    // The rows as made, in memory beside it.
    Database &db = m_store->db();
    db.execScript(QStringLiteral("ATTACH DATABASE ':memory:' AS made KEY ''"));
    Statement st = db.prepare(QStringLiteral("SELECT type, name FROM main.sqlite_master"));
    while (st.next()) {
        m_objects << st.text(QStringLiteral("name"));
        if (st.text(QStringLiteral("type")) == QLatin1String("table"))
            m_tables << st.text(QStringLiteral("name"));
    }
    for (const QString &table : std::as_const(m_tables))
        db.execScript(QStringLiteral("CREATE TABLE made.\"made_%1\" AS SELECT * FROM main.\"%1\"").arg(table));
}

void DatabaseTemplate::reset()
{
    Database &db = m_store->db();
    QList<QPair<QString, QString>> added;
    Statement st = db.prepare(QStringLiteral("SELECT type, name FROM main.sqlite_master"));
    while (st.next())
        if (!m_objects.contains(st.text(QStringLiteral("name"))))
            added << qMakePair(st.text(QStringLiteral("type")), st.text(QStringLiteral("name")));
    for (const auto &[type, name] : std::as_const(added))
        db.execScript(QStringLiteral("DROP %1 IF EXISTS main.\"%2\"").arg(type, name));
    // Every table emptied before any is filled: what a trigger does on a delete is emptied too.
    QString undo = QStringLiteral("BEGIN;");
    for (const QString &table : std::as_const(m_tables))
        undo += QStringLiteral("DELETE FROM main.\"%1\";").arg(table);
    for (const QString &table : std::as_const(m_tables))
        undo += QStringLiteral("INSERT INTO main.\"%1\" SELECT * FROM made.\"made_%1\";").arg(table);
    db.execScript(undo + QStringLiteral("COMMIT;"));
}

void DatabaseTemplate::copyTo(const QString &to)
{
    m_store->db().scalar(QStringLiteral("PRAGMA main.wal_checkpoint(TRUNCATE)"));
    QFile::remove(to);
    if (!QFile::copy(path(m_dir), to))
        qFatal("cannot copy the template database to %s", qPrintable(to));
    reset();
}

} // namespace tavsms::test
