#pragma once

#include "PortHealthView.h"

#include <QWidget>

class QTableWidget;

namespace tavsms {

class AppState;
class MessageQueue;

// "Port Health": each port's signal, network, operator, IMEI, IMSI and last
// answer, kept up to date as the health reads come in. Opened from the
// status bar's "Connected: N".
class PortHealthWindow : public QWidget
{
    Q_OBJECT
public:
    PortHealthWindow(const AppState &state, MessageQueue &queue, QWidget *parent = nullptr);

    QTableWidget *table() const { return m_table; }

private:
    void render();

    PortHealthView m_view;
    QTableWidget *m_table;
};

} // namespace tavsms
