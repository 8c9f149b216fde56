#pragma once

#include <QString>
#include <QStringList>

namespace tavsms {
class Database;
class Statement;
}

namespace tavsms::test {

// Each row a statement gives, as its columns joined by '|'; a NULL reads as `null`.
QStringList rowLines(Statement &st, const QString &null = {});

// q_logs as the tests look at it: how many rows there are (of a status),
// chosen columns of every row in queue order, one row's status.
class QueueLog
{
public:
    explicit QueueLog(Database &db)
        : m_db(db)
    {
    }

    // Every row, or those of one status.
    qint64 count(const QString &status = {}) const;
    // The columns ("outgoing_mobileNo, status") of each row, joined by '|',
    // in queue order; a NULL reads as empty.
    QStringList rows(const QString &columns) const;
    // The status of the row holding this message text; empty when none does.
    QString statusOf(const QString &message) const;

private:
    Database &m_db;
};

} // namespace tavsms::test
