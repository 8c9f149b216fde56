#pragma once

#include "BulkQueue.h"
#include "ConnectionChoice.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>

#include <memory>

namespace tavsms {

class AppState;
class Progress;
class Prompter;
class Store;
class TableFile;

// frmDynaExcel's logic: a spreadsheet or text file whose rows hold a Phone
// and a finished Message, previewed, then queued one message per row.
class FileMessages
{
public:
    FileMessages(Store &store, const AppState &state, Prompter &prompter, Progress &progress,
                 int chunkSize = BulkQueue::kDefaultChunk);

    // "Auto" (chosen), "WEBGATEWAY", then the operator names of the ports found.
    QStringList load();
    // "Import Data": the file to preview, or null (told) when it cannot be
    // read or its first two columns are not Phone and Message.
    std::shared_ptr<const TableFile> importData(const QString &path);
    // "Send SMS": reads the file again and queues its rows up to the first
    // row without a Phone or a Message, which is reported.
    QCoro::Task<void> send(QString path, QString modemEntry);

private:
    Store &m_store;
    Prompter &m_prompter;
    Progress &m_progress;
    ConnectionChoice m_connections;
    QObject m_guard;
    BulkQueue m_bulk;
};

} // namespace tavsms
