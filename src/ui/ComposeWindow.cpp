#include "ComposeWindow.h"

#include "LimitedTextEdit.h"
#include "MessagePane.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavsms {

ComposeWindow::ComposeWindow(const QString &objectName, const QString &title, const QString &groupCaption,
                             QWidget *parent)
    : QWidget(parent)
{
    setObjectName(objectName);
    setWindowTitle(title);

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
    m_form = new QFormLayout;
    m_form->addRow(QStringLiteral("Select Modem"), m_modems);
    m_form->addRow(QString(), hint);
    m_form->addRow(groupCaption, m_groups);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_form);
    layout->addWidget(m_pane, 1);
    layout->addWidget(m_send, 0, Qt::AlignRight);
    resize(620, 440);
}

ComposeState ComposeWindow::attach(MessageComposer &logic)
{
    const ComposeState s = logic.load();
    m_modems->addItems(s.modems);
    m_groups->addItems(s.groups);
    m_pane->setTemplates(s.templateTitles);
    m_pane->setLimit(s.limit);
    connect(m_modems, &QComboBox::activated, this,
            [this, &logic] { m_pane->setLimit(logic.lengthLimit(m_modems->currentText(), m_pane->limit())); });
    connect(m_pane, &MessagePane::templateClicked, this, [this, &logic](const QString &node) {
        if (const std::optional<QString> text = logic.templateText(node))
            m_pane->setMessage(*text);
    });
    return s;
}

void ComposeWindow::focus(MessageComposer::Field field)
{
    switch (field) {
    case MessageComposer::Field::Message: m_pane->messageBox()->setFocus(); break;
    case MessageComposer::Field::Modem: m_modems->setFocus(); break;
    case MessageComposer::Field::Group: m_groups->setFocus(); break;
    case MessageComposer::Field::Number:
    case MessageComposer::Field::None: break;
    }
}

} // namespace tavsms
