#pragma once

#include "DynamicMessages.h"
#include "MessageBoxPrompter.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPlainTextEdit;

namespace tavsms {

// frmDynamicSMS, "Dynamic SMS": a template and three columns; "Merge Data"
// hands the merged rows on (the frame shows them in frmDynaShowGrp).
class DynamicSmsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DynamicSmsWindow(Database &db, QWidget *parent = nullptr);

    DynamicForm form() const;

Q_SIGNALS:
    void merged(const QList<tavsms::MergedRow> &rows);

private:
    MessageBoxPrompter m_prompter{this};
    DynamicMessages m_logic;
    QComboBox *m_groups;
    QPlainTextEdit *m_template;
    QLabel *m_length;
    QPlainTextEdit *m_numbers;
    QPlainTextEdit *m_data2;
    QPlainTextEdit *m_data3;
};

} // namespace tavsms
