#pragma once

#include "network/InterfaceAddress.h"
#include "network/LocalAddress.h"
#include "platform/NetworkInventory.h"
#include "platform/TailscaleStatus.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>
#include <vector>

/// The address snapshot and the two display lists built from it.
namespace NetworkInterfaces {

/// The IPv4 and IPv6 addresses of interfaces that are up and not loopback, in the system's order.
QList<InterfaceAddress> activeAddresses(NetworkInventory& inventory);
QList<InterfaceAddress> activeAddresses(const std::vector<SystemAddressEntry>& entries);

/// The interfaces that are Tailscale's: those that carry an address the Tailscale daemon reports
/// as its own, or without such an answer, those whose display name is "Tailscale".
QSet<QString> tailscaleInterfaces(const QList<InterfaceAddress>& addresses, const QHash<QString, QString>& displayNames,
                                  const std::optional<TailscaleStatus>& tailscale);

/// Addresses in Tailscale's ranges on Tailscale's interfaces, once each, IPv4 before IPv6, each
/// family in text order.
QList<QString> tailscaleAddresses(const QList<InterfaceAddress>& addresses, const QSet<QString>& tailscaleInterfaces);

/// Every other address worth showing, named for the user, the primary interface first. Where
/// interfaces would read alike, each row names its interface too.
QList<LocalAddress> localAddresses(const QList<InterfaceAddress>& addresses,
                                   const QHash<QString, QString>& displayNames,
                                   const std::optional<QString>& primaryInterface,
                                   const QSet<QString>& tailscaleInterfaces);

/// The two display lists of one snapshot.
struct Lists {
    QList<QString> tailscaleAddresses;
    QList<LocalAddress> localAddresses;
};
/// The machine's addresses now, with the Tailscale daemon's last answer (none: it did not give one).
Lists lists(NetworkInventory& inventory, const std::optional<TailscaleStatus>& tailscale);

/// The kind of network an interface's display name stands for: "wifi", "ethernet", "mobile",
/// "vpn", "overlay", "container", "vm", "kubernetes" or "other".
QString kindOf(const QString& displayName);
/// Whether the kind is one of the container, VM and Kubernetes networks a user may hide.
bool isVirtualNetwork(const QString& kind);

} // namespace NetworkInterfaces
