#pragma once

#include "menu/MenuEntry.h"
#include "network/LocalAddress.h"

#include <QDateTime>
#include <QList>
#include <QLocale>

#include <optional>

/// The menu's entries, computed from the model's state and the settings. Each entry's key says
/// what it stands for: a fixed place of the menu, or an address by its kind, interface and value,
/// unique within one menu and the same in every menu that shows the same thing.
namespace MenuContent {

struct Inputs {
    QString hostname; // already in the form the settings ask for
    std::optional<QString> publicAddress;
    QList<QString> tailscaleAddresses;
    QList<LocalAddress> localAddresses;
    std::optional<QDateTime> lastUpdated;
    std::optional<QString> lastError;
    bool showLocalAddresses = true;
    QLocale locale;
    /// The bundle's short version; absent shows as "?".
    std::optional<QString> version;
    /// The device's MagicDNS name, while the Tailscale daemon gives one.
    std::optional<QString> tailscaleName = std::nullopt;
    /// Whether container, VM and Kubernetes networks are among the local rows.
    bool showVirtualNetworks = true;
    /// Off: no public address is looked up, and the menu says so.
    bool isPublicLookupEnabled = true;
    /// Whether the machine has an IPv6 default route: only then is there a public IPv6 row.
    bool hasIPv6Route = false;
    std::optional<QString> publicIPv6Address = std::nullopt;
};

/// The identity entries and the status line: what the menu shows above "Refresh Now".
QList<MenuEntry> statusEntries(const Inputs& inputs);
/// The whole menu: status entries, refresh, about, settings and quit.
QList<MenuEntry> entries(const Inputs& inputs);

} // namespace MenuContent
