#pragma once

#include "MessageBoxPrompter.h"

#include <QCoroTask>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace tavsms {

class PhoneConsole;

// frmIncoming, "Backup Mobile SMS": the view of the phone console.
class PhoneConsoleWindow : public QWidget
{
    Q_OBJECT
public:
    explicit PhoneConsoleWindow(PhoneConsole &console, QWidget *parent = nullptr);

    // "Syncronize", as the button runs it.
    QCoro::Task<void> syncronize();

private:
    QString chosenType() const;

    MessageBoxPrompter m_prompter{this};
    PhoneConsole &m_console;
    QListWidget *m_types;
    QLineEdit *m_command;
    QPlainTextEdit *m_output;
    QPushButton *m_sync;
    QPushButton *m_send;
};

} // namespace tavsms
