#include "FileMessages.h"

#include "Database.h"
#include "Prompter.h"
#include "Store.h"
#include "TableFile.h"
#include "TextRules.h"

namespace tavsms {

namespace {
const QString kErrorTitle = QStringLiteral("Error Occured");
const QString kReader = QStringLiteral("Import");
} // namespace

FileMessages::FileMessages(Store &store, const AppState &state, Prompter &prompter, Progress &progress, int chunkSize)
    : RoutedBulkSend(store, state, prompter, progress, chunkSize)
{
}

std::shared_ptr<const TableFile> FileMessages::importData(const QString &path)
{
    if (path.trimmed().isEmpty())
        return nullptr;
    std::shared_ptr<const TableFile> file;
    try {
        file = TableFile::open(path);
    } catch (const TableFileError &e) {
        m_prompter.critical(kErrorTitle, e.notAccessible());
        return nullptr;
    }
    const QStringList names = file->columns();
    if (names.value(0).toLower() != QLatin1String("phone")) {
        m_prompter.exclamation(kErrorTitle, QStringLiteral("Field No.1 (Phone) doesn't match. Please change the Row1 - "
                                                           "Column1 data to Phone in data File."));
        return nullptr;
    }
    if (names.value(1).toLower() != QLatin1String("message")) {
        m_prompter.exclamation(kErrorTitle, QStringLiteral("Field No.2 (message) doesn't match. Please change the Row1 "
                                                           "- Column2 data to Message in data File."));
        return nullptr;
    }
    return file;
}

QCoro::Task<void> FileMessages::send(QString path, QString modemEntry)
{
    if (path.trimmed().isEmpty())
        co_return;
    QList<QueueRequest> requests;
    QString stopped; // why the rows after the last one queued were not
    try {
        const std::unique_ptr<TableFile> file = TableFile::open(path);
        const int phone = file->columnIndex(QStringLiteral("phone"));
        const int message = file->columnIndex(QStringLiteral("message"));
        if (phone < 0 || message < 0)
            throw TableFileError(kReader, QStringLiteral("The file has no %1 column.")
                                              .arg(phone < 0 ? QStringLiteral("Phone") : QStringLiteral("Message")));
        const std::optional<Route> route = this->route(modemEntry);
        if (!route)
            co_return;
        for (qint64 i = 0; i < file->rowCount(); ++i) {
            const QStringList cells = file->row(i);
            const QString number = cells.at(phone);
            const QString text = cells.at(message);
            if (number.isEmpty() || text.isEmpty()) {
                // Row 1 is the header: data row i is line i + 2 of the file.
                stopped = TableFileError::notAccessible(
                    kReader, QStringLiteral("Row %1 has no %2.")
                                 .arg(i + 2)
                                 .arg(number.isEmpty() ? QStringLiteral("Phone") : QStringLiteral("Message")));
                break;
            }
            requests.append({number.right(10), queuedText(text, route->limit), route->connection, {}});
        }
    } catch (const TableFileError &e) {
        if (requests.isEmpty()) {
            m_prompter.critical(kErrorTitle, e.notAccessible());
            co_return;
        }
        stopped = e.notAccessible();
    } catch (const DbError &e) {
        m_prompter.critical(kErrorTitle, TableFileError::notAccessible(QStringLiteral("Database"), e.message()));
        co_return;
    }

    const BulkOutcome outcome = co_await m_bulk.run(
        requests.size(), [&](qint64 i) { return requests.at(i); }, m_progress,
        QStringLiteral("Queueing %1 messages from the file …").arg(requests.size()));
    if (!BulkQueue::reportIncomplete(m_prompter, outcome))
        co_return;
    if (!stopped.isEmpty()) {
        m_prompter.critical(kErrorTitle, stopped + QStringLiteral("\n\n") + BulkQueue::queuedLine(outcome.queued)
                                             + QStringLiteral(" The rows after it were not."));
        co_return;
    }
    if (outcome.queued > 0)
        m_prompter.information(applicationTitle(), QStringLiteral("Message(s) Queued for Delivery.\n\n")
                                                       + BulkQueue::queuedLine(outcome.queued));
    else
        m_prompter.information(applicationTitle(), QStringLiteral("Please add some mobile numbers in it."));
}

} // namespace tavsms
