#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace tavsms {

// The container of an Excel 97-2003 workbook (an OLE compound file): just
// enough to find a stream, read it, tell where it lies, and write a new
// container. Every offset and chain is checked against the file, so a
// damaged file is refused rather than read wildly.
class CompoundFile
{
public:
    // Streams under this size live in the "mini stream", in 64-byte pieces.
    static constexpr quint32 kMiniStreamCutoff = 4096;

    struct Stream
    {
        QString name;
        quint32 start = 0; // first sector, or first mini sector when `mini`
        quint64 size = 0;
        bool mini = false;
    };

    // Nothing when `bytes` are not a compound file, or one too damaged to read.
    static std::optional<CompoundFile> parse(QByteArray bytes);

    // The first stream with one of these names (compared without letter case).
    std::optional<Stream> stream(const QStringList &names) const;
    // Its bytes; nothing when its chain runs outside the file or loops.
    std::optional<QByteArray> read(const Stream &stream) const;
    // Whether a stream in the mini stream is its very first bytes, in order.
    bool startsTheMiniStreamInOrder(const Stream &stream) const;

    // A compound file (512-byte sectors) holding these streams in the root
    // storage, the small ones in the mini stream in the order given. Empty
    // when they come to more than some 7 MB.
    static QByteArray build(const QList<std::pair<QString, QByteArray>> &streams);

private:
    CompoundFile() = default;
    std::optional<QList<quint32>> chain(quint32 start, const QList<quint32> &table) const;
    std::optional<QByteArray> sectors(quint32 start) const;

    QByteArray m_bytes;
    quint32 m_sectorSize = 512;
    QList<quint32> m_fat;
    QList<quint32> m_miniFat;
    QByteArray m_miniStream;
    QList<Stream> m_streams;
};

} // namespace tavsms
