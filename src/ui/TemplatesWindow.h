#pragma once

#include "MessageBoxPrompter.h"

#include <QWidget>

class QTableView;

namespace tavsms {

class Database;
class TemplateTableModel;

// frmTemplate, "Manage Templates": the templates in an editable grid, each
// committed change written at once; DELETE removes the current row after
// asking, * jumps to the new-row line; "Scroll Up" / "Scroll Down" move the
// grid by one row.
class TemplatesWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TemplatesWindow(Database &db, QWidget *parent = nullptr);

    QTableView *grid() const { return m_grid; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void deleteCurrentRow();
    void goToNewRow();

    MessageBoxPrompter m_prompter{this};
    TemplateTableModel *m_model;
    QTableView *m_grid;
};

} // namespace tavsms
