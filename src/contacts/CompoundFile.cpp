#include "CompoundFile.h"

#include <QtEndian>

#include <algorithm>
#include <numeric>

namespace tavsms {

namespace {

constexpr quint32 kFree = 0xFFFFFFFF;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSector = 0xFFFFFFFD;
constexpr quint32 kNoEntry = 0xFFFFFFFF;
constexpr int kHeaderSize = 512;
constexpr int kEntrySize = 128;
constexpr int kMiniSectorSize = 64;
constexpr int kHeaderFatSlots = 109;
const QByteArray kSignature = QByteArray::fromHex("D0CF11E0A1B11AE1");

quint32 u32(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

quint16 u16(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

void put32(QByteArray &bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

void put16(QByteArray &bytes, qsizetype at, quint16 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

QList<quint32> words(const QByteArray &bytes)
{
    QList<quint32> out;
    out.reserve(bytes.size() / 4);
    for (qsizetype i = 0; i + 4 <= bytes.size(); i += 4)
        out << u32(bytes, i);
    return out;
}

} // namespace

std::optional<CompoundFile> CompoundFile::parse(QByteArray bytes)
{
    if (bytes.size() < kHeaderSize || !bytes.startsWith(kSignature))
        return std::nullopt;
    CompoundFile file;
    file.m_bytes = std::move(bytes);
    const QByteArray &b = file.m_bytes;
    const quint16 shift = u16(b, 0x1E);
    if (shift != 9 && shift != 12)
        return std::nullopt;
    file.m_sectorSize = 1u << shift;

    // The FAT's own sectors: 109 in the header, the rest in a DIFAT chain.
    QList<quint32> fatSectors;
    const quint32 fatCount = u32(b, 0x2C);
    for (int i = 0; i < kHeaderFatSlots && quint32(fatSectors.size()) < fatCount; ++i)
        fatSectors << u32(b, 0x4C + 4 * i);
    quint32 difat = u32(b, 0x44);
    const qsizetype sectorCount = (b.size() - kHeaderSize) / file.m_sectorSize;
    for (qsizetype guard = 0; quint32(fatSectors.size()) < fatCount && difat < kFatSector; ++guard) {
        if (guard > sectorCount || difat >= quint32(sectorCount))
            return std::nullopt;
        const qsizetype at = kHeaderSize + qsizetype(difat) * file.m_sectorSize;
        const int entries = int(file.m_sectorSize / 4) - 1;
        for (int i = 0; i < entries && quint32(fatSectors.size()) < fatCount; ++i)
            fatSectors << u32(b, at + 4 * i);
        difat = u32(b, at + 4 * entries);
    }
    if (quint32(fatSectors.size()) != fatCount)
        return std::nullopt;
    for (quint32 s : fatSectors) {
        if (s >= quint32(sectorCount))
            return std::nullopt;
        file.m_fat << words(b.mid(kHeaderSize + qsizetype(s) * file.m_sectorSize, file.m_sectorSize));
    }

    const std::optional<QByteArray> directory = file.sectors(u32(b, 0x30));
    if (!directory)
        return std::nullopt;
    const quint32 cutoff = u32(b, 0x38);
    std::optional<Stream> root;
    for (qsizetype at = 0; at + kEntrySize <= directory->size(); at += kEntrySize) {
        const quint8 type = quint8(directory->at(at + 0x42));
        const quint16 nameBytes = std::min<quint16>(u16(*directory, at + 0x40), 64);
        if (type != 2 && type != 5)
            continue; // empty entries and storages
        Stream s;
        s.name = QString::fromUtf16(reinterpret_cast<const char16_t *>(directory->constData() + at),
                                    std::max(0, nameBytes / 2 - 1));
        s.start = u32(*directory, at + 0x74);
        s.size = file.m_sectorSize == 512 ? u32(*directory, at + 0x78) : qFromLittleEndian<quint64>(directory->constData() + at + 0x78);
        if (type == 5) {
            root = s;
            continue;
        }
        s.mini = s.size < cutoff;
        file.m_streams << s;
    }
    if (!root)
        return std::nullopt;
    if (root->size > 0) {
        const std::optional<QByteArray> mini = file.sectors(root->start);
        if (!mini || quint64(mini->size()) < root->size)
            return std::nullopt;
        file.m_miniStream = mini->left(qsizetype(root->size));
    }
    if (u32(b, 0x40) > 0) {
        const std::optional<QByteArray> miniFat = file.sectors(u32(b, 0x3C));
        if (!miniFat)
            return std::nullopt;
        file.m_miniFat = words(*miniFat);
    }
    return file;
}

std::optional<QList<quint32>> CompoundFile::chain(quint32 start, const QList<quint32> &table) const
{
    QList<quint32> links;
    for (quint32 at = start; at != kEndOfChain;) {
        // Past the table, or longer than the table: damaged or looping.
        if (at >= quint32(table.size()) || links.size() >= table.size())
            return std::nullopt;
        links << at;
        at = table.at(at);
    }
    return links;
}

std::optional<QByteArray> CompoundFile::sectors(quint32 start) const
{
    const std::optional<QList<quint32>> links = chain(start, m_fat);
    if (!links)
        return std::nullopt;
    QByteArray out;
    out.reserve(links->size() * m_sectorSize);
    for (quint32 s : *links) {
        const qsizetype at = kHeaderSize + qsizetype(s) * m_sectorSize;
        if (at + m_sectorSize > m_bytes.size())
            return std::nullopt;
        out.append(m_bytes.constData() + at, m_sectorSize);
    }
    return out;
}

std::optional<CompoundFile::Stream> CompoundFile::stream(const QStringList &names) const
{
    for (const QString &name : names)
        for (const Stream &s : m_streams)
            if (s.name.compare(name, Qt::CaseInsensitive) == 0)
                return s;
    return std::nullopt;
}

std::optional<QByteArray> CompoundFile::read(const Stream &stream) const
{
    if (!stream.mini) {
        std::optional<QByteArray> data = sectors(stream.start);
        if (!data || quint64(data->size()) < stream.size)
            return std::nullopt;
        data->truncate(qsizetype(stream.size));
        return data;
    }
    const std::optional<QList<quint32>> links = chain(stream.start, m_miniFat);
    if (!links)
        return std::nullopt;
    QByteArray out;
    for (quint32 s : *links) {
        const qsizetype at = qsizetype(s) * kMiniSectorSize;
        if (at + kMiniSectorSize > m_miniStream.size())
            return std::nullopt;
        out.append(m_miniStream.constData() + at, kMiniSectorSize);
    }
    if (quint64(out.size()) < stream.size)
        return std::nullopt;
    out.truncate(qsizetype(stream.size));
    return out;
}

bool CompoundFile::startsTheMiniStreamInOrder(const Stream &stream) const
{
    const std::optional<QList<quint32>> links = chain(stream.start, m_miniFat);
    if (!stream.mini || !links)
        return false;
    for (qsizetype i = 0; i < links->size(); ++i)
        if (links->at(i) != quint32(i))
            return false;
    return true;
}

QByteArray CompoundFile::build(const QList<std::pair<QString, QByteArray>> &streams)
{
    constexpr int kSector = 512;
    QList<QByteArray> body; // the sectors after the header, in order
    QList<quint32> fat;
    const auto place = [&](const QByteArray &data) {
        const quint32 first = quint32(body.size());
        const qsizetype count = (data.size() + kSector - 1) / kSector;
        for (qsizetype i = 0; i < count; ++i) {
            body << data.mid(i * kSector, kSector).leftJustified(kSector, '\0');
            fat << (i + 1 < count ? first + quint32(i) + 1 : kEndOfChain);
        }
        return count > 0 ? first : kEndOfChain;
    };

    // Small streams share the mini stream, each from a 64-byte boundary.
    QByteArray miniStream;
    QList<quint32> miniFat;
    QList<quint32> starts;
    for (const auto &[name, data] : streams) {
        if (quint32(data.size()) >= kMiniStreamCutoff) {
            starts << place(data);
            continue;
        }
        const quint32 first = quint32(miniStream.size() / kMiniSectorSize);
        const qsizetype count = (data.size() + kMiniSectorSize - 1) / kMiniSectorSize;
        for (qsizetype i = 0; i < count; ++i)
            miniFat << (i + 1 < count ? first + quint32(i) + 1 : kEndOfChain);
        miniStream += data.leftJustified(count * kMiniSectorSize, '\0');
        starts << (count > 0 ? first : kEndOfChain);
    }
    const quint32 rootStart = place(miniStream);
    QByteArray miniFatBytes(miniFat.size() * 4, '\0');
    for (qsizetype i = 0; i < miniFat.size(); ++i)
        put32(miniFatBytes, i * 4, miniFat.at(i));
    const quint32 miniFatStart = place(miniFatBytes);

    // The root, then the streams as a chain of right siblings in the
    // container's own order: shorter names first, then by upper case.
    QList<int> order(streams.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const QString &x = streams.at(a).first;
        const QString &y = streams.at(b).first;
        return x.size() != y.size() ? x.size() < y.size() : x.toUpper() < y.toUpper();
    });
    const auto entry = [](const QString &name, quint8 type, quint32 right, quint32 child, quint32 start,
                          quint32 size) {
        QByteArray e(kEntrySize, '\0');
        const QString cut = name.left(31);
        std::copy_n(reinterpret_cast<const char *>(cut.utf16()), cut.size() * 2, e.data());
        put16(e, 0x40, quint16((cut.size() + 1) * 2));
        e[0x42] = char(type);
        e[0x43] = 1; // black
        put32(e, 0x44, kNoEntry);
        put32(e, 0x48, right);
        put32(e, 0x4C, child);
        put32(e, 0x74, start);
        put32(e, 0x78, size);
        return e;
    };
    QByteArray directory = entry(QStringLiteral("Root Entry"), 5, kNoEntry, order.isEmpty() ? kNoEntry : quint32(order.first() + 1),
                                 rootStart, quint32(miniStream.size()));
    for (qsizetype i = 0; i < streams.size(); ++i) {
        const qsizetype rank = order.indexOf(int(i));
        const quint32 right = rank + 1 < order.size() ? quint32(order.at(rank + 1) + 1) : kNoEntry;
        directory += entry(streams.at(i).first, 2, right, kNoEntry, starts.at(i), quint32(streams.at(i).second.size()));
    }
    while (directory.size() % kSector != 0) {
        QByteArray empty(kEntrySize, '\0');
        put32(empty, 0x44, kNoEntry);
        put32(empty, 0x48, kNoEntry);
        put32(empty, 0x4C, kNoEntry);
        directory += empty;
    }
    const quint32 directoryStart = place(directory);

    // The FAT covers every sector, its own among them; the header lists up
    // to 109 FAT sectors, which is enough for files of some 7 MB.
    constexpr int kPerFatSector = kSector / 4;
    int fatSectors = 1;
    while (body.size() + fatSectors > fatSectors * kPerFatSector)
        ++fatSectors;
    if (fatSectors > kHeaderFatSlots)
        return {};
    const quint32 fatStart = quint32(body.size());
    for (int i = 0; i < fatSectors; ++i)
        fat << kFatSector;
    while (fat.size() < fatSectors * kPerFatSector)
        fat << kFree;
    for (int i = 0; i < fatSectors; ++i) {
        QByteArray sector(kSector, '\0');
        for (int j = 0; j < kPerFatSector; ++j)
            put32(sector, j * 4, fat.at(i * kPerFatSector + j));
        body << sector;
    }

    QByteArray header(kHeaderSize, '\0');
    header.replace(0, kSignature.size(), kSignature);
    put16(header, 0x18, 0x3E);
    put16(header, 0x1A, 3);
    put16(header, 0x1C, 0xFFFE);
    put16(header, 0x1E, 9);
    put16(header, 0x20, 6);
    put32(header, 0x2C, quint32(fatSectors));
    put32(header, 0x30, directoryStart);
    put32(header, 0x38, kMiniStreamCutoff);
    put32(header, 0x3C, miniFatStart);
    put32(header, 0x40, quint32((miniFatBytes.size() + kSector - 1) / kSector));
    put32(header, 0x44, kEndOfChain);
    for (int i = 0; i < kHeaderFatSlots; ++i)
        put32(header, 0x4C + 4 * i, i < fatSectors ? fatStart + quint32(i) : kFree);
    return header + body.join();
}

} // namespace tavsms
