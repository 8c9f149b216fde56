#include "Store.h"

#include "Schema.h"

namespace tavsms {

Store::Store(const QString &path)
    : m_db(Database::open(path, QByteArray(kKey)))
    , m_queue(*m_db)
{
    Schema::upgrade(*m_db);
}

} // namespace tavsms
