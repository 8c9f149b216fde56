#include "TextTableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <csv.h>

namespace tavsms {

namespace {

const QString kTextReader = QStringLiteral("Text reader");
// What libcsv hands back, record by record.
struct Records
{
    QList<QStringList> records;
    QStringList current;

    static void field(void *data, size_t length, void *self)
    {
        static_cast<Records *>(self)->current << QString::fromUtf8(static_cast<const char *>(data), qsizetype(length));
    }
    static void end(int, void *self)
    {
        auto *r = static_cast<Records *>(self);
        r->records.append(std::move(r->current));
        r->current.clear();
    }
};

// Values are not trimmed: a blank is part of the value.
int noBlanks(unsigned char)
{
    return 0;
}

} // namespace

TextTableFile::TextTableFile(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw TableFileError(kTextReader, QStringLiteral("The file %1 does not exist.").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw TableFileError(kTextReader, QStringLiteral("The file %1 cannot be read: %2").arg(path, file.errorString()));
    parse(file.readAll(), name);
}

TextTableFile::TextTableFile(const QByteArray &content, const QString &name)
{
    parse(content, name);
}

void TextTableFile::parse(QByteArray content, const QString &name)
{
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    if (content.contains('\0'))
        throw TableFileError(kTextReader, QStringLiteral("%1 is not a text file.").arg(name));
    {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString decoded = utf8(content);
        if (utf8.hasError())
            throw TableFileError(kTextReader, QStringLiteral("%1 is not UTF-8 text.").arg(name));
    }

    csv_parser parser;
    if (csv_init(&parser, 0) != 0)
        throw TableFileError(kTextReader, QStringLiteral("The comma-separated reader could not start."));
    csv_set_space_func(&parser, noBlanks);
    Records records;
    const size_t parsed = csv_parse(&parser, content.constData(), size_t(content.size()), Records::field,
                                    Records::end, &records);
    const bool failed = parsed != size_t(content.size()) || csv_fini(&parser, Records::field, Records::end, &records) != 0;
    const QString why = QString::fromUtf8(csv_strerror(csv_error(&parser)));
    csv_free(&parser);
    if (failed)
        throw TableFileError(kTextReader, QStringLiteral("%1 cannot be read: %2").arg(name, why));
    if (records.records.isEmpty())
        throw TableFileError(kTextReader, QStringLiteral("%1 is empty: it has no column names.").arg(name));

    m_columns = records.records.takeFirst();
    m_rows = std::move(records.records);
    for (QStringList &r : m_rows)
        r.resize(m_columns.size());
}

QStringList TextTableFile::row(qint64 index) const
{
    if (index < 0 || index >= m_rows.size())
        throw TableFileError(kTextReader, QStringLiteral("Line %1 is past the end of the file.").arg(index + 2));
    return m_rows.at(index);
}

QString TextTableFile::source() const
{
    return kTextReader;
}

} // namespace tavsms
