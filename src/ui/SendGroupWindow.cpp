#include "SendGroupWindow.h"

#include "LimitedTextEdit.h"
#include "MessagePane.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavsms {

SendGroupWindow::SendGroupWindow(Store &store, const AppState &state, QWidget *parent)
    : QWidget(parent)
    , m_logic(store, state, m_prompter, m_progress)
{
    setObjectName(QStringLiteral("frmSendGroup"));
    setWindowTitle(QStringLiteral("Send Group SMS"));

    m_modems = new QComboBox(this);
    m_modems->setObjectName(QStringLiteral("cboModem"));
    m_groups = new QComboBox(this);
    m_groups->setObjectName(QStringLiteral("cboGroup"));
    m_pane = new MessagePane(this);
    m_send = new QPushButton(QStringLiteral("Send Message"), this);
    m_send->setObjectName(QStringLiteral("cmdSend"));

    auto *hint = new QLabel(
        QStringLiteral("You can set your specific modem for delivery but we do not recommend you to change it."), this);
    hint->setWordWrap(true);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Select Modem"), m_modems);
    form->addRow(QString(), hint);
    form->addRow(QStringLiteral("Select Group"), m_groups);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_pane, 1);
    layout->addWidget(m_send, 0, Qt::AlignRight);

    const ComposeState s = m_logic.load();
    m_modems->addItems(s.modems);
    m_groups->addItems(s.groups);
    m_canSend = s.hasGroups;
    m_send->setEnabled(m_canSend);
    m_pane->setTemplates(s.templateTitles);
    m_pane->setLimit(s.limit);

    connect(m_modems, &QComboBox::activated, this,
            [this] { m_pane->setLimit(m_logic.lengthLimit(m_modems->currentText(), m_pane->limit())); });
    connect(m_pane, &MessagePane::templateClicked, this, [this](const QString &node) {
        if (const std::optional<QString> text = m_logic.templateText(node))
            m_pane->setMessage(*text);
    });
    connect(m_send, &QPushButton::clicked, this, &SendGroupWindow::send);
    resize(620, 420);
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
    if (field == MessageComposer::Field::Message)
        m_pane->messageBox()->setFocus();
    else if (field == MessageComposer::Field::Group)
        m_groups->setFocus();
    else if (field == MessageComposer::Field::Modem)
        m_modems->setFocus();
}

} // namespace tavsms
