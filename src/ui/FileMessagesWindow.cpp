#include "FileMessagesWindow.h"

#include "DataFilePicker.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tavsms {

FileMessagesWindow::FileMessagesWindow(Store &store, const AppState &state, QWidget *parent)
    : QWidget(parent)
    , m_logic(store, state, m_prompter, m_progress)
{
    setObjectName(QStringLiteral("frmDynaExcel"));
    setWindowTitle(QStringLiteral("Dynamic SMS from Excel"));

    m_file = new DataFilePicker(this);
    m_modems = new QComboBox(this);
    m_modems->setObjectName(QStringLiteral("cboModem"));
    m_modems->addItems(m_logic.load());
    m_send = new QPushButton(QStringLiteral("Send SMS"), this);
    m_send->setObjectName(QStringLiteral("cmdSend"));

    auto *modemRow = new QHBoxLayout;
    modemRow->addWidget(new QLabel(QStringLiteral("Select Modem"), this));
    modemRow->addWidget(m_modems, 1);
    modemRow->addWidget(m_send);
    auto *hint = new QLabel(
        QStringLiteral("You can set your specific modem for delivery but we do not recommend you to change it."), this);
    hint->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_file);
    layout->addWidget(new QLabel(QStringLiteral("Format should be in format like Phone, Message in Excel Sheet"), this));
    layout->addWidget(m_file->grid(), 1);
    layout->addLayout(modemRow);
    layout->addWidget(hint);

    connect(m_file, &DataFilePicker::importClicked, this, [this] {
        if (std::shared_ptr<const TableFile> file = m_logic.importData(m_file->path()))
            m_file->showFile(std::move(file));
    });
    connect(m_send, &QPushButton::clicked, this, &FileMessagesWindow::send);
    resize(640, 440);
}

QCoro::Task<void> FileMessagesWindow::send()
{
    QPointer<FileMessagesWindow> self(this);
    m_send->setEnabled(false); // one send at a time
    co_await m_logic.send(m_file->path(), m_modems->currentText());
    if (self)
        m_send->setEnabled(true);
}

} // namespace tavsms
