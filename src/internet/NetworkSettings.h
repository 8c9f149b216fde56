#pragma once

#include <QString>

namespace tavsms {

class Database;

// Where the Internet channels reach out to and listen on (config_network).
// The hosts are "name" or "name:port"; requests go to http://host/path.
struct NetworkSettings
{
    QString gatewayHost;
    QString updateHost;
    QString productSite;
    quint16 listenerPort = 8081;

    // Throws DbError.
    static NetworkSettings load(Database &db);
    void save(Database &db) const;
};

} // namespace tavsms
