#include "GroupWindow.h"

#include "InputBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

namespace tavsms {

namespace {

QPushButton *button(QWidget *parent, const QString &caption, const char *name, const QString &tip = {})
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    return b;
}

QComboBox *combo(QWidget *parent, const char *name)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

QLineEdit *lineEdit(QWidget *parent, const char *name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

} // namespace

GroupWindow::GroupWindow(Database &db, QWidget *parent)
    : QWidget(parent)
    , m_logic(db, m_prompter)
{
    setObjectName(QStringLiteral("frmGroup"));
    setWindowTitle(QStringLiteral("Manage Group"));

    auto *create = new QGroupBox(QStringLiteral("Create New Group"), this);
    m_groupName = lineEdit(create, "txtGroupName");
    auto *createButton = button(create, QStringLiteral("Create Group"), "cmdCreateGroup");
    auto *createForm = new QFormLayout(create);
    createForm->addRow(QStringLiteral("Group Name"), m_groupName);
    createForm->addRow(QString(), createButton);

    auto *manage = new QGroupBox(QStringLiteral("Manage Groups"), this);
    m_manageGroups = combo(manage, "cboManageGroup");
    auto *deleteButton = button(manage, QStringLiteral("Delete"), "cmdDelete");
    auto *manageForm = new QFormLayout(manage);
    manageForm->addRow(QStringLiteral("Select Group"), m_manageGroups);
    manageForm->addRow(QString(), deleteButton);

    auto *entry = new QGroupBox(QStringLiteral("Single Entry"), this);
    m_entryGroups = combo(entry, "cboEntryGroup");
    m_name = lineEdit(entry, "txtName");
    m_mobile = lineEdit(entry, "txtMobile");
    m_mobile->setToolTip(GroupManager::kNumberRule);
    m_email = lineEdit(entry, "txtEmail");
    auto *subscription = new QCheckBox(QStringLiteral("Subscription Based Member"), entry);
    auto *period = combo(entry, "cboPeriod");
    auto *from = lineEdit(entry, "txtFrom");
    for (QWidget *w : std::initializer_list<QWidget *>{subscription, period, from})
        w->setEnabled(false); // shown for information; members are added without a subscription
    auto *addButton = button(entry, QStringLiteral("Add"), "cmdAdd");
    auto *entryForm = new QFormLayout(entry);
    entryForm->addRow(QStringLiteral("Select Group"), m_entryGroups);
    entryForm->addRow(QStringLiteral("Name"), m_name);
    entryForm->addRow(QStringLiteral("Mobile"), m_mobile);
    entryForm->addRow(QStringLiteral("E-mail"), m_email);
    entryForm->addRow(subscription);
    entryForm->addRow(QStringLiteral("Period"), period);
    entryForm->addRow(QStringLiteral("From"), from);
    entryForm->addRow(QString(), addButton);

    auto *bulk = new QGroupBox(QStringLiteral("Add to Group in Bulk"), this);
    m_bulkGroups = combo(bulk, "cboBulkGroup");
    m_bulk = new QPlainTextEdit(bulk);
    m_bulk->setObjectName(QStringLiteral("txtBulk"));
    m_bulk->setToolTip(GroupManager::kNumberRule);
    auto *series = button(bulk, QStringLiteral("Generate Serise"), "cmdSeries");
    auto *validateButton = button(bulk, QStringLiteral("Validate"), "cmdValidate",
                                  QStringLiteral("Validates the mobile numbers"));
    m_edit = button(bulk, QStringLiteral("Edit"), "cmdEdit", QStringLiteral("Manage mobile numbers in this group"));
    m_save = button(bulk, QStringLiteral("Save"), "cmdSave", QStringLiteral("Replace entire group"));
    auto *bulkLayout = new QVBoxLayout(bulk);
    auto *bulkForm = new QFormLayout;
    bulkForm->addRow(QStringLiteral("Select Group"), m_bulkGroups);
    bulkLayout->addLayout(bulkForm);
    auto *intro = new QLabel(QStringLiteral("Enter Mobile Nos. (One number each line. Only 10 digit mobile no is allowed)"),
                             bulk);
    intro->setWordWrap(true);
    bulkLayout->addWidget(intro);
    bulkLayout->addWidget(m_bulk, 1);
    bulkLayout->addWidget(new QLabel(QStringLiteral("E.g. mobile_no, name, e-mail"), bulk));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {series, validateButton, m_edit, m_save})
        buttons->addWidget(b);
    bulkLayout->addLayout(buttons);

    auto *grid = new QGridLayout(this);
    grid->addWidget(create, 0, 0);
    grid->addWidget(manage, 1, 0);
    grid->addWidget(entry, 2, 0);
    grid->addWidget(bulk, 0, 1, 3, 1);
    grid->setColumnStretch(1, 1);

    const GroupScreenState s = m_logic.load();
    showGroups(s.groups);
    period->addItems(s.periods);
    period->setCurrentIndex(s.period);
    from->setText(s.startDate);
    from->setMinimumWidth(from->fontMetrics().horizontalAdvance(s.startDate) + 16);
    showPanel(m_panel);

    connect(createButton, &QPushButton::clicked, this, &GroupWindow::createGroup);
    connect(deleteButton, &QPushButton::clicked, this, &GroupWindow::deleteGroup);
    connect(addButton, &QPushButton::clicked, this, [this] {
        focus(m_logic.addMember(m_entryGroups->currentText(), m_name->text(), m_mobile->text(), m_email->text()));
    });
    connect(series, &QPushButton::clicked, this, &GroupWindow::generateSeries);
    connect(validateButton, &QPushButton::clicked, this, &GroupWindow::validate);
    connect(m_edit, &QPushButton::clicked, this, [this] { showPanel(m_panel = GroupManager::edit(m_panel)); });
    connect(m_save, &QPushButton::clicked, this, [this] {
        const GroupManager::Saved saved = m_logic.save(m_bulkGroups->currentText(), m_bulk->toPlainText(), m_panel);
        if (saved.clearBox)
            m_bulk->clear();
        showPanel(m_panel = saved.panel);
    });
    resize(760, 480);
}

void GroupWindow::showGroups(const QStringList &groups)
{
    for (QComboBox *list : {m_manageGroups, m_entryGroups, m_bulkGroups}) {
        list->clear();
        list->addItems(groups);
    }
}

void GroupWindow::showPanel(const BulkPanel &panel)
{
    m_bulk->setReadOnly(panel.readOnly);
    m_edit->setEnabled(panel.editEnabled);
    m_save->setEnabled(panel.saveEnabled);
}

void GroupWindow::focus(GroupManager::Field field)
{
    switch (field) {
    case GroupManager::Field::GroupName: m_groupName->setFocus(); break;
    case GroupManager::Field::Mobile: m_mobile->setFocus(); break;
    case GroupManager::Field::Bulk: m_bulk->setFocus(); break;
    case GroupManager::Field::None: break;
    }
}

void GroupWindow::createGroup()
{
    const GroupManager::ListOutcome outcome = m_logic.createGroup(m_groupName->text());
    m_groupName->clear();
    if (outcome.groups)
        showGroups(*outcome.groups);
    focus(outcome.focus);
}

QCoro::Task<void> GroupWindow::deleteGroup()
{
    QPointer<GroupWindow> self(this);
    const GroupManager::ListOutcome outcome = co_await m_logic.deleteGroup(m_manageGroups->currentText());
    if (!self)
        co_return;
    if (outcome.groups)
        showGroups(*outcome.groups);
    focus(outcome.focus);
}

QCoro::Task<void> GroupWindow::generateSeries()
{
    QPointer<GroupWindow> self(this);
    const QString title = QStringLiteral("Generate Serise");
    const std::optional<QString> start =
        co_await askText(this, title, QStringLiteral("Start From"), GroupManager::seriesStartPreset());
    if (!self || !start)
        co_return;
    const std::optional<QString> end =
        co_await askText(this, title, QStringLiteral("Create upto"), GroupManager::seriesEndPreset());
    if (!self || !end)
        co_return;
    if (const std::optional<QString> bulk = m_logic.generateSeries(*start, *end, m_bulk->toPlainText()))
        m_bulk->setPlainText(*bulk);
}

void GroupWindow::validate()
{
    const GroupManager::Validation v = m_logic.validate(m_bulkGroups->currentText(), m_bulk->toPlainText(), m_panel);
    showPanel(m_panel = v.panel);
    if (v.selectionStart >= 0) {
        QTextCursor cursor(m_bulk->document());
        cursor.setPosition(v.selectionStart);
        cursor.setPosition(v.selectionStart + v.selectionLength, QTextCursor::KeepAnchor);
        m_bulk->setTextCursor(cursor);
    }
    focus(v.focus);
}

} // namespace tavsms
