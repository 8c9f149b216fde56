#pragma once

#include "TextRules.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace tavsms {

class Database;
class Statement;

// One stored received message (incoming_logs).
struct IncomingRow
{
    QDateTime dated;        // when it was stored
    QString comPort;
    QDateTime incomingDate; // the phone's time stamp
    QString mobileNo;
    QString message;
};

// Every statement on incoming_logs. Throws DbError.
class IncomingLog
{
public:
    explicit IncomingLog(Database &db) : m_db(db) {}

    // The same message is the same sender (as stored) with the same time stamp.
    bool contains(const QString &mobileNo, const QDateTime &incomingDate);
    void insert(const IncomingRow &row);
    // Newest stored first, as the report prints them.
    QList<IncomingRow> newestFirst();
    // The same order for the printed report, read as it is printed: dated,
    // incoming_date, incoming_mobileNo, incoming_message. The count is of
    // every stored message.
    Statement newestFirstForReport();
    qint64 count();

    // A sender as it is stored: its last ten characters.
    static QString storedNumber(const QString &sender) { return lastTen(sender); }

private:
    Database &m_db;
};

} // namespace tavsms
