#pragma once

#include "network/InterfaceAddress.h"
#include "network/LocalAddress.h"
#include "platform/NetworkInventory.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

/// The address snapshot and the two display lists built from it.
namespace NetworkInterfaces {

/// The IPv4 and IPv6 addresses of interfaces that are up and not loopback, in the system's order.
QList<InterfaceAddress> activeAddresses(NetworkInventory& inventory);
QList<InterfaceAddress> activeAddresses(const std::vector<SystemAddressEntry>& entries);

/// Tailscale addresses, once each, IPv4 before IPv6, each family in text order.
QList<QString> tailscaleAddresses(const QList<InterfaceAddress>& addresses);

/// Every other address worth showing, named for the user, the primary interface first.
QList<LocalAddress> localAddresses(const QList<InterfaceAddress>& addresses, NetworkInventory& inventory);
QList<LocalAddress> localAddresses(const QList<InterfaceAddress>& addresses,
                                   const QHash<QString, QString>& displayNames,
                                   const std::optional<QString>& primaryInterface);

} // namespace NetworkInterfaces
