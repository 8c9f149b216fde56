#pragma once

#include "RoutedBulkSend.h"

#include <QCoroTask>

#include <memory>

namespace tavsms {

class TableFile;

// "Dynamic SMS from Excel": a spreadsheet or text file whose rows hold a Phone
// and a finished Message, previewed, then queued one message per row.
class FileMessages : public RoutedBulkSend
{
public:
    FileMessages(Store &store, const AppState &state, Prompter &prompter, Progress &progress,
                 int chunkSize = BulkQueue::kDefaultChunk);

    // "Import Data": the file to preview, or null (told) when it cannot be
    // read or its first two columns are not Phone and Message.
    std::shared_ptr<const TableFile> importData(const QString &path);
    // "Send SMS": reads the file again and queues its rows up to the first
    // row without a Phone or a Message, which is reported.
    QCoro::Task<void> send(QString path, QString modemEntry);
};

} // namespace tavsms
