#pragma once

#include "AppState.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tavsms {

class MessageQueue;

// The port health window: one row per port brought up, from what the last
// health reads found (AppState) and the rows routed to the port alone that
// wait in the queue.
class PortHealthView
{
public:
    struct Row
    {
        QString port;
        QString signal;       // "-73 dBm", or "unknown"
        int bars = 0;         // 0 … 5
        QString registration; // home, roaming, searching, denied, not registered, unknown
        QString operatorName;
        QString imei;
        QString imsi;
        QString lastAnswer;   // display time, empty when it never answered
        QString note;         // why the port is not sending, or empty
    };
    static const QStringList &columns();

    PortHealthView(const AppState &state, MessageQueue &queue);

    // Throws nothing: a queue that cannot be counted leaves the notes out.
    QList<Row> load();
    // "▮▮▮▯▯" for the bars.
    static QString barsText(int bars);

private:
    const AppState &m_state;
    MessageQueue &m_queue;
};

} // namespace tavsms
