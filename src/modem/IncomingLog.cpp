#include "IncomingLog.h"

#include "Database.h"
#include "DateTimeText.h"

namespace tavsms {

bool IncomingLog::contains(const QString &mobileNo, const QDateTime &incomingDate)
{
    Statement st = m_db.prepare(QStringLiteral(
        "SELECT 1 FROM incoming_logs WHERE incoming_mobileNo = ? AND incoming_date = ? LIMIT 1"));
    st.bind(1, mobileNo).bind(2, DateTimeText::stored(incomingDate));
    return st.next();
}

void IncomingLog::insert(const IncomingRow &row)
{
    m_db.exec(QStringLiteral("INSERT INTO incoming_logs (dated, com_port, incoming_date, incoming_mobileNo, "
                             "incoming_message) VALUES (?, ?, ?, ?, ?)"),
              {DateTimeText::stored(row.dated), row.comPort, DateTimeText::stored(row.incomingDate), row.mobileNo,
               row.message});
}

QList<IncomingRow> IncomingLog::newestFirst()
{
    QList<IncomingRow> rows;
    Statement st = m_db.prepare(QStringLiteral(
        "SELECT dated, com_port, incoming_date, incoming_mobileNo, incoming_message FROM incoming_logs "
        "ORDER BY dated DESC, id DESC"));
    while (st.next()) {
        rows << IncomingRow{DateTimeText::parse(st.text(QStringLiteral("dated"))), st.text(QStringLiteral("com_port")),
                            DateTimeText::parse(st.text(QStringLiteral("incoming_date"))),
                            st.text(QStringLiteral("incoming_mobileNo")), st.text(QStringLiteral("incoming_message"))};
    }
    return rows;
}

Statement IncomingLog::newestFirstForReport()
{
    return m_db.prepare(QStringLiteral("SELECT dated, incoming_date, incoming_mobileNo, incoming_message "
                                       "FROM incoming_logs ORDER BY dated DESC, id DESC"));
}

qint64 IncomingLog::count()
{
    return m_db.scalar(QStringLiteral("SELECT count(*) FROM incoming_logs")).toLongLong();
}

} // namespace tavsms
