#pragma once

#include "TableQuery.h"

#include <QAbstractTableModel>
#include <QByteArrayList>

namespace tavsms {

class Database;

// A read-only grid model over one SELECT. It holds only the rows fetched so
// far: a page when (re)loaded, the next page each time a view scrolls near
// the end. A page starts just after the last row fetched, by comparing the
// sort keys (keyset paging), so opening a huge table reads one page, a deep
// page costs what the first does when the first key is indexed, and rows
// added or deleted meanwhile neither repeat nor hide the rows around them.
//
// A database error while fetching stops the fetching; the rows already
// shown stay, fetchFailed() is emitted and errorText() holds the reason.
class QueryTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kDefaultPageSize = 200;
    // The stored value of a cell, before its column's formatter.
    static constexpr int StoredValueRole = Qt::UserRole;

    // Reads nothing yet: connect fetchFailed, then reload().
    QueryTableModel(Database &db, TableQuery query, int pageSize = kDefaultPageSize, QObject *parent = nullptr);

    // Forgets every row and fetches the first page again.
    void reload();

    QString errorText() const { return m_error; }
    int pageSize() const { return m_pageSize; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

Q_SIGNALS:
    void fetchFailed(const QString &message);

private:
    struct Page
    {
        QList<QVariantList> rows;
        QVariantList lastKeys;
    };
    Page readPage(); // throws DbError
    bool isLastPage(const Page &page) const;
    QString shownText(const TableColumn &column, const QVariant &value) const;

    Database &m_db;
    TableQuery m_query;
    int m_pageSize;
    // Built once: Database::prepare caches statements by their text.
    QString m_firstPageSql;
    QString m_nextPageSql;
    QByteArrayList m_afterNames; // the keyset parameters, one per sort key

    QList<QVariantList> m_rows; // stored values of the shown columns
    QVariantList m_lastKeys;    // the sort keys of the last row fetched
    bool m_atEnd = true;
    QString m_error;
};

} // namespace tavsms
