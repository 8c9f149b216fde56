#pragma once

#include "MessageBoxPrompter.h"
#include "MessageFlow.h"

#include <QWidget>

#include <array>

class QBarSet;
class QComboBox;
class QLabel;
class QLineEdit;
class QValueAxis;

namespace tavsms {

// frmMsgFlow, "Message Flow": choose a period, "Show Stats", and the six
// delivered counts and their total fill the boxes and the bar chart beside
// them. Nothing is counted before a period is chosen.
class MessageFlowWindow : public QWidget
{
    Q_OBJECT
public:
    MessageFlowWindow(Database &db, const AppState &state, QWidget *parent = nullptr);

    // The chart's bars, COM1 … COM5 then the gateway.
    QBarSet *bars() const { return m_bars; }
    QBarSet *confirmedBars() const { return m_confirmedBars; }

private:
    void showStats();

    MessageBoxPrompter m_prompter{this};
    MessageFlow m_flow;
    QComboBox *m_period;
    std::array<QLabel *, 6> m_labels{};
    std::array<QLineEdit *, 6> m_counts{};
    std::array<QLineEdit *, 6> m_confirmed{};
    QLineEdit *m_total;
    QLineEdit *m_confirmedTotal;
    QBarSet *m_bars;
    QBarSet *m_confirmedBars;
    QValueAxis *m_axis;
};

} // namespace tavsms
