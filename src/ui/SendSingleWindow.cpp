#include "SendSingleWindow.h"

#include "MessagePane.h"

#include <QComboBox>
#include <QFormLayout>
#include <QPushButton>

namespace tavsms {

SendSingleWindow::SendSingleWindow(Store &store, const AppState &state, QWidget *parent)
    : ComposeWindow(QStringLiteral("frmSendSingle"), QStringLiteral("Send Single Message"),
                    QStringLiteral("Select From Group"), parent)
    , m_logic(store, state, m_prompter)
{
    m_number = new QComboBox(this);
    m_number->setObjectName(QStringLiteral("cboNumber"));
    m_number->setEditable(true);
    m_number->setInsertPolicy(QComboBox::NoInsert);
    m_form->addRow(QStringLiteral("Select/Enter Number"), m_number);

    attach(m_logic);
    connect(m_groups, &QComboBox::activated, this, &SendSingleWindow::chooseGroup);
    connect(m_send, &QPushButton::clicked, this, &SendSingleWindow::send);
}

void SendSingleWindow::chooseGroup()
{
    const SingleSend::GroupChoice choice =
        m_logic.chooseGroup(m_groups->currentText(), m_modems->currentText(), m_pane->limit());
    const QString typed = m_number->currentText();
    m_number->clear();
    m_number->addItems(choice.numbers);
    m_number->setEditText(typed);
    m_pane->setLimit(choice.limit);
}

void SendSingleWindow::send()
{
    const MessageComposer::Field field = m_logic.send(m_number->currentText(), m_pane->message(), m_modems->currentText());
    if (field == MessageComposer::Field::Number)
        m_number->setFocus();
    else
        focus(field);
}

} // namespace tavsms
