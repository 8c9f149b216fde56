#include "GatewayAccountRecord.h"

#include "Database.h"

namespace tavsms {

GatewayAccountRecord GatewayAccountRecord::load(Database &db)
{
    GatewayAccountRecord r;
    Statement st = db.prepare(QStringLiteral(
        "SELECT TAVusername, TAVpassword, cdma_id, gsm_id, TAVisActive FROM config_InternetSMS LIMIT 1"));
    if (st.next()) {
        r.username = st.text(QStringLiteral("TAVusername"));
        r.password = st.text(QStringLiteral("TAVpassword"));
        r.cdmaId = st.text(QStringLiteral("cdma_id"));
        r.gsmId = st.text(QStringLiteral("gsm_id"));
        r.active = st.boolean(QStringLiteral("TAVisActive"));
    }
    return r;
}

void GatewayAccountRecord::save(Database &db, const GatewayAccountRecord &account)
{
    db.exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = ?, TAVpassword = ?, cdma_id = ?, gsm_id = ?, "
                           "TAVisActive = ?"),
            {account.username, account.password, account.cdmaId, account.gsmId, account.active});
}

void GatewayAccountRecord::setActive(Database &db, bool active)
{
    db.exec(QStringLiteral("UPDATE config_InternetSMS SET TAVisActive = ?"), {active});
}

void GatewayAccountRecord::reset(Database &db)
{
    const QString blank = QStringLiteral("zeta");
    save(db, GatewayAccountRecord{blank, blank, blank, blank, false});
}

} // namespace tavsms
