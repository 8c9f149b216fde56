#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

#include <array>
#include <optional>

struct sockaddr;

namespace tavsms {

// An IP address as 16 bytes: IPv6 as is, IPv4 in its IPv4-mapped form
// (::ffff:a.b.c.d), which is also how a dual-stack socket reports an IPv4
// peer. One form for both, so "10.0.0.0/8" matches either way the peer came.
struct PeerAddress
{
    std::array<quint8, 16> bytes{};

    // False for a family other than IPv4 or IPv6.
    static std::optional<PeerAddress> from(const sockaddr *address);
    static PeerAddress from(const QHostAddress &address);
    // IPv4-mapped addresses are shown as IPv4.
    QString toString() const;

    bool operator==(const PeerAddress &) const = default;
};

size_t qHash(const PeerAddress &address, size_t seed = 0);

// An address as the operator writes one: IPv4 as four decimal numbers
// (short forms such as "10" or "192.168.1", which the resolver library
// reads as other addresses than meant, are refused), or IPv6 without an
// interface scope.
std::optional<QHostAddress> parseIpAddress(const QString &text);

// The listener's allow-list: networks in CIDR notation ("10.0.0.0/8",
// "::1/128"); a bare address is that one host.
class AllowedNetworks
{
public:
    static const QString kDefault;

    // The comma-separated list of the settings. On failure `badEntry` gets
    // the first entry that is not a network (empty when there is none at all).
    static std::optional<AllowedNetworks> parse(const QString &list, QString *badEntry = nullptr);

    bool allows(const PeerAddress &peer) const;

private:
    struct Network
    {
        PeerAddress prefix;
        int length = 0; // leading bits that must match, of 128
    };
    static std::optional<Network> parseNetwork(const QString &entry);

    QList<Network> m_networks;
};

} // namespace tavsms
