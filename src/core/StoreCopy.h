#pragma once

#include <QList>
#include <QString>

namespace tavsms {

class Progress;

// Moves a workstation's local file into an empty PostgreSQL database, which
// other workstations then share: the schema is made there, every table's rows
// go in with their ids, and the counts of both sides are compared, all in one
// transaction, so a copy that fails leaves the target as empty as it was.
//
// The file itself is never opened: a private copy of it (and of its WAL) is
// read instead, since a database opened in WAL mode gets its log checkpointed
// into it on close, and its bytes would change even though its rows do not.
//
// The rows that belong to the one workstation of the local file (its ports,
// its listener settings, the log rows routed to one of its ports) are written
// under `workstation`, the name it will have on the shared store.
class StoreCopy
{
public:
    struct TableCount
    {
        QString table;
        qint64 source = 0;
        qint64 target = 0;
    };
    struct Outcome
    {
        QString error; // empty when the copy was committed
        QList<TableCount> tables;
        QString target; // the server and database, never a password
        bool ok() const { return error.isEmpty(); }
    };

    StoreCopy(QString sourcePath, QString targetUrl, QString workstation);

    // Reports each table's rows as they go in; Cancel rolls back the whole copy.
    Outcome run(Progress &progress);

    // Rows sent to the server between two reports.
    static constexpr int kRowsPerReport = 5000;

private:
    QString m_sourcePath;
    QString m_targetUrl;
    QString m_workstation;
};

} // namespace tavsms
