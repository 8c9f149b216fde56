#pragma once

#include <QString>
#include <QStringList>

namespace tavsms {

// The owners' SQL is written once, in SQLite's words. For PostgreSQL a few of
// those words change: `?` and `:name` parameters become `$n`, a conflict
// clause on INSERT becomes what PostgreSQL says for it, and index hints go.
struct PgSqlText
{
    QString sql;
    // The name of each `$n` (index n - 1) that was written `:name`; empty
    // for the ones written `?`.
    QStringList parameterNames;
    int parameterCount = 0;

    static PgSqlText translate(const QString &sqliteText);
};

} // namespace tavsms
