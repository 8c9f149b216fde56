#pragma once

#include "GroupSend.h"
#include "MessageBoxPrompter.h"
#include "ProgressBox.h"

#include <QCoroTask>
#include <QWidget>

class QComboBox;
class QPushButton;

namespace tavsms {

class AppState;
class MessagePane;
class Store;

// frmSendGroup, "Send Group SMS".
class SendGroupWindow : public QWidget
{
    Q_OBJECT
public:
    SendGroupWindow(Store &store, const AppState &state, QWidget *parent = nullptr);

    ProgressBox &progress() { return m_progress; }

private:
    QCoro::Task<void> send();

    MessageBoxPrompter m_prompter{this};
    ProgressBox m_progress{this};
    GroupSend m_logic;
    QComboBox *m_modems;
    QComboBox *m_groups;
    MessagePane *m_pane;
    QPushButton *m_send;
    bool m_canSend = false;
};

} // namespace tavsms
