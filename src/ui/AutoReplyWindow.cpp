#include "AutoReplyWindow.h"

#include "ComboChoices.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tavsms {

namespace {

using Option = AutoReplyForm::Option;

} // namespace

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
    auto *actionForm = new QFormLayout(table);
    m_actionConnection = new QComboBox(table);
    m_actionConnection->setObjectName(QStringLiteral("cboActionConnection"));
    m_keywords = new QComboBox(table);
    m_keywords->setObjectName(QStringLiteral("cboKeyword"));
    m_reply = new QPlainTextEdit(table);
    m_reply->setObjectName(QStringLiteral("txtReply"));
    m_reply->setMaximumHeight(80);
    m_groups = new QComboBox(table);
    m_groups->setObjectName(QStringLiteral("cboGroup"));
    actionForm->addRow(QStringLiteral("Select Connection"), m_actionConnection);
    actionForm->addRow(QStringLiteral("Select Keyword"), m_keywords);
    actionForm->addRow(QStringLiteral("Reply Message"), m_reply);
    actionForm->addRow(QStringLiteral("Group Name"), m_groups);

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
    actionForm->addRow(optionRow);

    m_urlLabel = new QLabel(QStringLiteral("URL"), table);
    m_url = new QLineEdit(table);
    m_url->setObjectName(QStringLiteral("txtUrl"));
    actionForm->addRow(m_urlLabel, m_url);
    m_urlNote = new QLabel(
        QStringLiteral("Use @@sender@@ for Incoming mobile number and @@message@@ for the incoming message"), table);
    m_urlNote->setWordWrap(true);
    actionForm->addRow(m_urlNote);

    auto *buttons = new QHBoxLayout;
    auto *save = new QPushButton(QStringLiteral("Save Key Action"), table);
    save->setObjectName(QStringLiteral("cmdSave"));
    auto *remove = new QPushButton(QStringLiteral("Delete Keyword"), table);
    remove->setObjectName(QStringLiteral("cmdDelete"));
    buttons->addWidget(save);
    buttons->addWidget(remove);
    actionForm->addRow(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(create);
    layout->addWidget(table);

    // Each action goes to the logic with the form as it stands.
    connect(m_actionConnection, &QComboBox::activated, this,
            [this] { apply(m_settings.chooseActionConnection(form())); });
    connect(m_keywords, &QComboBox::activated, this, [this] { apply(m_settings.chooseKeyword(form())); });
    connect(m_options, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            apply(m_settings.chooseOption(form(), Option(id)));
    });
    connect(m_url, &QLineEdit::editingFinished, this, [this] { apply(m_settings.leaveUrlBox(form())); });
    connect(createKey, &QPushButton::clicked, this, [this] { apply(m_settings.createKey(form())); });
    connect(save, &QPushButton::clicked, this, [this] { apply(m_settings.saveKeyAction(form())); });
    connect(remove, &QPushButton::clicked, this, [this] { deleteKeyword(); });

    render(m_settings.load());
}

AutoReplyForm AutoReplyWindow::form() const
{
    AutoReplyForm f;
    f.createConnections = itemsOf(m_createConnection);
    f.createConnection = m_createConnection->currentText();
    f.keywordBox = m_keywordBox->text();
    f.actionConnections = itemsOf(m_actionConnection);
    f.actionConnection = m_actionConnection->currentText();
    f.keywords = itemsOf(m_keywords);
    f.keyword = m_keywords->currentText();
    f.reply = m_reply->toPlainText();
    f.groups = itemsOf(m_groups);
    f.group = m_groups->currentText();
    f.option = Option(m_options->checkedId());
    f.url = m_url->text();
    return f;
}

void AutoReplyWindow::render(const AutoReplyForm &f)
{
    showChoices(m_createConnection, f.createConnections, f.createConnection);
    showChoices(m_actionConnection, f.actionConnections, f.actionConnection);
    showChoices(m_keywords, f.keywords, f.keyword);
    showChoices(m_groups, f.groups, f.group);
    if (m_keywordBox->text() != f.keywordBox)
        m_keywordBox->setText(f.keywordBox);
    if (m_reply->toPlainText() != f.reply)
        m_reply->setPlainText(f.reply);
    {
        const QSignalBlocker quiet(m_options);
        m_options->button(int(f.option))->setChecked(true);
    }
    if (m_url->text() != f.url)
        m_url->setText(f.url);
    const bool url = f.urlEnabled();
    m_urlLabel->setEnabled(url);
    m_urlNote->setEnabled(url);
    m_url->setEnabled(url);
}

void AutoReplyWindow::apply(const AutoReplySettings::Outcome &outcome)
{
    render(outcome.form);
    switch (outcome.focus) {
    case AutoReplySettings::Field::None: break;
    case AutoReplySettings::Field::KeywordBox: m_keywordBox->setFocus(); break;
    case AutoReplySettings::Field::ReplyBox: m_reply->setFocus(); break;
    case AutoReplySettings::Field::UrlBox: m_url->setFocus(); break;
    case AutoReplySettings::Field::GroupList: m_groups->setFocus(); break;
    case AutoReplySettings::Field::NoGroupOption: m_noGroup->setFocus(); break;
    }
}

QCoro::Task<void> AutoReplyWindow::deleteKeyword()
{
    QPointer<AutoReplyWindow> self(this);
    const AutoReplySettings::Outcome outcome = co_await m_settings.deleteKeyword(form());
    if (self)
        apply(outcome);
}

} // namespace tavsms
