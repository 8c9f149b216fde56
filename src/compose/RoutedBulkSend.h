#pragma once

#include "BulkQueue.h"
#include "ConnectionChoice.h"

#include <QObject>
#include <QStringList>

#include <optional>

namespace tavsms {

class AppState;
class Progress;
class Prompter;
class Store;

// What the screens that queue many finished messages through one chosen
// connection share: the modem list, the chosen entry turned into a routing
// value and a length limit, and the chunked queueing whose life ends with
// the screen's.
class RoutedBulkSend
{
public:
    // "Auto" (chosen), "WEBGATEWAY", then the operator names of the ports found.
    QStringList load();

    // A text as queued: one line, blanks trimmed, cut to what `limit` holds.
    static QString queuedText(const QString &text, const LengthLimit &limit);

protected:
    RoutedBulkSend(Store &store, const AppState &state, Prompter &prompter, Progress &progress, int chunkSize);

    struct Route
    {
        QString connection;
        LengthLimit limit = LengthLimit::ofCharacters(ConnectionChoice::kGsmLimit);
    };
    // The routing value and limit of a modem-list entry; nothing (told) when
    // the operator name no longer belongs to a port. The gateway has no device
    // of its own: it takes what a GSM phone takes. Throws DbError.
    std::optional<Route> route(const QString &modemEntry);

    Prompter &m_prompter;
    Progress &m_progress;
    ConnectionChoice m_connections;
    QObject m_guard;
    BulkQueue m_bulk;
};

} // namespace tavsms
