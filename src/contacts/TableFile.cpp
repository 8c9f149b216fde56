#include "TableFile.h"

#include "SpreadsheetFile.h"
#include "TextTableFile.h"

#include <QFileInfo>

namespace tavsms {

TableFileError::TableFileError(QString source, QString description)
    : std::runtime_error((source + QStringLiteral(" - ") + description).toStdString())
    , m_source(std::move(source))
    , m_description(std::move(description))
{
}

QString TableFileError::notAccessible(const QString &source, const QString &description)
{
    return QStringLiteral("Error Occured: File is not accessiable; ") + source + QStringLiteral(" - ") + description;
}

int TableFile::columnIndex(const QString &name) const
{
    const QString wanted = name.toLower();
    const QStringList names = columns();
    for (int i = 0; i < names.size(); ++i)
        if (names.at(i).toLower() == wanted)
            return i;
    return -1;
}

std::unique_ptr<TableFile> TableFile::open(const QString &path)
{
    const QString trimmed = path.trimmed();
    const QString type = trimmed.right(3).toLower();
    if (type == QLatin1String("xls"))
        return std::make_unique<SpreadsheetFile>(trimmed);
    if (type == QLatin1String("txt"))
        return std::make_unique<TextTableFile>(trimmed);
    throw TableFileError(QStringLiteral("Import"),
                         QStringLiteral("%1 is neither an Excel file (.xls) nor a text file (.txt).")
                             .arg(QFileInfo(trimmed).fileName()));
}

} // namespace tavsms
