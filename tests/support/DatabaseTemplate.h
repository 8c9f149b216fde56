#pragma once

#include "Database.h"
#include "Store.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

namespace tavsms::test {

// A fresh database costs a key derivation and the schema, and every
// connection keyed to it the derivation again. This one is made and keyed
// once per test process: a test works on it and resets it, or writes its
// settings into it and copies the file out for the program to open.
class DatabaseTemplate
{
public:
    static DatabaseTemplate &instance()
    {
        static DatabaseTemplate made;
        return made;
    }
    Store &store() { return m_store; }

    // Back to its rows and schema as made.
    void reset()
    {
        QStringList added;
        for (Statement st = db().prepare(QStringLiteral("SELECT type, name FROM main.sqlite_master")); st.next();)
            if (!m_objects.contains(st.text(QStringLiteral("name"))))
                added << QStringLiteral("DROP %1 IF EXISTS main.\"%2\";").arg(st.text(QStringLiteral("type")),
                                                                             st.text(QStringLiteral("name")));
        // Every table emptied before any is filled: what a trigger does on a delete is emptied too.
        QString undo = added.join(QString()) + QStringLiteral("BEGIN;");
        for (const QString &table : std::as_const(m_tables))
            undo += QStringLiteral("DELETE FROM main.\"%1\";").arg(table);
        for (const QString &table : std::as_const(m_tables))
            undo += QStringLiteral("INSERT INTO main.\"%1\" SELECT * FROM made.\"made_%1\";").arg(table);
        db().execScript(undo + QStringLiteral("COMMIT;"));
    }
    // Writes it as it is now to `path`, then resets it.
    void copyTo(const QString &path)
    {
        db().scalar(QStringLiteral("PRAGMA main.wal_checkpoint(TRUNCATE)"));
        QFile::remove(path);
        if (!QFile::copy(m_dir.filePath(QStringLiteral("tavsms.mdb")), path))
            qFatal("cannot copy the template database to %s", qPrintable(path));
        reset();
    }

private:
    // The rows as made are kept in memory beside it.
    DatabaseTemplate()
        : m_store(m_dir.filePath(QStringLiteral("tavsms.mdb")))
    {
        db().execScript(QStringLiteral("ATTACH DATABASE ':memory:' AS made KEY ''"));
        for (Statement st = db().prepare(QStringLiteral("SELECT type, name FROM main.sqlite_master")); st.next();) {
            m_objects << st.text(QStringLiteral("name"));
            if (st.text(QStringLiteral("type")) == QLatin1String("table"))
                m_tables << st.text(QStringLiteral("name"));
        }
        for (const QString &table : std::as_const(m_tables))
            db().execScript(QStringLiteral("CREATE TABLE made.\"made_%1\" AS SELECT * FROM main.\"%1\"").arg(table));
    }
    Database &db() { return m_store.db(); }

    QTemporaryDir m_dir;
    Store m_store;
    QStringList m_tables;
    QSet<QString> m_objects; // tables, indexes and triggers as made
};

} // namespace tavsms::test
