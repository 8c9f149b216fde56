#include "AllowedNetworks.h"

#include <QHashFunctions>
#include <QStringList>

#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tavsms {

namespace {

PeerAddress mappedIPv4(quint32 ip4)
{
    PeerAddress a;
    a.bytes[10] = 0xff;
    a.bytes[11] = 0xff;
    a.bytes[12] = quint8(ip4 >> 24);
    a.bytes[13] = quint8(ip4 >> 16);
    a.bytes[14] = quint8(ip4 >> 8);
    a.bytes[15] = quint8(ip4);
    return a;
}

bool isMappedIPv4(const PeerAddress &a)
{
    static constexpr std::array<quint8, 12> kMapped{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    return std::memcmp(a.bytes.data(), kMapped.data(), kMapped.size()) == 0;
}

bool samePrefix(const PeerAddress &a, const PeerAddress &b, int length)
{
    const int whole = length / 8;
    if (std::memcmp(a.bytes.data(), b.bytes.data(), size_t(whole)) != 0)
        return false;
    const int rest = length % 8;
    if (rest == 0)
        return true;
    const quint8 mask = quint8(0xff << (8 - rest));
    return (a.bytes[size_t(whole)] & mask) == (b.bytes[size_t(whole)] & mask);
}

} // namespace

std::optional<PeerAddress> PeerAddress::from(const sockaddr *address)
{
    if (address->sa_family == AF_INET) {
        sockaddr_in in;
        std::memcpy(&in, address, sizeof in);
        return mappedIPv4(ntohl(in.sin_addr.s_addr));
    }
    if (address->sa_family == AF_INET6) {
        sockaddr_in6 in6;
        std::memcpy(&in6, address, sizeof in6);
        PeerAddress a;
        std::memcpy(a.bytes.data(), &in6.sin6_addr, a.bytes.size());
        return a;
    }
    return std::nullopt;
}

PeerAddress PeerAddress::from(const QHostAddress &address)
{
    if (address.protocol() == QAbstractSocket::IPv4Protocol)
        return mappedIPv4(address.toIPv4Address());
    PeerAddress a;
    const Q_IPV6ADDR six = address.toIPv6Address();
    std::memcpy(a.bytes.data(), six.c, a.bytes.size());
    return a;
}

QString PeerAddress::toString() const
{
    if (isMappedIPv4(*this))
        return QHostAddress(quint32(bytes[12]) << 24 | quint32(bytes[13]) << 16 | quint32(bytes[14]) << 8 | bytes[15])
            .toString();
    return QHostAddress(bytes.data()).toString();
}

size_t qHash(const PeerAddress &address, size_t seed)
{
    return qHashBits(address.bytes.data(), address.bytes.size(), seed);
}

std::optional<QHostAddress> parseIpAddress(const QString &text)
{
    if (!text.contains(QLatin1Char(':'))) {
        const QStringList parts = text.split(QLatin1Char('.'));
        if (parts.size() != 4)
            return std::nullopt;
        for (const QString &part : parts) {
            const bool digits = std::all_of(part.begin(), part.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; });
            // "010" is octal to some readers and decimal to others.
            if (part.isEmpty() || part.size() > 3 || !digits || (part.size() > 1 && part.front() == QLatin1Char('0')))
                return std::nullopt;
        }
    }
    QHostAddress address;
    if (!address.setAddress(text) || !address.scopeId().isEmpty())
        return std::nullopt;
    return address;
}

const QString AllowedNetworks::kDefault = QStringLiteral(
    "127.0.0.0/8, ::1/128, 10.0.0.0/8, 172.16.0.0/12, 192.168.0.0/16, fc00::/7, fe80::/10");

std::optional<AllowedNetworks::Network> AllowedNetworks::parseNetwork(const QString &entry)
{
    const qsizetype slash = entry.indexOf(QLatin1Char('/'));
    const std::optional<QHostAddress> address = parseIpAddress(entry.left(slash).trimmed());
    if (!address)
        return std::nullopt;
    const bool ipv4 = address->protocol() == QAbstractSocket::IPv4Protocol;
    const int bits = ipv4 ? 32 : 128;
    int length = bits;
    if (slash >= 0) {
        const QString digits = entry.mid(slash + 1).trimmed();
        bool ok = false;
        length = digits.toInt(&ok);
        // Digits only: toInt would also take "+8".
        if (!ok || digits.isEmpty() || !digits.front().isDigit() || length < 0 || length > bits)
            return std::nullopt;
    }
    return Network{PeerAddress::from(*address), length + (128 - bits)};
}

std::optional<AllowedNetworks> AllowedNetworks::parse(const QString &list, QString *badEntry)
{
    AllowedNetworks out;
    for (const QString &piece : list.split(QLatin1Char(','))) {
        const QString entry = piece.trimmed();
        if (entry.isEmpty())
            continue; // "a, b," or "a,,b": a stray comma names nothing
        const std::optional<Network> network = parseNetwork(entry);
        if (!network) {
            if (badEntry)
                *badEntry = entry;
            return std::nullopt;
        }
        out.m_networks << *network;
    }
    if (out.m_networks.isEmpty()) {
        if (badEntry)
            badEntry->clear();
        return std::nullopt;
    }
    return out;
}

bool AllowedNetworks::allows(const PeerAddress &peer) const
{
    return std::any_of(m_networks.begin(), m_networks.end(),
                       [&](const Network &n) { return samePrefix(peer, n.prefix, n.length); });
}

} // namespace tavsms
