#include "QueryTableModel.h"

#include "Database.h"

namespace tavsms {

namespace {

const char kPageSizeName[] = ":page_size";

QString afterParameter(int key)
{
    return QStringLiteral(":after%1").arg(key);
}

// Rows whose key `k` comes after the value `:afterN` in the grid's order.
// SQLite puts NULL before every value, so it comes first going up and last
// going down.
QString keyAfter(const TableSortKey &key, const QString &after)
{
    const QString &k = key.expression;
    const bool up = key.order == Qt::AscendingOrder;
    if (!key.mayBeNull)
        return QStringLiteral("%1 %2 %3").arg(k, up ? QStringLiteral(">") : QStringLiteral("<"), after);
    if (up)
        return QStringLiteral("(%1 > %2 OR (%2 IS NULL AND %1 IS NOT NULL))").arg(k, after);
    return QStringLiteral("(%1 < %2 OR (%1 IS NULL AND %2 IS NOT NULL))").arg(k, after);
}

QString keySame(const TableSortKey &key, const QString &after)
{
    return QStringLiteral("%1 %2 %3").arg(key.expression, key.mayBeNull ? QStringLiteral("IS") : QStringLiteral("="),
                                          after);
}

// The rows after the last one fetched: k1 after, or k1 the same and k2
// after, and so on (written out, since the engine's row values are not to
// be relied on). The first key also gets a plain bound of its own, which
// SQLite can read as a range of an index on it.
QString keysetCondition(const QList<TableSortKey> &keys)
{
    QString condition = keyAfter(keys.last(), afterParameter(int(keys.size()) - 1));
    for (int i = int(keys.size()) - 2; i >= 0; --i)
        condition = QStringLiteral("(%1 OR (%2 AND %3))")
                        .arg(keyAfter(keys.at(i), afterParameter(i)), keySame(keys.at(i), afterParameter(i)),
                             condition);
    const TableSortKey &first = keys.first();
    if (!first.mayBeNull && keys.size() > 1)
        condition = QStringLiteral("%1 %2 %3 AND %4")
                        .arg(first.expression,
                             first.order == Qt::AscendingOrder ? QStringLiteral(">=") : QStringLiteral("<="),
                             afterParameter(0), condition);
    return condition;
}

// `nullsAsSqlite`: NULL sorts before every value, as SQLite has it and the
// keyset conditions above expect; PostgreSQL must be told so.
QString pageSql(const TableQuery &query, const QString &keyset, bool nullsAsSqlite)
{
    QStringList selected;
    for (const TableColumn &column : query.columns)
        selected << column.expression;
    QStringList order;
    for (const TableSortKey &key : query.sortKeys) {
        selected << key.expression;
        const bool up = key.order == Qt::AscendingOrder;
        order << key.expression + (up ? QStringLiteral(" ASC") : QStringLiteral(" DESC"))
                + (nullsAsSqlite && key.mayBeNull ? (up ? QStringLiteral(" NULLS FIRST") : QStringLiteral(" NULLS LAST"))
                                                  : QString());
    }
    QStringList conditions;
    if (!query.where.trimmed().isEmpty())
        conditions << QLatin1Char('(') + query.where + QLatin1Char(')');
    if (!keyset.isEmpty())
        conditions << keyset;
    QString sql = QStringLiteral("SELECT ") + selected.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + query.from;
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    if (!order.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    return sql + QStringLiteral(" LIMIT ") + QLatin1String(kPageSizeName);
}

} // namespace

QueryTableModel::QueryTableModel(Database &db, TableQuery query, int pageSize, QObject *parent)
    : QAbstractTableModel(parent)
    , m_db(db)
    , m_query(std::move(query))
    , m_pageSize(qMax(1, pageSize))
{
    // Without keys there is no "after the last row": such a model shows its
    // first page only.
    Q_ASSERT_X(!m_query.sortKeys.isEmpty(), "QueryTableModel", "a query needs sort keys, the last one unique");
    const bool nullsFirst = db.kind() == Database::Kind::Postgres;
    m_firstPageSql = pageSql(m_query, {}, nullsFirst);
    if (!m_query.sortKeys.isEmpty())
        m_nextPageSql = pageSql(m_query, keysetCondition(m_query.sortKeys), nullsFirst);
    for (int i = 0; i < m_query.sortKeys.size(); ++i)
        m_afterNames << afterParameter(i).toLatin1();
}

QueryTableModel::Page QueryTableModel::readPage()
{
    const bool first = m_rows.isEmpty();
    Statement st = m_db.prepare(first ? m_firstPageSql : m_nextPageSql);
    for (int i = 0; i < m_query.parameters.size(); ++i)
        st.bind(i + 1, m_query.parameters.at(i));
    if (!first) {
        for (int i = 0; i < m_afterNames.size(); ++i)
            st.bind(m_afterNames.at(i).constData(), m_lastKeys.at(i));
    }
    st.bind(kPageSizeName, m_pageSize);

    const int shown = int(m_query.columns.size());
    const int keys = int(m_query.sortKeys.size());
    // Read to the end, so that no statement stays open (holding a read
    // snapshot) while the event loop runs between pages.
    Page page;
    while (st.next()) {
        QVariantList row;
        row.reserve(shown);
        for (int c = 0; c < shown; ++c)
            row << st.value(c);
        page.rows << row;
        // Only the last row's keys are kept; which row is last shows at the end.
        page.lastKeys.clear();
        for (int k = 0; k < keys; ++k)
            page.lastKeys << st.value(shown + k);
    }
    return page;
}

bool QueryTableModel::isLastPage(const Page &page) const
{
    // A short page is the last one; a full one may be followed by an empty one.
    return page.rows.size() < m_pageSize || m_nextPageSql.isEmpty();
}

void QueryTableModel::reload()
{
    beginResetModel();
    m_rows.clear();
    m_lastKeys.clear();
    m_error.clear();
    m_atEnd = false;
    try {
        Page page = readPage();
        m_atEnd = isLastPage(page);
        m_lastKeys = std::move(page.lastKeys);
        m_rows = std::move(page.rows);
    } catch (const DbError &e) {
        m_error = e.message();
        m_atEnd = true;
    }
    endResetModel();
    if (!m_error.isEmpty())
        Q_EMIT fetchFailed(m_error);
}

bool QueryTableModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_atEnd;
}

void QueryTableModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    Page page;
    try {
        page = readPage();
    } catch (const DbError &e) {
        m_error = e.message();
        m_atEnd = true;
        Q_EMIT fetchFailed(m_error);
        return;
    }
    m_atEnd = isLastPage(page);
    if (page.rows.isEmpty())
        return;
    m_lastKeys = std::move(page.lastKeys);
    const int from = int(m_rows.size());
    beginInsertRows({}, from, from + int(page.rows.size()) - 1);
    m_rows.append(std::move(page.rows));
    endInsertRows();
}

int QueryTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int QueryTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_query.columns.size());
}

QString QueryTableModel::shownText(const TableColumn &column, const QVariant &value) const
{
    return column.format ? column.format(value) : value.toString();
}

QVariant QueryTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const TableColumn &column = m_query.columns.at(index.column());
    const QVariant &value = m_rows.at(index.row()).at(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return shownText(column, value);
    case Qt::ToolTipRole:
        return column.wholeTextTip ? QVariant(shownText(column, value)) : QVariant();
    case Qt::TextAlignmentRole:
        return int(column.alignment);
    case StoredValueRole:
        return value;
    default:
        return {};
    }
}

QVariant QueryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_query.columns.size())
        return m_query.columns.at(section).caption;
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace tavsms
