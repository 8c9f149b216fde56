#include "MemberImport.h"

#include "Database.h"
#include "NextTurn.h"
#include "Progress.h"
#include "Prompter.h"
#include "TableFile.h"

#include <array>

namespace tavsms {

namespace {

const QString kImportErrorTitle = QStringLiteral("Error Occured");
const QString kDatabase = QStringLiteral("Database");

struct Expected
{
    QString name;
    QString mismatch;
};
const std::array<Expected, 3> kColumns{{
    {QStringLiteral("phone"), QStringLiteral("Field No.1 (Phone) doesn't match. Please change the Row1 - Column1 data "
                                             "to Phone in data File.")},
    {QStringLiteral("name"), QStringLiteral("Field No.2 (Name) doesn't match. Please change the Row1 - Column2 data to "
                                            "Name in data File.")},
    {QStringLiteral("email"), QStringLiteral("Field No.3 (Email) doesn't match. Please change the Row1 - Column3 data "
                                             "to Email in data File.")},
}};

QString savedLine(qint64 saved)
{
    return saved == 1 ? QStringLiteral("1 member saved.") : QStringLiteral("%1 members saved.").arg(saved);
}

} // namespace

MemberImport::MemberImport(Database &db, Prompter &prompter, Progress &progress, int chunkSize)
    : m_db(db)
    , m_groups(db)
    , m_prompter(prompter)
    , m_progress(progress)
    , m_chunkSize(chunkSize > 0 ? chunkSize : kDefaultChunk)
{
}

std::optional<MemberImport::State> MemberImport::load()
{
    State s;
    try {
        s.groups = m_groups.names();
    } catch (const DbError &e) {
        fileError(kDatabase, e.message());
        return std::nullopt;
    }
    s.hasGroups = !s.groups.isEmpty();
    if (!s.hasGroups)
        s.groups << kNoGroups;
    return s;
}

QString MemberImport::mobileOf(const QString &phone)
{
    return phone.right(10);
}

void MemberImport::fileError(const QString &source, const QString &description)
{
    m_prompter.critical(kImportErrorTitle, TableFileError::notAccessible(source, description));
}

std::unique_ptr<TableFile> MemberImport::openFile(const QString &path)
{
    try {
        return TableFile::open(path);
    } catch (const TableFileError &e) {
        fileError(e.source(), e.description());
        return nullptr;
    }
}

std::shared_ptr<const TableFile> MemberImport::importData(const QString &path)
{
    if (path.trimmed().isEmpty())
        return nullptr;
    std::shared_ptr<const TableFile> file = openFile(path);
    if (!file)
        return nullptr;
    const QStringList names = file->columns();
    for (int i = 0; i < int(kColumns.size()); ++i) {
        if (i >= names.size() || names.at(i).toLower() != kColumns[size_t(i)].name) {
            m_prompter.exclamation(kImportErrorTitle, kColumns[size_t(i)].mismatch);
            return nullptr;
        }
    }
    return file;
}

QCoro::Task<MemberImport::SaveOutcome> MemberImport::save(const QString &path, const QString &group)
{
    SaveOutcome outcome;
    if (path.trimmed().isEmpty())
        co_return outcome;
    if (group.isEmpty() || group == kNoGroups) {
        m_prompter.exclamation(kImportErrorTitle, QStringLiteral("There is no group to save to. Please create a group "
                                                           "first (Groups - Manage Groups)."));
        outcome.failed = true;
        co_return outcome;
    }
    const std::unique_ptr<TableFile> file = openFile(path);
    if (!file) {
        outcome.failed = true;
        co_return outcome;
    }
    const int phone = file->columnIndex(QStringLiteral("phone"));
    const int name = file->columnIndex(QStringLiteral("name"));
    const int email = file->columnIndex(QStringLiteral("email"));
    for (const auto &[index, column] : {std::pair{phone, "Phone"}, std::pair{name, "Name"}, std::pair{email, "Email"}}) {
        if (index < 0) {
            fileError(file->source(), QStringLiteral("The file has no column named %1.").arg(QLatin1String(column)));
            outcome.failed = true;
            co_return outcome;
        }
    }

    outcome.total = file->rowCount();
    m_progress.begin(QStringLiteral("Saving %1 members to %2 …").arg(outcome.total).arg(group), outcome.total);
    QString failure; // the box that tells why saving stopped
    qint64 next = 0;
    for (;;) {
        try {
            Transaction tx(m_db);
            // Looked up in every chunk: a group deleted meanwhile takes no more members.
            const std::optional<qint64> id = m_groups.idOf(group);
            if (!id) {
                failure = QStringLiteral("The group \"%1\" no longer exists. Open the screen again for the current "
                                         "list of groups.")
                              .arg(group);
                break;
            }
            const qint64 end = std::min(outcome.total, next + m_chunkSize);
            for (qint64 row = next; row < end; ++row) {
                const QStringList cells = file->row(row);
                m_groups.addMember(*id, cells.at(name), mobileOf(cells.at(phone)), cells.at(email));
            }
            tx.commit();
            outcome.saved += end - next;
            next = end;
        } catch (const TableFileError &e) {
            failure = TableFileError::notAccessible(e.source(), e.description());
            break;
        } catch (const DbError &e) {
            failure = TableFileError::notAccessible(kDatabase, e.message());
            break;
        }
        m_progress.advance(outcome.saved);
        if (next >= outcome.total)
            break;
        co_await NextTurn{&m_guard};
        if (m_progress.cancelRequested()) {
            outcome.cancelled = true;
            break;
        }
    }
    m_progress.end();
    if (!failure.isEmpty()) {
        outcome.failed = true;
        m_prompter.critical(kImportErrorTitle, failure + QStringLiteral("\n\n") + savedLine(outcome.saved));
    } else if (outcome.cancelled) {
        m_prompter.information(QStringLiteral("Cancelled"),
                               QStringLiteral("Saving was cancelled: %1 of %2 members were saved.")
                                   .arg(outcome.saved)
                                   .arg(outcome.total));
    } else {
        m_prompter.information(QStringLiteral("Success"),
                               QStringLiteral("Group has been updated.\n\n") + savedLine(outcome.saved));
    }
    co_return outcome;
}

} // namespace tavsms
