#pragma once

#include "Templates.h"

#include <QAbstractTableModel>
#include <QCoroTask>

namespace tavsms {

class DbError;
class Prompter;

// The template grid: every stored template, one row each in the order they
// were added, then an empty new-row line. Each committed cell is written to
// `templates` at once: typing into the new-row line adds a template (the
// other cell empty) and a fresh new-row line appears below it; changing a
// cell updates its template; removeTemplate() asks and deletes.
//
// When a write fails, or the template was deleted meanwhile from elsewhere,
// the operator is told and the grid shows again what is stored (after a
// failed cell, once the event loop turns: the view is still committing).
class TemplateTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { TitleColumn, TextColumn, ColumnCount };

    TemplateTableModel(Database &db, Prompter &prompter, QObject *parent = nullptr);

    // Reads the templates again. When they cannot be read the operator is
    // told and the grid holds only the new-row line.
    void reload();

    // The row of the new-row line (always the last).
    int newRow() const { return int(m_rows.size()); }
    bool isNewRow(int row) const { return row == newRow(); }
    // The template shown on a row other than the new-row line.
    const Template &templateAt(int row) const { return m_rows.at(row); }

    // The DELETE key on a row: asks (Cancel offered first), then deletes the
    // template. True when it is gone.
    QCoro::Task<bool> removeTemplate(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Commits one cell: adds (new-row line) or updates its template.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    bool addFrom(int column, const QString &value);
    bool update(int row, int column, const QString &value);
    // Reloads what is stored; a failing read leaves only the new-row line
    // and returns why.
    QString showStored();
    void showStoredSoon();
    void tellFailure(const QString &what, const DbError &error);
    int rowOf(qint64 id) const;

    Templates m_templates;
    Prompter &m_prompter;
    QList<Template> m_rows;
};

} // namespace tavsms
