#include "MergedMessagesWindow.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tavsms {

MergedMessagesWindow::MergedMessagesWindow(Store &store, const AppState &state, QWidget *parent)
    : QWidget(parent)
    , m_logic(store, state, m_prompter, m_progress)
{
    setObjectName(QStringLiteral("frmDynaShowGrp"));
    setWindowTitle(QStringLiteral("Show Dynamic Merged Content"));

    m_grid = new QTableWidget(0, 2, this);
    m_grid->setObjectName(QStringLiteral("grdMerged"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("Mobile Number"), QStringLiteral("Merged Message")});
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setWordWrap(true);
    m_modems = new QComboBox(this);
    m_modems->setObjectName(QStringLiteral("cboModem"));
    m_modems->addItems(m_logic.load());
    m_send = new QPushButton(QStringLiteral("Send SMS"), this);
    m_send->setObjectName(QStringLiteral("cmdSend"));

    auto *hint = new QLabel(
        QStringLiteral("You can set your specific modem for delivery but we do not recommend you to change it."), this);
    hint->setWordWrap(true);
    auto *note = new QLabel(QStringLiteral("Only first 130 characters will be sent in case of CDMA mobile and 160 in "
                                           "case of GSM phone/modem."),
                            this);
    note->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    auto *modemRow = new QHBoxLayout;
    modemRow->addWidget(new QLabel(QStringLiteral("Select Modem"), this));
    modemRow->addWidget(m_modems, 1);
    layout->addLayout(modemRow);
    layout->addWidget(hint);
    layout->addWidget(note);
    layout->addWidget(m_send, 0, Qt::AlignRight);

    connect(m_send, &QPushButton::clicked, this, &MergedMessagesWindow::send);
    resize(640, 440);
}

void MergedMessagesWindow::setRows(const QList<MergedRow> &rows)
{
    m_rows = rows;
    m_grid->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        m_grid->setItem(i, 0, new QTableWidgetItem(rows.at(i).number));
        m_grid->setItem(i, 1, new QTableWidgetItem(rows.at(i).message));
    }
    m_grid->resizeColumnToContents(0);
    m_grid->resizeRowsToContents();
}

QCoro::Task<void> MergedMessagesWindow::send()
{
    QPointer<MergedMessagesWindow> self(this);
    m_send->setEnabled(false);
    co_await m_logic.send(m_rows, m_modems->currentText());
    if (self)
        m_send->setEnabled(true);
}

} // namespace tavsms
