#pragma once

#include "Database.h"

#include <QList>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

namespace tavsms {

// The detail rows of a report, read one at a time from the start. Throws
// DbError when the rows come from a store that fails.
class ReportRows
{
public:
    virtual ~ReportRows() = default;
    // The shown texts of the next row; nothing after the last one.
    virtual std::optional<QStringList> next() = 0;
};

// Rows held in memory.
class ListRows : public ReportRows
{
public:
    explicit ListRows(QList<QStringList> rows) : m_rows(std::move(rows)) {}
    std::optional<QStringList> next() override;

private:
    QList<QStringList> m_rows;
    qsizetype m_next = 0;
};

// Rows of an open statement: column k of the result fills field k. A column
// with a formatter shows what it makes of the stored value; the others show
// the value as text.
class StatementRows : public ReportRows
{
public:
    using Formatter = std::function<QString(const QVariant &)>;
    StatementRows(Statement statement, int fields, QList<Formatter> formatters = {});
    std::optional<QStringList> next() override;

private:
    Statement m_statement;
    int m_fields;
    QList<Formatter> m_formatters;
};

} // namespace tavsms
