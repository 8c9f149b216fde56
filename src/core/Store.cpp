#include "Store.h"

#include "Schema.h"

namespace tavsms {

Store::Store(const QString &path)
    : m_db(Database::open(path, QByteArray(kKey)))
    , m_queue(*m_db)
{
    Schema::upgrade(*m_db);
}

std::unique_ptr<Database> Store::openConnection(Database::Mode mode) const
{
    return Database::open(m_db->path(), QByteArray(kKey), mode);
}

} // namespace tavsms
