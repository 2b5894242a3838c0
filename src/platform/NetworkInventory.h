#pragma once

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

enum class AddressFamily { IPv4, IPv6, Other };

/// What the kernel says about one IPv6 address beyond the address itself.
struct IPv6AddressState {
    bool isTentative = false;
    bool isDuplicated = false;
    bool isDeprecated = false;
};

/// One entry of the system's interface-address list, as raw as the system gives it.
struct SystemAddressEntry {
    QString interfaceName;
    bool isUp = false;
    bool isLoopback = false;
    AddressFamily family = AddressFamily::Other;
    /// Numeric host text, possibly with a zone suffix; absent when the system could not format it.
    std::optional<QString> numericHost;
    /// Absent when the state could not be queried.
    std::optional<IPv6AddressState> ipv6State;
};

/// Read-only view of the machine's interfaces, addresses and routes.
class NetworkInventory {
public:
    virtual ~NetworkInventory() = default;

    /// Every address entry of every interface, in the system's order; empty when nothing can be read.
    virtual std::vector<SystemAddressEntry> addressEntries() = 0;
    /// User-visible names of the interfaces that have one, keyed by interface name.
    virtual QHash<QString, QString> displayNames() = 0;
    /// The interface that carries the machine's default route, if any.
    virtual std::optional<QString> primaryInterface() = 0;
    /// Whether the machine has an IPv6 default route whose next hop is usable.
    virtual bool hasIPv6DefaultRoute() = 0;
};
