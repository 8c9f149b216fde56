#include "PhoneConsoleWindow.h"

#include "PhoneConsole.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

namespace tavsms {

PhoneConsoleWindow::PhoneConsoleWindow(PhoneConsole &console, QWidget *parent)
    : QWidget(parent)
    , m_console(console)
    , m_types(new QListWidget(this))
    , m_command(new QLineEdit(this))
    , m_output(new QPlainTextEdit(this))
    , m_sync(new QPushButton(QStringLiteral("Syncronize"), this))
    , m_send(new QPushButton(QStringLiteral("Send Command"), this))
{
    setObjectName(QStringLiteral("frmIncoming"));
    setWindowTitle(QStringLiteral("Backup Mobile SMS"));
    m_types->setObjectName(QStringLiteral("lstMsgType"));
    m_types->addItems(PhoneConsole::messageTypes());
    m_types->setCurrentRow(-1);
    m_types->setMaximumHeight(60);
    m_command->setObjectName(QStringLiteral("txtCommand"));
    m_command->setPlaceholderText(QStringLiteral("AT command, e.g. AT+CMGL=0"));
    m_output->setObjectName(QStringLiteral("txtOutput"));
    m_output->setReadOnly(true);
    m_output->setPlainText(console.output());
    m_sync->setObjectName(QStringLiteral("cmdSync"));
    m_send->setObjectName(QStringLiteral("cmdSend"));
    auto *clear = new QPushButton(QStringLiteral("Clear Screen"), this);
    clear->setObjectName(QStringLiteral("cmdClear"));

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_types, 0, 0);
    layout->addWidget(m_sync, 0, 1);
    layout->addWidget(m_command, 1, 0);
    layout->addWidget(m_send, 1, 1);
    layout->addWidget(m_output, 2, 0, 1, 2);
    layout->addWidget(clear, 3, 1);
    resize(520, 420);

    connect(m_sync, &QPushButton::clicked, this, [this] { syncronize(); });
    connect(m_send, &QPushButton::clicked, this, [this] { m_console.sendCommand(m_command->text()); });
    connect(clear, &QPushButton::clicked, &m_console, &PhoneConsole::clearScreen);
    connect(&m_console, &PhoneConsole::outputChanged, m_output, &QPlainTextEdit::setPlainText);
    connect(&m_console, &PhoneConsole::busyChanged, this, [this](bool busy) {
        m_sync->setEnabled(!busy);
        m_send->setEnabled(!busy);
    });
}

QCoro::Task<void> PhoneConsoleWindow::syncronize()
{
    QPointer<PhoneConsoleWindow> self(this);
    const PhoneConsole::SyncOutcome outcome = co_await m_console.syncronize(chosenType());
    if (self) // closed meanwhile: nobody to tell
        m_prompter.show(outcome.notice);
}

QString PhoneConsoleWindow::chosenType() const
{
    const QListWidgetItem *item = m_types->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

} // namespace tavsms
