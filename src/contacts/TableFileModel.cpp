#include "TableFileModel.h"

#include "TableFile.h"

namespace tavsms {

TableFileModel::TableFileModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void TableFileModel::setFile(std::shared_ptr<const TableFile> file)
{
    beginResetModel();
    m_file = std::move(file);
    m_columns = m_file ? m_file->columns() : QStringList();
    m_cachedIndex = -1;
    m_cachedRow.clear();
    endResetModel();
}

int TableFileModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_file ? 0 : int(m_file->rowCount());
}

int TableFileModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TableFileModel::data(const QModelIndex &index, int role) const
{
    if (!m_file || !index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    if (index.row() != m_cachedIndex) {
        try {
            m_cachedRow = m_file->row(index.row());
        } catch (const TableFileError &) {
            m_cachedRow.clear(); // a row that cannot be read shows empty
        }
        m_cachedIndex = index.row();
    }
    return m_cachedRow.value(index.column());
}

QVariant TableFileModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_columns.value(section);
    return section + 1;
}

} // namespace tavsms
