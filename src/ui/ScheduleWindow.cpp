#include "ScheduleWindow.h"

#include "ComboChoices.h"
#include "LimitedTextEdit.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tavsms {

namespace {

ScheduleTime timeOf(const std::array<QComboBox *, 5> &lists)
{
    return {lists[0]->currentText(), lists[1]->currentText(), lists[2]->currentText(), lists[3]->currentText(),
            lists[4]->currentText()};
}

} // namespace

ScheduleWindow::ScheduleWindow(Database &db, MessageQueue &queue, const AppState &state, QWidget *parent)
    : QWidget(parent)
    , m_scheduler(db, queue, state, m_prompter)
{
    setObjectName(QStringLiteral("frmSch"));
    setWindowTitle(QStringLiteral("Schedule Message Delivery"));

    auto *when = new QFormLayout;
    m_frequency = new QComboBox(this);
    m_frequency->setObjectName(QStringLiteral("cboFrequency"));
    when->addRow(QStringLiteral("Frequency"), m_frequency);
    m_start = addTimeLists(QStringLiteral("cboStart"));
    m_end = addTimeLists(QStringLiteral("cboEnd"));
    auto row = [this](const TimeLists &lists) {
        auto *line = new QHBoxLayout;
        for (QComboBox *box : lists)
            line->addWidget(box);
        line->addStretch();
        return line;
    };
    when->addRow(QStringLiteral("Start Date/Time"), row(m_start));
    when->addRow(QStringLiteral("End Date/Time"), row(m_end));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblOccurances"));
    m_next = new QLabel(this);
    m_next->setObjectName(QStringLiteral("lblNextOccurance"));
    when->addRow(QStringLiteral("No. of Occurances"), m_count);
    when->addRow(QStringLiteral("Next Occurance"), m_next);

    auto *to = new QGroupBox(QStringLiteral("Delivery To"), this);
    auto *toGrid = new QGridLayout(to);
    m_recipient = new QButtonGroup(this);
    auto *single = new QRadioButton(QStringLiteral("Single Number"), to);
    single->setObjectName(QStringLiteral("optSingle"));
    auto *group = new QRadioButton(QStringLiteral("A Group"), to);
    group->setObjectName(QStringLiteral("optGroup"));
    m_recipient->addButton(single, int(Recipient::SingleNumber));
    m_recipient->addButton(group, int(Recipient::Group));
    m_number = new QLineEdit(to);
    m_number->setObjectName(QStringLiteral("txtNumber"));
    m_number->installEventFilter(this);
    m_groups = new QComboBox(to);
    m_groups->setObjectName(QStringLiteral("cboGroup"));
    toGrid->addWidget(single, 0, 0);
    toGrid->addWidget(m_number, 0, 1);
    toGrid->addWidget(group, 1, 0);
    toGrid->addWidget(m_groups, 1, 1);

    auto *via = new QFormLayout;
    m_connection = new QComboBox(this);
    m_connection->setObjectName(QStringLiteral("cboOperator"));
    via->addRow(QStringLiteral("Via Mobile Operator"), m_connection);

    m_message = new LimitedTextEdit(this);
    m_message->setObjectName(QStringLiteral("txtMessage"));
    m_message->setTabChangesFocus(true);
    m_length = new QLabel(QStringLiteral("0"), this);
    m_length->setObjectName(QStringLiteral("lblCount"));
    m_limit = new QLabel(this);
    m_limit->setObjectName(QStringLiteral("lblLimit"));
    m_save = new QPushButton(QStringLiteral("Save"), this);
    m_save->setObjectName(QStringLiteral("cmdSave"));
    auto *counter = new QHBoxLayout;
    counter->addStretch();
    counter->addWidget(m_length);
    counter->addWidget(m_limit);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(when);
    layout->addWidget(to);
    layout->addLayout(via);
    layout->addWidget(new QLabel(QStringLiteral("Message"), this));
    layout->addWidget(m_message);
    layout->addLayout(counter);
    layout->addWidget(m_save, 0, Qt::AlignRight);

    connect(m_frequency, &QComboBox::activated, this, [this] {
        const Scheduler::Preview preview = m_scheduler.chooseFrequency(form());
        m_count->setText(preview.count);
        m_next->setText(preview.next);
    });
    // The choice, however made (mouse, keyboard, a screen reader's toggle),
    // not only a click.
    connect(m_recipient, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            render(m_scheduler.chooseRecipient(form(), Recipient(id)));
    });
    connect(m_connection, &QComboBox::activated, this,
            [this] { showLimit(m_scheduler.chooseConnection(m_connection->currentText())); });
    connect(m_message, &QPlainTextEdit::textChanged, this, &ScheduleWindow::showCount);
    connect(m_save, &QPushButton::clicked, this, [this] { save(); });

    const SchedulerState state0 = m_scheduler.load();
    showChoices(m_frequency, state0.frequencies, state0.form.frequency);
    const std::array<const QStringList *, 5> lists{&state0.days, &state0.months, &state0.years, &state0.hours,
                                                   &state0.minutes};
    const ScheduleTime &s = state0.form.start;
    const ScheduleTime &e = state0.form.end;
    const std::array<QString, 5> starts{s.day, s.month, s.year, s.hour, s.minute};
    const std::array<QString, 5> ends{e.day, e.month, e.year, e.hour, e.minute};
    for (size_t i = 0; i < 5; ++i) {
        showChoices(m_start[i], *lists[i], starts[i]);
        showChoices(m_end[i], *lists[i], ends[i]);
    }
    showChoices(m_groups, state0.groups, state0.form.group);
    showChoices(m_connection, state0.connections, state0.form.connection);
    showLimit(state0.limit);
    render(state0.form);
}

ScheduleWindow::TimeLists ScheduleWindow::addTimeLists(const QString &prefix)
{
    TimeLists lists;
    const char *parts[] = {"Day", "Month", "Year", "Hour", "Minute"};
    for (size_t i = 0; i < lists.size(); ++i) {
        lists[i] = new QComboBox(this);
        lists[i]->setObjectName(prefix + QLatin1String(parts[i]));
    }
    return lists;
}

ScheduleForm ScheduleWindow::form() const
{
    ScheduleForm f;
    f.frequency = m_frequency->currentText();
    f.start = timeOf(m_start);
    f.end = timeOf(m_end);
    f.recipient = m_recipient->checkedId() < 0 ? Recipient::None : Recipient(m_recipient->checkedId());
    f.number = m_number->text();
    f.group = m_groups->currentText();
    f.connection = m_connection->currentText();
    f.message = m_message->toPlainText();
    return f;
}

void ScheduleWindow::render(const ScheduleForm &f)
{
    const QSignalBlocker quiet(m_recipient);
    if (f.recipient == Recipient::None) {
        m_recipient->setExclusive(false);
        for (QAbstractButton *button : m_recipient->buttons())
            button->setChecked(false);
        m_recipient->setExclusive(true);
    } else {
        m_recipient->button(int(f.recipient))->setChecked(true);
    }
    m_number->setEnabled(f.numberEnabled());
    m_groups->setEnabled(f.groupEnabled());
}

void ScheduleWindow::showLimit(const LengthLimit &limit)
{
    m_limitValue = limit;
    m_message->setLimit(limit);
    showCount();
}

void ScheduleWindow::showCount()
{
    const QString text = m_message->toPlainText();
    m_length->setText(m_limitValue.counter(text));
    m_limit->setText(m_limitValue.label(text));
}

void ScheduleWindow::focus(Scheduler::Field field)
{
    QWidget *target = nullptr;
    switch (field) {
    case Scheduler::Field::None: break;
    case Scheduler::Field::StartDate: target = m_start[0]; break;
    case Scheduler::Field::EndDate: target = m_end[0]; break;
    case Scheduler::Field::Recipient: target = m_recipient->buttons().first(); break;
    case Scheduler::Field::NumberBox: target = m_number; break;
    case Scheduler::Field::GroupList: target = m_groups; break;
    case Scheduler::Field::Connection: target = m_connection; break;
    case Scheduler::Field::MessageBox: target = m_message; break;
    }
    if (target && target->isEnabled())
        target->setFocus();
}

bool ScheduleWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Leaving the number box for another control of this screen; a box or
    // another window taking the focus is not leaving it.
    if (watched == m_number && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            const Scheduler::Outcome outcome = m_scheduler.leaveNumber(form());
            render(outcome.form);
            focus(outcome.focus);
        }
    }
    return QWidget::eventFilter(watched, event);
}

QCoro::Task<void> ScheduleWindow::save()
{
    QPointer<ScheduleWindow> self(this);
    m_save->setEnabled(false);
    const Scheduler::SaveOutcome outcome = co_await m_scheduler.save(form(), m_progress);
    if (!self)
        co_return;
    m_save->setEnabled(true);
    focus(outcome.focus);
}

} // namespace tavsms
