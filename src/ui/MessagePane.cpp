#include "MessagePane.h"

#include "ConnectionChoice.h"
#include "LimitedTextEdit.h"
#include "MessageComposer.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>

namespace tavsms {

namespace {
constexpr int KeyRole = Qt::UserRole;
}

MessagePane::MessagePane(QWidget *parent)
    : QWidget(parent)
{
    m_message = new LimitedTextEdit(this);
    m_message->setObjectName(QStringLiteral("txtMessage"));
    m_counter = new QLabel(QStringLiteral("0"), this);
    m_counter->setObjectName(QStringLiteral("lblCounter"));
    m_counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_limit = new QLabel(QStringLiteral("/130"), this);
    m_limit->setObjectName(QStringLiteral("lblLimit"));
    m_templates = new QTreeWidget(this);
    m_templates->setObjectName(QStringLiteral("tvTemplates"));
    m_templates->setHeaderHidden(true);
    m_templates->setMinimumWidth(160);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Your Message"), this), 0, 0, 1, 3);
    grid->addWidget(m_message, 1, 0, 1, 3);
    auto *count = new QHBoxLayout;
    count->setSpacing(0);
    count->addStretch(1);
    count->addWidget(m_counter);
    count->addWidget(m_limit);
    grid->addLayout(count, 2, 0, 1, 3);
    grid->addWidget(m_templates, 0, 3, 3, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(1, 1);

    connect(m_message, &QPlainTextEdit::textChanged, this, &MessagePane::showCount);
    connect(m_templates, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { Q_EMIT templateClicked(item->text(0)); });
}

QString MessagePane::message() const
{
    return m_message->toPlainText();
}

void MessagePane::setMessage(const QString &text)
{
    m_message->setPlainText(text);
}

void MessagePane::setLimit(const LengthLimit &limit)
{
    m_limitValue = limit;
    m_message->setLimit(limit);
    showCount();
}

void MessagePane::showCount()
{
    const QString text = m_message->toPlainText();
    m_counter->setText(m_limitValue.counter(text));
    m_limit->setText(m_limitValue.label(text));
}

void MessagePane::setTemplates(const QStringList &titles)
{
    m_templates->clear();
    auto *root = new QTreeWidgetItem(m_templates, QStringList{MessageComposer::kTemplatesRoot});
    root->setData(0, KeyRole, QStringLiteral("Root"));
    for (int n = 0; n < titles.size(); ++n) {
        auto *child = new QTreeWidgetItem(root, QStringList{titles.at(n)});
        child->setData(0, KeyRole, QStringLiteral("child%1").arg(n + 1));
    }
    root->setExpanded(true);
}

} // namespace tavsms
