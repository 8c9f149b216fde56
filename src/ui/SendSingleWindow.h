#pragma once

#include "ComposeWindow.h"
#include "SingleSend.h"

namespace tavsms {

class AppState;
class Store;

// frmSendSingle, "Send Single Message".
class SendSingleWindow : public ComposeWindow
{
    Q_OBJECT
public:
    SendSingleWindow(Store &store, const AppState &state, QWidget *parent = nullptr);

private:
    void chooseGroup();
    void send();

    SingleSend m_logic;
    QComboBox *m_number;
};

} // namespace tavsms
