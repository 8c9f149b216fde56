#pragma once

#include <QCoroTask>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>

namespace tavsms {

class Database;
class Prompter;

// "Backup Groups": every member of every group written to
// backup-MDYYYY.txt in the data directory, one CR LF line of seven
// comma-separated values per member. A value holding a comma, a double
// quote, CR or LF is quoted (inner quotes doubled), so that every line
// splits back into its seven values; other values are written as they are.
class GroupBackup
{
public:
    struct Hooks
    {
        std::function<QString()> directory;  // where the file goes (the data directory)
        std::function<QDateTime()> now;      // the clock that names the file
    };

    GroupBackup(Database &db, Prompter &prompter, Hooks hooks = {});

    // Asks, then writes the file (a second backup of the day replaces the
    // first). True when a file was written.
    QCoro::Task<bool> run();
    // Runs a backup that nobody else keeps: it lives until it has ended.
    static QCoro::Task<bool> start(std::shared_ptr<GroupBackup> backup);

    // backup-1252026.txt for 5 December 2026.
    static QString fileName(const QDate &day);
    // One line's text, without its line end.
    static QString line(const QVariantList &values);
    static QString field(const QString &value);

private:
    bool write(const QString &path);

    Database &m_db;
    Prompter &m_prompter;
    Hooks m_hooks;
};

} // namespace tavsms
