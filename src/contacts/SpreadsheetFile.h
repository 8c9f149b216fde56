#pragma once

#include "TableFile.h"

namespace tavsms {

// The worksheet "Sheet1" of an Excel 97-2003 workbook (.xls), wherever it is
// among the sheets, read through FreeXL. The workbook stays open; rows are
// read as they are asked for. An integral number reads as its plain digits
// (919876543210, never 9.19877e+11), dates as their text (2024-03-01),
// empty cells as empty text.
class SpreadsheetFile : public TableFile
{
public:
    explicit SpreadsheetFile(const QString &path); // throws TableFileError
    ~SpreadsheetFile() override;

    QStringList columns() const override { return m_columns; }
    qint64 rowCount() const override { return m_rows; }
    QStringList row(qint64 index) const override;

    QString source() const override;

private:
    QStringList readRow(unsigned row) const;

    const void *m_handle = nullptr;
    unsigned m_columnCount = 0;
    qint64 m_rows = 0;
    QStringList m_columns;
};

} // namespace tavsms
