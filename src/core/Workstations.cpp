#include "Workstations.h"

#include "PgDatabase.h"

#include <QSysInfo>

namespace tavsms::Workstations {

void enter(PgDatabase &db, const QString &name)
{
    // Session locks are keyed by number; two names sharing a hash would
    // only make the second wait for a name of its own.
    const bool mine = db.scalar(QStringLiteral("SELECT pg_try_advisory_lock(7472, hashtext(?))"), {name}).toLongLong();
    if (!mine)
        throw DbError(QStringLiteral("The workstation \"%1\" is already running on %2. Start this one under "
                                     "another name (--workstation NAME).")
                          .arg(name, db.path()),
                      DbError::kServerError);
    db.setWorkstation(name);
    Transaction tx(db);
    db.exec(QStringLiteral("INSERT INTO workstations (name, host, started_at) VALUES (?, ?, now()) "
                           "ON CONFLICT (name) DO UPDATE SET host = excluded.host, started_at = excluded.started_at"),
            {name, QSysInfo::machineHostName()});
    db.exec(QStringLiteral("INSERT INTO config_ports (workstation, softwarePortNo) "
                           "SELECT ?, p FROM (VALUES ('COM1'), ('COM2'), ('COM3'), ('COM4'), ('COM5')) AS ports (p) "
                           "ON CONFLICT DO NOTHING"),
            {name});
    db.exec(QStringLiteral("INSERT INTO config_network (workstation) VALUES (?) ON CONFLICT DO NOTHING"), {name});
    tx.commit();
}

} // namespace tavsms::Workstations
