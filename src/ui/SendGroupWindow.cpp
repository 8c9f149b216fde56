#include "SendGroupWindow.h"

#include "MessagePane.h"

#include <QComboBox>
#include <QPointer>
#include <QPushButton>

namespace tavsms {

SendGroupWindow::SendGroupWindow(Store &store, const AppState &state, QWidget *parent)
    : ComposeWindow(QStringLiteral("frmSendGroup"), QStringLiteral("Send Group SMS"), QStringLiteral("Select Group"),
                    parent)
    , m_logic(store, state, m_prompter, m_progress)
{
    m_canSend = attach(m_logic).hasGroups;
    m_send->setEnabled(m_canSend);
    connect(m_send, &QPushButton::clicked, this, &SendGroupWindow::send);
}

QCoro::Task<void> SendGroupWindow::send()
{
    QPointer<SendGroupWindow> self(this);
    m_send->setEnabled(false); // one send at a time
    const MessageComposer::Field field =
        co_await m_logic.send(m_groups->currentText(), m_pane->message(), m_modems->currentText());
    if (!self)
        co_return;
    m_send->setEnabled(m_canSend);
    focus(field);
}

} // namespace tavsms
