#pragma once

#include <QAbstractTableModel>

#include <memory>

namespace tavsms {

class TableFile;

// A read-only grid over the rows of a data file, read as they are shown.
class TableFileModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TableFileModel(QObject *parent = nullptr);

    void setFile(std::shared_ptr<const TableFile> file);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const TableFile> m_file;
    QStringList m_columns;
    // The row read last: a view asks for its cells one by one.
    mutable qint64 m_cachedIndex = -1;
    mutable QStringList m_cachedRow;
};

} // namespace tavsms
