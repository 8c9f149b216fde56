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
    // Gateway requests the sender may have out at once.
    int parallelRequests = 8;
    static constexpr int kFewestParallel = 1;
    static constexpr int kMostParallel = 32;

    // Throws DbError. A stored count out of range is read as the nearest bound.
    static NetworkSettings load(Database &db);
    void save(Database &db) const;
};

} // namespace tavsms
