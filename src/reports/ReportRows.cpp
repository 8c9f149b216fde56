#include "ReportRows.h"

namespace tavsms {

std::optional<QStringList> ListRows::next()
{
    if (m_next >= m_rows.size())
        return std::nullopt;
    return m_rows.at(m_next++);
}

StatementRows::StatementRows(Statement statement, int fields, QList<Formatter> formatters)
    : m_statement(std::move(statement))
    , m_fields(fields)
    , m_formatters(std::move(formatters))
{
}

std::optional<QStringList> StatementRows::next()
{
    if (!m_statement.next())
        return std::nullopt;
    QStringList cells;
    cells.reserve(m_fields);
    for (int k = 0; k < m_fields; ++k) {
        const QVariant value = m_statement.value(k);
        const Formatter format = k < m_formatters.size() ? m_formatters.at(k) : Formatter{};
        cells << (format ? format(value) : value.toString());
    }
    return cells;
}

} // namespace tavsms
