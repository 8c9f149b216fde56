#include "SendSingleWindow.h"

#include "LimitedTextEdit.h"
#include "MessagePane.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavsms {

SendSingleWindow::SendSingleWindow(Store &store, const AppState &state, QWidget *parent)
    : QWidget(parent)
    , m_logic(store, state, m_prompter)
{
    setObjectName(QStringLiteral("frmSendSingle"));
    setWindowTitle(QStringLiteral("Send Single Message"));

    m_modems = new QComboBox(this);
    m_modems->setObjectName(QStringLiteral("cboModem"));
    m_groups = new QComboBox(this);
    m_groups->setObjectName(QStringLiteral("cboGroup"));
    m_number = new QComboBox(this);
    m_number->setObjectName(QStringLiteral("cboNumber"));
    m_number->setEditable(true);
    m_number->setInsertPolicy(QComboBox::NoInsert);
    m_pane = new MessagePane(this);
    m_send = new QPushButton(QStringLiteral("Send Message"), this);
    m_send->setObjectName(QStringLiteral("cmdSend"));

    auto *hint = new QLabel(
        QStringLiteral("You can set your specific modem for delivery but we do not recommend you to change it."), this);
    hint->setWordWrap(true);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Select Modem"), m_modems);
    form->addRow(QString(), hint);
    form->addRow(QStringLiteral("Select From Group"), m_groups);
    form->addRow(QStringLiteral("Select/Enter Number"), m_number);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_pane, 1);
    layout->addWidget(m_send, 0, Qt::AlignRight);

    const ComposeState s = m_logic.load();
    m_modems->addItems(s.modems);
    m_groups->addItems(s.groups);
    m_pane->setTemplates(s.templateTitles);
    m_pane->setLimit(s.limit);

    connect(m_groups, &QComboBox::activated, this, &SendSingleWindow::chooseGroup);
    connect(m_modems, &QComboBox::activated, this,
            [this] { m_pane->setLimit(m_logic.lengthLimit(m_modems->currentText(), m_pane->limit())); });
    connect(m_pane, &MessagePane::templateClicked, this, [this](const QString &node) {
        if (const std::optional<QString> text = m_logic.templateText(node))
            m_pane->setMessage(*text);
    });
    connect(m_send, &QPushButton::clicked, this, &SendSingleWindow::send);
    resize(620, 440);
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
    focus(m_logic.send(m_number->currentText(), m_pane->message(), m_modems->currentText()));
}

void SendSingleWindow::focus(MessageComposer::Field field)
{
    switch (field) {
    case MessageComposer::Field::Number:
        m_number->setFocus();
        break;
    case MessageComposer::Field::Message:
        m_pane->messageBox()->setFocus();
        break;
    case MessageComposer::Field::Modem:
        m_modems->setFocus();
        break;
    case MessageComposer::Field::Group:
        m_groups->setFocus();
        break;
    case MessageComposer::Field::None:
        break;
    }
}

} // namespace tavsms
