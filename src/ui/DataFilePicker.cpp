#include "DataFilePicker.h"

#include "TableFile.h"
#include "TableFileModel.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

namespace tavsms {

DataFilePicker::DataFilePicker(QWidget *parent)
    : QWidget(parent)
{
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("txtPath"));
    m_path->setReadOnly(true);
    auto *browse = new QPushButton(QStringLiteral("Browse"), this);
    browse->setObjectName(QStringLiteral("cmdBrowse"));
    auto *import = new QPushButton(QStringLiteral("Import Data"), this);
    import->setObjectName(QStringLiteral("cmdImport"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_path, 1);
    row->addWidget(browse);
    row->addWidget(import);

    // The grid belongs to the screen's layout; the screen takes it from here.
    m_model = new TableFileModel(this);
    m_grid = new QTableView(parent);
    m_grid->setObjectName(QStringLiteral("grdData"));
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);

    connect(browse, &QPushButton::clicked, this, &DataFilePicker::browse);
    connect(import, &QPushButton::clicked, this, &DataFilePicker::importClicked);
}

QString DataFilePicker::path() const
{
    return m_path->text();
}

void DataFilePicker::showFile(std::shared_ptr<const TableFile> file)
{
    m_model->setFile(std::move(file));
}

void DataFilePicker::browse()
{
    auto *dialog = new QFileDialog(this, QStringLiteral("Open"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilters({QStringLiteral("Excel Docs (*.xls)"), QStringLiteral("Text Files (*.txt)")});
    connect(dialog, &QFileDialog::fileSelected, m_path, &QLineEdit::setText);
    dialog->open();
}

} // namespace tavsms
