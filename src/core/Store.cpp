#include "Store.h"

#include "DataDirectory.h"
#include "PgDatabase.h"
#include "Schema.h"
#include "Workstations.h"

#include <QFile>

namespace tavsms {

namespace {

// SQLite gives the -wal and -shm files the mode of the database file, so a
// database created 0600 keeps its companions private without touching the
// process-wide umask.
void makeDatabaseFilesPrivate(const QString &path)
{
    QFile create(path);
    if (create.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        create.close(); // an empty file is a new database to SQLite
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        DataDirectory::makePrivate(path + suffix);
}

// A file the program cannot read as its database: what it is, that it was
// left alone, and what the operator can do about it.
DbError unusable(const QString &path, const DbError &e)
{
    QString what;
    if (e.isNotADatabase())
        what = QStringLiteral("it is not a TAVSMS database, or it is damaged");
    else if (e.isDamaged())
        what = QStringLiteral("it is damaged");
    else
        return e;
    return DbError(QStringLiteral("The database file %1 cannot be used: %2. The file has not been changed. "
                                  "To start with an empty database, move the file to another folder or rename it, "
                                  "then start TAVSMS again; to carry on with your data, put back a copy of "
                                  "tavsms.mdb saved earlier.")
                       .arg(path, what),
                   e.code());
}

// Both steps read the file before writing anything to it; a file they refuse
// is byte for byte as it was.
std::unique_ptr<Database> openAndUpgrade(const QString &path)
{
    makeDatabaseFilesPrivate(path);
    try {
        std::unique_ptr<Database> db = Database::open(path, QByteArray(Store::kKey));
        Schema::upgrade(*db);
        return db;
    } catch (const DbError &e) {
        throw unusable(path, e);
    }
}

} // namespace

Store::Store(const QString &path)
    : m_db(openAndUpgrade(path))
    , m_queue(*m_db)
{
}

Store::Store(std::unique_ptr<Database> db)
    : m_db(std::move(db))
    , m_queue(*m_db)
{
}

std::unique_ptr<Store> Store::openShared(const QString &url, const QString &workstation)
{
    auto db = std::make_unique<PgDatabase>(url);
    Schema::upgrade(*db);
    // Again after every reconnect: the name is held by the session.
    db->setSessionHook([workstation](PgDatabase &session) { Workstations::enter(session, workstation); });
    return std::unique_ptr<Store>(new Store(std::move(db)));
}

} // namespace tavsms
