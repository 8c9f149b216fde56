#pragma once

#include "MessageBoxPrompter.h"
#include "SingleSend.h"

#include <QWidget>

class QComboBox;
class QPushButton;

namespace tavsms {

class AppState;
class MessagePane;
class Store;

// frmSendSingle, "Send Single Message".
class SendSingleWindow : public QWidget
{
    Q_OBJECT
public:
    SendSingleWindow(Store &store, const AppState &state, QWidget *parent = nullptr);

private:
    void chooseGroup();
    void send();
    void focus(MessageComposer::Field field);

    MessageBoxPrompter m_prompter{this};
    SingleSend m_logic;
    QComboBox *m_modems;
    QComboBox *m_groups;
    QComboBox *m_number;
    MessagePane *m_pane;
    QPushButton *m_send;
};

} // namespace tavsms
