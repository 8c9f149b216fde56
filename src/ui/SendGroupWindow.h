#pragma once

#include "ComposeWindow.h"
#include "GroupSend.h"
#include "ProgressBox.h"

#include <QCoroTask>

namespace tavsms {

class AppState;
class Store;

// frmSendGroup, "Send Group SMS".
class SendGroupWindow : public ComposeWindow
{
    Q_OBJECT
public:
    SendGroupWindow(Store &store, const AppState &state, QWidget *parent = nullptr);

    ProgressBox &progress() { return m_progress; }

private:
    QCoro::Task<void> send();

    ProgressBox m_progress{this};
    GroupSend m_logic;
    bool m_canSend = false;
};

} // namespace tavsms
