#include "TemplateTableModel.h"

#include "Database.h"
#include "Prompter.h"

namespace tavsms {

namespace {

const QString kTemplateErrorTitle = QStringLiteral("Error Occured");
const QString kShownAgain = QStringLiteral("The grid shows the templates as they are stored.");

QString &cellOf(Template &t, int column)
{
    return column == TemplateTableModel::TitleColumn ? t.title : t.text;
}

} // namespace

TemplateTableModel::TemplateTableModel(Database &db, Prompter &prompter, QObject *parent)
    : QAbstractTableModel(parent)
    , m_templates(db)
    , m_prompter(prompter)
{
}

QString TemplateTableModel::showStored()
{
    QString error;
    beginResetModel();
    try {
        m_rows = m_templates.all();
    } catch (const DbError &e) {
        m_rows.clear();
        error = e.message();
    }
    endResetModel();
    return error;
}

void TemplateTableModel::reload()
{
    const QString error = showStored();
    if (!error.isEmpty())
        m_prompter.critical(kTemplateErrorTitle, QStringLiteral("The templates could not be read: ") + error);
}

void TemplateTableModel::showStoredSoon()
{
    // A view commits a cell and then closes its editor: read the grid again
    // after that, not under the view that is committing.
    QMetaObject::invokeMethod(this, [this] { showStored(); }, Qt::QueuedConnection);
}

void TemplateTableModel::tellFailure(const QString &what, const DbError &error)
{
    m_prompter.critical(kTemplateErrorTitle,
                        QStringLiteral("The template could not be %1: %2\n\n").arg(what, error.message()) + kShownAgain);
}

int TemplateTableModel::rowOf(qint64 id) const
{
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows.at(row).id == id)
            return row;
    return -1;
}

int TemplateTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size()) + 1;
}

int TemplateTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TemplateTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    if (isNewRow(index.row()))
        return QString();
    Template shown = m_rows.at(index.row());
    return cellOf(shown, index.column());
}

QVariant TemplateTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section == TitleColumn ? QStringLiteral("Template Title") : QStringLiteral("Template Text");
    return isNewRow(section) ? QStringLiteral("*") : QString::number(section + 1);
}

Qt::ItemFlags TemplateTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool TemplateTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const QString typed = value.toString();
    return isNewRow(index.row()) ? addFrom(index.column(), typed) : update(index.row(), index.column(), typed);
}

bool TemplateTableModel::addFrom(int column, const QString &value)
{
    // Leaving the new-row line untouched adds nothing.
    if (value.isEmpty())
        return false;
    Template added;
    cellOf(added, column) = value;
    try {
        added.id = m_templates.add(added.title, added.text);
    } catch (const DbError &e) {
        tellFailure(QStringLiteral("added"), e);
        showStoredSoon();
        return false;
    }
    // The new-row line becomes the template and a fresh one opens below it,
    // so the cursor stays on the template being typed: first a row that
    // shows as empty as the line did, then what was typed into it.
    const int row = newRow();
    beginInsertRows({}, row + 1, row + 1);
    m_rows.append({added.id, {}, {}});
    endInsertRows();
    m_rows[row] = added;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    emit headerDataChanged(Qt::Vertical, row, row + 1);
    return true;
}

bool TemplateTableModel::update(int row, int column, const QString &value)
{
    Template changed = m_rows.at(row);
    if (cellOf(changed, column) == value)
        return true;
    cellOf(changed, column) = value;
    try {
        if (!m_templates.update(changed)) {
            m_prompter.exclamation(QStringLiteral("Template Not Found"),
                                   QStringLiteral("The template \"%1\" has been deleted meanwhile.\n\n")
                                           .arg(m_rows.at(row).title)
                                       + kShownAgain);
            showStoredSoon();
            return false;
        }
    } catch (const DbError &e) {
        tellFailure(QStringLiteral("saved"), e);
        showStoredSoon();
        return false;
    }
    m_rows[row] = changed;
    emit dataChanged(index(row, column), index(row, column));
    return true;
}

QCoro::Task<bool> TemplateTableModel::removeTemplate(int row)
{
    if (row < 0 || row >= newRow())
        co_return false;
    const Template doomed = m_rows.at(row);
    const QString named = doomed.title.isEmpty() ? QStringLiteral("this template")
                                                 : QStringLiteral("the template \"%1\"").arg(doomed.title);
    if (!co_await m_prompter.question(QStringLiteral("Delete Template"),
                                      QStringLiteral("Are you sure to delete %1?").arg(named), Prompter::Icon::Question,
                                      Prompter::Default::Cancel))
        co_return false;
    try {
        if (!m_templates.remove(doomed.id)) {
            // Deleted meanwhile from elsewhere: gone all the same.
            showStored();
            co_return true;
        }
    } catch (const DbError &e) {
        tellFailure(QStringLiteral("deleted"), e);
        showStored();
        co_return false;
    }
    // The grid may have changed while the question was open.
    const int now = rowOf(doomed.id);
    if (now >= 0) {
        beginRemoveRows({}, now, now);
        m_rows.removeAt(now);
        endRemoveRows();
        emit headerDataChanged(Qt::Vertical, now, newRow());
    }
    co_return true;
}

} // namespace tavsms
