#pragma once

#include <QString>

namespace tavsms {

class Database;

// The one row of config_InternetSMS.
struct GatewayAccountRecord
{
    QString username;
    QString password;
    QString cdmaId;
    QString gsmId;
    bool active = false;

    // Throws DbError.
    static GatewayAccountRecord load(Database &db);
};

} // namespace tavsms
