#include "AutoReplyWindow.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tavsms {

using Option = AutoReplySettings::Option;

AutoReplyWindow::AutoReplyWindow(Database &db, QWidget *parent)
    : QWidget(parent)
    , m_settings(db, m_prompter)
{
    setObjectName(QStringLiteral("frmAutoReply"));
    setWindowTitle(QStringLiteral("Auto Reply Settings"));

    auto *create = new QGroupBox(QStringLiteral("Create Keyword"), this);
    auto *createForm = new QFormLayout(create);
    m_createConnection = new QComboBox(create);
    m_createConnection->setObjectName(QStringLiteral("cboCreateConnection"));
    m_keywordBox = new QLineEdit(create);
    m_keywordBox->setObjectName(QStringLiteral("txtKeyword"));
    auto *createKey = new QPushButton(QStringLiteral("Create Key"), create);
    createKey->setObjectName(QStringLiteral("cmdCreateKey"));
    createForm->addRow(QStringLiteral("Select Connection"), m_createConnection);
    createForm->addRow(QStringLiteral("Keyword"), m_keywordBox);
    createForm->addRow(QString(), createKey);
    createForm->addRow(new QLabel(QStringLiteral("Enter * to enable auto reply for all the messages."), create));

    auto *table = new QGroupBox(QStringLiteral("Action Table"), this);
    auto *form = new QFormLayout(table);
    m_actionConnection = new QComboBox(table);
    m_actionConnection->setObjectName(QStringLiteral("cboActionConnection"));
    m_keywords = new QComboBox(table);
    m_keywords->setObjectName(QStringLiteral("cboKeyword"));
    m_reply = new QPlainTextEdit(table);
    m_reply->setObjectName(QStringLiteral("txtReply"));
    m_reply->setMaximumHeight(80);
    m_groups = new QComboBox(table);
    m_groups->setObjectName(QStringLiteral("cboGroup"));
    form->addRow(QStringLiteral("Select Connection"), m_actionConnection);
    form->addRow(QStringLiteral("Select Keyword"), m_keywords);
    form->addRow(QStringLiteral("Reply Message"), m_reply);
    form->addRow(QStringLiteral("Group Name"), m_groups);

    m_options = new QButtonGroup(this);
    auto *optionRow = new QHBoxLayout;
    auto option = [&](const QString &caption, const QString &tip, Option id, const QString &name) {
        auto *button = new QRadioButton(caption, table);
        button->setObjectName(name);
        button->setToolTip(tip);
        m_options->addButton(button, int(id));
        optionRow->addWidget(button);
        return button;
    };
    option(QStringLiteral("Add to a Group"), QStringLiteral("Add to the above group."), Option::AddToGroup,
           QStringLiteral("optAdd"));
    option(QStringLiteral("Delete from group"), QStringLiteral("Delete from above group"), Option::DeleteFromGroup,
           QStringLiteral("optDelete"));
    m_noGroup = option(QStringLiteral("No Group Action"), QStringLiteral("No Action"), Option::NoGroupAction,
                       QStringLiteral("optNoAction"));
    option(QStringLiteral("Push SMS"), QString(), Option::PushSms, QStringLiteral("optPush"));
    form->addRow(optionRow);

    m_urlLabel = new QLabel(QStringLiteral("URL"), table);
    m_url = new QLineEdit(table);
    m_url->setObjectName(QStringLiteral("txtUrl"));
    form->addRow(m_urlLabel, m_url);
    m_urlNote = new QLabel(
        QStringLiteral("Use @@sender@@ for Incoming mobile number and @@message@@ for the incoming message"), table);
    m_urlNote->setWordWrap(true);
    form->addRow(m_urlNote);

    auto *buttons = new QHBoxLayout;
    auto *save = new QPushButton(QStringLiteral("Save Key Action"), table);
    save->setObjectName(QStringLiteral("cmdSave"));
    auto *remove = new QPushButton(QStringLiteral("Delete Keyword"), table);
    remove->setObjectName(QStringLiteral("cmdDelete"));
    buttons->addWidget(save);
    buttons->addWidget(remove);
    form->addRow(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(create);
    layout->addWidget(table);

    // The operator's edits go to the logic; its changes come back through refresh().
    connect(m_createConnection, &QComboBox::activated, this,
            [this] { m_settings.createConnection = m_createConnection->currentText(); });
    connect(m_keywordBox, &QLineEdit::textEdited, this, [this](const QString &t) { m_settings.keywordBox = t; });
    connect(m_actionConnection, &QComboBox::activated, this,
            [this] { m_settings.chooseActionConnection(m_actionConnection->currentText()); });
    connect(m_keywords, &QComboBox::activated, this, [this] { m_settings.chooseKeyword(m_keywords->currentText()); });
    connect(m_reply, &QPlainTextEdit::textChanged, this, [this] { m_settings.replyBox = m_reply->toPlainText(); });
    connect(m_groups, &QComboBox::activated, this, [this] { m_settings.group = m_groups->currentText(); });
    connect(m_options, &QButtonGroup::idClicked, this, [this](int id) { m_settings.chooseOption(Option(id)); });
    connect(m_url, &QLineEdit::textEdited, this, [this](const QString &t) { m_settings.urlBox = t; });
    connect(m_url, &QLineEdit::editingFinished, &m_settings, &AutoReplySettings::leaveUrlBox);
    connect(createKey, &QPushButton::clicked, &m_settings, &AutoReplySettings::createKey);
    connect(save, &QPushButton::clicked, &m_settings, &AutoReplySettings::saveKeyAction);
    connect(remove, &QPushButton::clicked, this, [this] { m_settings.deleteKeyword(); });
    connect(&m_settings, &AutoReplySettings::changed, this, &AutoReplyWindow::refresh);
    connect(&m_settings, &AutoReplySettings::focusRequested, this, &AutoReplyWindow::focus);

    m_settings.open();
}

void AutoReplyWindow::fill(QComboBox *box, const QStringList &items, const QString &current)
{
    const QSignalBlocker block(box);
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    if (shown != items) {
        box->clear();
        box->addItems(items);
    }
    box->setCurrentIndex(std::max(0, int(items.indexOf(current))));
}

void AutoReplyWindow::refresh()
{
    fill(m_createConnection, m_settings.createConnections, m_settings.createConnection);
    fill(m_actionConnection, m_settings.actionConnections, m_settings.actionConnection);
    fill(m_keywords, m_settings.keywords, m_settings.keyword);
    fill(m_groups, m_settings.groups, m_settings.group);
    if (m_keywordBox->text() != m_settings.keywordBox)
        m_keywordBox->setText(m_settings.keywordBox);
    if (m_reply->toPlainText() != m_settings.replyBox) {
        const QSignalBlocker block(m_reply);
        m_reply->setPlainText(m_settings.replyBox);
    }
    m_options->button(int(m_settings.option))->setChecked(true);
    if (m_url->text() != m_settings.urlBox)
        m_url->setText(m_settings.urlBox);
    const bool url = m_settings.urlEnabled();
    m_urlLabel->setEnabled(url);
    m_urlNote->setEnabled(url);
    m_url->setEnabled(url);
}

void AutoReplyWindow::focus(AutoReplySettings::Field field)
{
    switch (field) {
    case AutoReplySettings::Field::KeywordBox: m_keywordBox->setFocus(); break;
    case AutoReplySettings::Field::ReplyBox: m_reply->setFocus(); break;
    case AutoReplySettings::Field::UrlBox: m_url->setFocus(); break;
    case AutoReplySettings::Field::GroupList: m_groups->setFocus(); break;
    case AutoReplySettings::Field::NoGroupOption: m_noGroup->setFocus(); break;
    }
}

} // namespace tavsms
