#include "SpreadsheetFile.h"

#include "CompoundFile.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <freexl.h>

#include <cmath>

namespace tavsms {

namespace {

const QString kExcelReader = QStringLiteral("Excel reader");
const char *const kSheet = "Sheet1";

QString cellText(const FreeXL_CellValue &cell)
{
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return QString::number(cell.value.int_value);
    case FREEXL_CELL_DOUBLE: {
        const double d = cell.value.double_value;
        // A phone number is a whole number: its digits, not 9.19877e+11.
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e18)
            return QString::number(d, 'f', 0);
        return QString::number(d, 'g', 15);
    }
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return QString::fromUtf8(cell.value.text_value);
    default:
        return {};
    }
}

// FreeXL reads a workbook kept in the container's mini stream (one under
// 4,096 bytes) from the mini stream's first byte on, as if it were stored
// there whole and in order. Stored anywhere else in it (after the document
// summary, say, as some programs write it) it is misread, and freexl_open
// answers FREEXL_OK with no handle. Such a workbook is copied into a
// container of its own, padded to 4,096 bytes as Excel pads it, so that it
// is read as an ordinary stream. Nothing for every other file.
std::unique_ptr<QTemporaryFile> readableCopy(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return nullptr;
    const uchar *mapped = file.map(0, file.size());
    if (!mapped)
        return nullptr;
    const std::optional<CompoundFile> container =
        CompoundFile::parse(QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), qsizetype(file.size())));
    if (!container)
        return nullptr;
    const std::optional<CompoundFile::Stream> workbook =
        container->stream({QStringLiteral("Workbook"), QStringLiteral("Book")});
    if (!workbook || !workbook->mini || container->startsTheMiniStreamInOrder(*workbook))
        return nullptr;
    const std::optional<QByteArray> data = container->read(*workbook);
    if (!data)
        return nullptr;
    const QByteArray copy =
        CompoundFile::build({{workbook->name, data->leftJustified(CompoundFile::kMiniStreamCutoff, '\0')}});
    auto temporary = std::make_unique<QTemporaryFile>();
    if (copy.isEmpty() || !temporary->open() || temporary->write(copy) != copy.size() || !temporary->flush())
        return nullptr;
    return temporary;
}

} // namespace

SpreadsheetFile::SpreadsheetFile(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    if (!QFileInfo(path).isFile())
        throw TableFileError(kExcelReader, QStringLiteral("The file %1 does not exist.").arg(path));
    if (!QFileInfo(path).isReadable())
        throw TableFileError(kExcelReader, QStringLiteral("The file %1 cannot be read.").arg(path));

    // FreeXL reads the whole workbook when it opens it: the copy may go after.
    const std::unique_ptr<QTemporaryFile> copy = readableCopy(path);
    const void *handle = nullptr;
    const int opened = freexl_open(QFile::encodeName(copy ? copy->fileName() : path).constData(), &handle);
    if (opened != FREEXL_OK || !handle) {
        if (handle)
            freexl_close(handle);
        // A container FreeXL took, but a workbook in it that it could not.
        if (opened == FREEXL_OK)
            throw TableFileError(kExcelReader, QStringLiteral("%1 cannot be read: the workbook in it is damaged or stored "
                                                         "in a way this program cannot read.")
                                              .arg(name));
        throw TableFileError(kExcelReader, QStringLiteral("%1 is not an Excel 97-2003 workbook (.xls).").arg(name));
    }
    m_handle = handle;
    try {
        unsigned sheets = 0;
        if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK)
            sheets = 0;
        int found = -1;
        for (unsigned i = 0; i < sheets && found < 0; ++i) {
            const char *sheetName = nullptr;
            if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(i), &sheetName) == FREEXL_OK
                && sheetName && QString::fromUtf8(sheetName) == QLatin1String(kSheet))
                found = int(i);
        }
        if (found < 0)
            throw TableFileError(kExcelReader, QStringLiteral("%1 has no worksheet named \"%2\".").arg(name, kSheet));

        unsigned rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(handle, static_cast<unsigned short>(found)) != FREEXL_OK
            || freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
            throw TableFileError(kExcelReader, QStringLiteral("The worksheet \"%1\" of %2 cannot be read.").arg(kSheet, name));
        if (rows == 0)
            throw TableFileError(kExcelReader,
                                 QStringLiteral("The worksheet \"%1\" of %2 is empty: it has no column names.")
                                     .arg(kSheet, name));
        m_columnCount = columns;
        m_rows = qint64(rows) - 1;
        m_columns = readRow(0);
    } catch (...) {
        freexl_close(handle);
        m_handle = nullptr;
        throw;
    }
}

SpreadsheetFile::~SpreadsheetFile()
{
    if (m_handle)
        freexl_close(m_handle);
}

QStringList SpreadsheetFile::row(qint64 index) const
{
    if (index < 0 || index >= m_rows)
        throw TableFileError(kExcelReader, QStringLiteral("Row %1 is past the end of the worksheet.").arg(index + 2));
    return readRow(unsigned(index + 1));
}

QStringList SpreadsheetFile::readRow(unsigned row) const
{
    QStringList cells;
    cells.reserve(m_columnCount);
    for (unsigned short c = 0; c < m_columnCount; ++c) {
        FreeXL_CellValue cell;
        if (freexl_get_cell_value(m_handle, row, c, &cell) != FREEXL_OK)
            throw TableFileError(kExcelReader, QStringLiteral("The cell at row %1, column %2 cannot be read.")
                                               .arg(row + 1)
                                               .arg(c + 1));
        cells << cellText(cell);
    }
    return cells;
}

QString SpreadsheetFile::source() const
{
    return kExcelReader;
}

} // namespace tavsms
