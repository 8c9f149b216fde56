#include "ImportWindow.h"

#include "DataFilePicker.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tavsms {

ImportWindow::ImportWindow(Database &db, QWidget *parent, int chunkSize)
    : QWidget(parent)
    , m_logic(db, m_prompter, m_progress, chunkSize)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("Import Data from Excel and Text Files"));

    m_file = new DataFilePicker(this);
    m_groups = new QComboBox(this);
    m_groups->setObjectName(QStringLiteral("cboGroup"));
    m_save = new QPushButton(QStringLiteral("Save"), this);
    m_save->setObjectName(QStringLiteral("cmdSave"));

    auto *notes = new QLabel(QStringLiteral("In excel file three columns should be Phone, Name, Email while all data "
                                            "should be in Sheet1. No other format will be supported.\n"
                                            "In case of text files only comma seprated values with first line values "
                                            "as Phone, Name, Email are supported."),
                             this);
    notes->setWordWrap(true);
    auto *saveBox = new QGroupBox(QStringLiteral("Save to the Group"), this);
    auto *saveRow = new QHBoxLayout(saveBox);
    saveRow->addWidget(m_groups, 1);
    saveRow->addWidget(m_save);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_file);
    layout->addWidget(notes);
    layout->addWidget(m_file->grid(), 1);
    layout->addWidget(saveBox);

    if (const std::optional<MemberImport::State> s = m_logic.load()) {
        m_groups->addItems(s->groups);
        m_groups->setCurrentIndex(0);
    }

    connect(m_file, &DataFilePicker::importClicked, this, &ImportWindow::importData);
    connect(m_save, &QPushButton::clicked, this, &ImportWindow::save);
    resize(640, 460);
}

void ImportWindow::importData()
{
    if (std::shared_ptr<const TableFile> file = m_logic.importData(m_file->path()))
        m_file->showFile(std::move(file));
}

QCoro::Task<void> ImportWindow::save()
{
    QPointer<ImportWindow> self(this);
    m_save->setEnabled(false); // one save at a time
    co_await m_logic.save(m_file->path(), m_groups->currentText());
    if (self)
        m_save->setEnabled(true);
}

} // namespace tavsms
