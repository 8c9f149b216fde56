#pragma once

#include "Database.h"
#include "MessageQueue.h"

#include <memory>

namespace tavsms {

// The program's database at the current schema version: tavsms.mdb, keyed,
// or a PostgreSQL database shared by several workstations.
// One connection, opened once and kept for the program's life (keying costs a
// key derivation). Everything runs on one thread, so its users take turns;
// a transaction never stays open across a return to the event loop.
class Store
{
public:
    static constexpr const char *kKey = "lomex472";

    // Opens (creating when new) and upgrades the file. Throws DbError with a
    // reason fit to show; a file it cannot use is left untouched.
    explicit Store(const QString &path);
    // A shared PostgreSQL store, as the workstation `workstation`: connects,
    // brings the schema up to date and takes the workstation's name. Throws
    // DbError with a reason fit to show.
    static std::unique_ptr<Store> openShared(const QString &url, const QString &workstation);

    Database &db() { return *m_db; }
    MessageQueue &queue() { return m_queue; }
    QString path() const { return m_db->path(); }

    bool isShared() const { return m_db->isShared(); }

private:
    explicit Store(std::unique_ptr<Database> db);
    std::unique_ptr<Database> m_db;
    MessageQueue m_queue;
};

} // namespace tavsms
