#pragma once

#include "TableFile.h"

#include <QList>

namespace tavsms {

// A comma-separated text file (.txt) in UTF-8, read through libcsv: the
// first line holds the column names. Quoted fields may hold commas, doubled
// quotes and line breaks; lines end in CR LF or LF; a byte-order mark is
// dropped; blanks around values are kept; an empty last field counts.
// The whole file is read when it is opened.
class TextTableFile : public TableFile
{
public:
    explicit TextTableFile(const QString &path); // throws TableFileError
    // The same from the file's bytes; `name` is what messages call it.
    TextTableFile(const QByteArray &content, const QString &name);

    QStringList columns() const override { return m_columns; }
    qint64 rowCount() const override { return m_rows.size(); }
    QStringList row(qint64 index) const override;

    QString source() const override;

private:
    void parse(QByteArray content, const QString &name);

    QStringList m_columns;
    QList<QStringList> m_rows;
};

} // namespace tavsms
