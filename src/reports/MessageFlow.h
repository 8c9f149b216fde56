#pragma once

#include "DeliveryLog.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace tavsms {

class AppState;
class Database;
class Prompter;

// A period of the statistics as [from, until); an invalid end is open.
struct FlowBounds
{
    QDateTime from;
    QDateTime until;
};

// "Message Flow": how many messages each connection delivered
// in a chosen period, and how many of them the handsets confirmed. Reads the delivery log only.
class MessageFlow
{
public:
    struct State
    {
        QStringList periods;                  // in the list's order; none is chosen
        std::array<QString, 5> portLabels;    // "COM1 - Airtel" … for COM1 … COM5
        QString internetLabel;
    };
    struct Stats
    {
        DeliveredCounts counts{}; // COM1 … COM5, then the gateway
        qint64 total = 0;
        DeliveredCounts confirmed{}; // of those, confirmed by the handset's status report
        qint64 confirmedTotal = 0;
    };

    MessageFlow(Database &db, Prompter &prompter, const AppState &state);

    static const QStringList &periodNames();
    // The bounds of a named period at `now`; nothing for a name that is none
    // of the periods.
    static std::optional<FlowBounds> bounds(const QString &period, const QDateTime &now);

    // The periods and the port labels; nothing (the trouble shown) when the
    // settings cannot be read.
    std::optional<State> load();
    // "Show Stats": the counts of the chosen period, bounded at the time of
    // the press. Nothing for no period, or when the log cannot be read (the
    // trouble shown).
    std::optional<Stats> showStats(const QString &period);

private:
    Database &m_db;
    DeliveryLog m_log;
    Prompter &m_prompter;
    const AppState &m_state;
};

} // namespace tavsms
