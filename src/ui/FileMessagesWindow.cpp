#include "FileMessagesWindow.h"

#include "DataFileDialog.h"
#include "TableFileModel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
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

    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("txtPath"));
    m_path->setReadOnly(true);
    auto *browse = new QPushButton(QStringLiteral("Browse"), this);
    browse->setObjectName(QStringLiteral("cmdBrowse"));
    auto *import = new QPushButton(QStringLiteral("Import Data"), this);
    import->setObjectName(QStringLiteral("cmdImport"));
    m_model = new TableFileModel(this);
    auto *grid = new QTableView(this);
    grid->setObjectName(QStringLiteral("grdData"));
    grid->setModel(m_model);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->horizontalHeader()->setStretchLastSection(true);
    m_modems = new QComboBox(this);
    m_modems->setObjectName(QStringLiteral("cboModem"));
    m_modems->addItems(m_logic.load());
    m_send = new QPushButton(QStringLiteral("Send SMS"), this);
    m_send->setObjectName(QStringLiteral("cmdSend"));

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_path, 1);
    fileRow->addWidget(browse);
    fileRow->addWidget(import);
    auto *modemRow = new QHBoxLayout;
    modemRow->addWidget(new QLabel(QStringLiteral("Select Modem"), this));
    modemRow->addWidget(m_modems, 1);
    modemRow->addWidget(m_send);
    auto *hint = new QLabel(
        QStringLiteral("You can set your specific modem for delivery but we do not recommend you to change it."), this);
    hint->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(new QLabel(QStringLiteral("Format should be in format like Phone, Message in Excel Sheet"), this));
    layout->addWidget(grid, 1);
    layout->addLayout(modemRow);
    layout->addWidget(hint);

    connect(browse, &QPushButton::clicked, this, [this] { browseForDataFile(this, m_path); });
    connect(import, &QPushButton::clicked, this, [this] {
        if (std::shared_ptr<const TableFile> file = m_logic.importData(m_path->text()))
            m_model->setFile(std::move(file));
    });
    connect(m_send, &QPushButton::clicked, this, &FileMessagesWindow::send);
    resize(640, 440);
}

QCoro::Task<void> FileMessagesWindow::send()
{
    QPointer<FileMessagesWindow> self(this);
    m_send->setEnabled(false); // one send at a time
    co_await m_logic.send(m_path->text(), m_modems->currentText());
    if (self)
        m_send->setEnabled(true);
}

} // namespace tavsms
