#pragma once

#include <QWidget>

#include <memory>

class QLineEdit;
class QTableView;

namespace tavsms {

class TableFile;
class TableFileModel;

// The file row of the import screens: a read-only path box, "Browse" (a
// file dialog for *.xls and *.txt that does not block) and "Import Data";
// and the grid that previews the file imported.
class DataFilePicker : public QWidget
{
    Q_OBJECT
public:
    explicit DataFilePicker(QWidget *parent = nullptr);

    QString path() const;
    void showFile(std::shared_ptr<const TableFile> file);
    // The preview grid, for the screen to place.
    QTableView *grid() const { return m_grid; }

Q_SIGNALS:
    void importClicked();

private:
    void browse();

    QLineEdit *m_path;
    TableFileModel *m_model;
    QTableView *m_grid;
};

} // namespace tavsms
