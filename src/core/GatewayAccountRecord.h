#pragma once

#include <QString>

namespace tavsms {

class Database;

// The one row of config_InternetSMS, and every statement on that table.
// Each function throws DbError.
struct GatewayAccountRecord
{
    QString username;
    QString password;
    QString cdmaId;
    QString gsmId;
    bool active = false;

    static GatewayAccountRecord load(Database &db);
    // Writes every field of `account`, its on/off flag included.
    static void save(Database &db, const GatewayAccountRecord &account);
    // Switches the account on or off; the rest stays.
    static void setActive(Database &db, bool active);
    // Back to the values of a new database: the placeholder "zeta" and off.
    static void reset(Database &db);
};

} // namespace tavsms
