#pragma once

#include "DynamicMessages.h"
#include "RoutedBulkSend.h"

#include <QCoroTask>

namespace tavsms {

// "Show Dynamic Merged Content": queues the merged rows, each text made
// one line and cut to the chosen connection's length limit.
class MergedSend : public RoutedBulkSend
{
public:
    MergedSend(Store &store, const AppState &state, Prompter &prompter, Progress &progress,
               int chunkSize = BulkQueue::kDefaultChunk);

    // "Send SMS". A row without a number is left out (it could never be
    // delivered) and the box says how many were.
    QCoro::Task<void> send(QList<MergedRow> rows, QString modemEntry);
};

} // namespace tavsms
