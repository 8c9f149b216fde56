#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

namespace tavsms {

// Why a data file could not be read: which reader (source) and what it found
// (description), ready for the screens' "File is not accessiable" message.
class TableFileError : public std::runtime_error
{
public:
    TableFileError(QString source, QString description);
    QString source() const { return m_source; }
    QString description() const { return m_description; }

    // The screens' message for a file that could not be used.
    static QString notAccessible(const QString &source, const QString &description);
    QString notAccessible() const { return notAccessible(m_source, m_description); }

private:
    QString m_source;
    QString m_description;
};

// A data file an operator hands in (members, dynamic messages): a header
// row of column names and rows of text cells. Every row has as many cells as
// there are columns (missing cells are empty, extra ones dropped).
class TableFile
{
public:
    virtual ~TableFile() = default;

    virtual QStringList columns() const = 0;
    virtual qint64 rowCount() const = 0;
    // Data row `index` (0 is the row after the header); throws TableFileError.
    virtual QStringList row(qint64 index) const = 0;

    // The reader, as error messages name it.
    virtual QString source() const = 0;

    // The index of the column of this name, compared in lower case; -1 if none.
    int columnIndex(const QString &name) const;

    // Opens a file by the extension of the trimmed path: "xls" (the
    // worksheet "Sheet1") or "txt" (comma-separated), any letter case.
    // Throws TableFileError for any other extension and for a file its
    // reader cannot read.
    static std::unique_ptr<TableFile> open(const QString &path);
};

} // namespace tavsms
