#include "PortHealthView.h"

#include "Database.h"
#include "DateTimeText.h"
#include "MessageQueue.h"

namespace tavsms {

const QStringList &PortHealthView::columns()
{
    static const QStringList names = {QStringLiteral("Port"),     QStringLiteral("Signal"),
                                      QStringLiteral("Network"),  QStringLiteral("Operator"),
                                      QStringLiteral("IMEI"),     QStringLiteral("IMSI"),
                                      QStringLiteral("Last Answer"), QStringLiteral("Note")};
    return names;
}

PortHealthView::PortHealthView(const AppState &state, MessageQueue &queue)
    : m_state(state)
    , m_queue(queue)
{
}

QString PortHealthView::barsText(int bars)
{
    return QString(bars, QChar(0x25AE)) + QString(5 - bars, QChar(0x25AF));
}

QList<PortHealthView::Row> PortHealthView::load()
{
    QList<Row> rows;
    for (int i = 0; i < kPortCount; ++i) {
        const PortState &ps = m_state.port(i);
        if (ps.deviceClass.isEmpty())
            continue; // never brought up
        const PortHealth &h = ps.health;
        Row row;
        row.port = kSoftwarePorts.at(i) + QStringLiteral(" (") + ps.deviceClass + QLatin1Char(')');
        row.signal = h.hasSignal ? QStringLiteral("%1 dBm").arg(h.signalDbm) : QStringLiteral("unknown");
        row.bars = h.hasSignal ? h.bars : 0;
        row.registration = PortHealth::registrationText(h.registration);
        row.operatorName = h.operatorName;
        row.imei = h.imei;
        row.imsi = h.imsi;
        row.lastAnswer = h.lastAnswer.isValid() ? DateTimeText::display(h.lastAnswer) : QString();
        qint64 waiting = 0;
        try {
            waiting = m_queue.pendingForPort(kSoftwarePorts.at(i));
        } catch (const DbError &) {
        }
        const QString why = !ps.connected       ? QStringLiteral("not connected")
                          : !h.takesAuto()      ? QStringLiteral("not registered; Auto goes to other ports")
                          : !ps.routing         ? QStringLiteral("outgoing SMS not allowed")
                                                : QString();
        if (!why.isEmpty())
            row.note = waiting > 0 ? QStringLiteral("%1 (%2 messages for this port wait)").arg(why).arg(waiting) : why;
        rows << row;
    }
    return rows;
}

} // namespace tavsms
