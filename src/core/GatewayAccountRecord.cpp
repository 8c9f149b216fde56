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

} // namespace tavsms
