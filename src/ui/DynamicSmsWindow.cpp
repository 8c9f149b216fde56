#include "DynamicSmsWindow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tavsms {

namespace {
QPlainTextEdit *column(QWidget *parent, const char *name)
{
    auto *box = new QPlainTextEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setLineWrapMode(QPlainTextEdit::NoWrap); // one value per line, as the merge reads it
    return box;
}
} // namespace

DynamicSmsWindow::DynamicSmsWindow(Database &db, QWidget *parent)
    : QWidget(parent)
    , m_logic(db, m_prompter)
{
    setObjectName(QStringLiteral("frmDynamicSMS"));
    setWindowTitle(QStringLiteral("Dynamic SMS"));

    m_groups = new QComboBox(this);
    m_groups->setObjectName(QStringLiteral("cboGroup"));
    m_template = new QPlainTextEdit(this);
    m_template->setObjectName(QStringLiteral("txtTemplate"));
    m_template->setMaximumHeight(90);
    m_length = new QLabel(this);
    m_length->setObjectName(QStringLiteral("lblLength"));
    m_numbers = column(this, "txtData1");
    m_data2 = column(this, "txtData2");
    m_data3 = column(this, "txtData3");
    auto *mergeButton = new QPushButton(QStringLiteral("Merge Data"), this);
    mergeButton->setObjectName(QStringLiteral("cmdMerge"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Select Group"), this), 0, 0);
    grid->addWidget(m_groups, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Message Template"), this), 1, 0, 1, 3);
    grid->addWidget(m_template, 2, 0, 1, 3);
    grid->addWidget(m_length, 3, 2, Qt::AlignRight);
    grid->addWidget(new QLabel(QStringLiteral("@@Data1@@ Mobile Numbers"), this), 4, 0);
    grid->addWidget(new QLabel(QStringLiteral("@@Data2@@"), this), 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("@@Data3@@"), this), 4, 2);
    grid->addWidget(m_numbers, 5, 0);
    grid->addWidget(m_data2, 5, 1);
    grid->addWidget(m_data3, 5, 2);
    grid->addWidget(mergeButton, 6, 2, Qt::AlignRight);
    grid->setRowStretch(5, 1);

    const DynamicMessages::State s = m_logic.load();
    m_groups->addItems(s.groups);
    m_template->setPlainText(s.form.templateText);
    m_numbers->setPlainText(s.form.numbers);
    m_data2->setPlainText(s.form.data2);
    m_data3->setPlainText(s.form.data3);
    m_length->setText(s.length);

    connect(m_template, &QPlainTextEdit::textChanged, this,
            [this] { m_length->setText(DynamicMessages::lengthText(m_template->toPlainText())); });
    connect(m_groups, &QComboBox::activated, this, [this] {
        m_numbers->setPlainText(m_logic.chooseGroup(m_groups->currentText(), m_numbers->toPlainText()));
    });
    connect(mergeButton, &QPushButton::clicked, this, [this] {
        if (const std::optional<QList<MergedRow>> rows = m_logic.mergeData(form()))
            Q_EMIT merged(*rows);
        else
            m_numbers->setFocus();
    });
    resize(640, 460);
}

DynamicForm DynamicSmsWindow::form() const
{
    return {m_template->toPlainText(), m_numbers->toPlainText(), m_data2->toPlainText(), m_data3->toPlainText()};
}

} // namespace tavsms
