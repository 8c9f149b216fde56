#pragma once

#include "MessageBoxPrompter.h"
#include "ProgressBox.h"
#include "Scheduler.h"

#include <QCoroTask>
#include <QWidget>

#include <array>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavsms {

class LimitedTextEdit;

// frmSch, "Schedule Message Delivery": shows the fields of Scheduler and
// hands it each of the operator's actions with the form as it stands.
class ScheduleWindow : public QWidget
{
    Q_OBJECT
public:
    ScheduleWindow(Database &db, MessageQueue &queue, const AppState &state, QWidget *parent = nullptr);

    // The form as the operator has left it.
    ScheduleForm form() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using TimeLists = std::array<QComboBox *, 5>; // day, month, year, hour, minute

    TimeLists addTimeLists(const QString &prefix);
    void render(const ScheduleForm &form);
    void focus(Scheduler::Field field);
    void showLimit(const LengthLimit &limit);
    void showCount();
    QCoro::Task<void> save();

    MessageBoxPrompter m_prompter{this};
    ProgressBox m_progress{this};
    Scheduler m_scheduler; // made with m_prompter; goes first, so a save stops before the rest does
    QComboBox *m_frequency;
    QLabel *m_count;
    QLabel *m_next;
    TimeLists m_start;
    TimeLists m_end;
    QButtonGroup *m_recipient;
    QLineEdit *m_number;
    QComboBox *m_groups;
    QComboBox *m_connection;
    LimitedTextEdit *m_message;
    QLabel *m_length;
    QLabel *m_limit;
    LengthLimit m_limitValue;
    QPushButton *m_save;
};

} // namespace tavsms
