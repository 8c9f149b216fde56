#pragma once

#include "BulkQueue.h"
#include "ConnectionChoice.h"
#include "DynamicMessages.h"

#include <QCoroTask>
#include <QObject>

namespace tavsms {

class AppState;
class Progress;
class Prompter;
class Store;

// frmDynaShowGrp's logic: queues the merged rows, each text made one line
// and cut to the chosen connection's length limit.
class MergedSend
{
public:
    MergedSend(Store &store, const AppState &state, Prompter &prompter, Progress &progress,
               int chunkSize = BulkQueue::kDefaultChunk);

    // "Auto" (chosen), "WEBGATEWAY", then the operator names of the ports found.
    QStringList load();

    // "Send SMS". A row without a number is left out (it could never be
    // delivered) and the box says how many were.
    QCoro::Task<void> send(QList<MergedRow> rows, QString modemEntry);

    // The text as queued: one line, blanks trimmed, at most `limit` long.
    static QString queuedText(const QString &merged, int limit);

private:
    Store &m_store;
    Prompter &m_prompter;
    Progress &m_progress;
    ConnectionChoice m_connections;
    QObject m_guard;
    BulkQueue m_bulk;
};

} // namespace tavsms
