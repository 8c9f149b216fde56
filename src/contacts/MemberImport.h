#pragma once

#include "Groups.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>

namespace tavsms {

class Database;
class Progress;
class Prompter;
class TableFile;

// "Import Data from Excel and Text Files": members read from an Excel or text
// file, previewed, and appended to a group. A big file is saved in chunks,
// each one transaction followed by a turn of the event loop, so the senders
// keep working, Cancel is heard, and the count told is the count stored.
class MemberImport
{
public:
    static constexpr int kDefaultChunk = 2000;
    static inline const QString kNoGroups = QStringLiteral("Groups Not Available");

    struct State
    {
        QStringList groups; // ascending, or kNoGroups alone
        bool hasGroups = false;
    };
    struct SaveOutcome
    {
        qint64 total = 0;    // rows in the file
        qint64 saved = 0;    // members stored
        bool cancelled = false;
        bool failed = false; // a message told why
    };

    MemberImport(Database &db, Prompter &prompter, Progress &progress, int chunkSize = kDefaultChunk);

    std::optional<State> load();
    // Reads the file at the (trimmed) path and checks its first three column
    // names; the file to preview, or null when refused (the grid stays).
    std::shared_ptr<const TableFile> importData(const QString &path);
    // Reads the file again and appends every row to the group. Never resumes
    // once this object is gone.
    QCoro::Task<SaveOutcome> save(const QString &path, const QString &group);

    // The number as stored: the last ten characters of the Phone text.
    static QString mobileOf(const QString &phone);

private:
    std::unique_ptr<TableFile> openFile(const QString &path);
    void fileError(const QString &source, const QString &description);

    Database &m_db;
    Groups m_groups;
    Prompter &m_prompter;
    Progress &m_progress;
    int m_chunkSize;
    QObject m_guard; // the life of the work: it dies with the screen
};

} // namespace tavsms
