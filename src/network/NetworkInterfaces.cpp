#include "network/NetworkInterfaces.h"

#include "network/IPAddress.h"

#include <QCollator>
#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool isPreferred(const SystemAddressEntry& entry)
{
    if (entry.family != AddressFamily::IPv6 || !entry.ipv6State)
        return true;
    const IPv6AddressState& state = *entry.ipv6State;
    return !state.isTentative && !state.isDuplicated && !state.isDeprecated;
}

QString withoutZone(const QString& host)
{
    const QStringList pieces = host.split(u'%', Qt::SkipEmptyParts);
    return pieces.isEmpty() ? host : pieces.first();
}

// IPv4 before IPv6; otherwise ordinal text order.
bool addressBefore(const QString& a, const QString& b)
{
    const bool aIsV6 = a.contains(u':');
    const bool bIsV6 = b.contains(u':');
    if (aIsV6 != bIsV6)
        return !aIsV6;
    return a < b;
}

bool isInTailscaleRanges(const QString& address)
{
    return IPAddress::isTailscaleIPv4(address) || IPAddress::isTailscaleIPv6(address);
}

// Carrier-grade NAT and other overlays share Tailscale's IPv4 range: only an address on
// Tailscale's own interface is Tailscale's.
bool isTailscales(const InterfaceAddress& entry, const QSet<QString>& tailscaleInterfaces)
{
    return tailscaleInterfaces.contains(entry.name) && isInTailscaleRanges(entry.address);
}

bool isShownLocally(const InterfaceAddress& entry, const QSet<QString>& tailscaleInterfaces)
{
    return entry.isPreferred && !IPAddress::isLinkLocalIPv4(entry.address) && !IPAddress::isLinkLocalIPv6(entry.address)
        && !isTailscales(entry, tailscaleInterfaces);
}

// Interfaces shown under one display name (two Docker networks, two bridges) each add their
// own name, so that no two interfaces' rows read alike.
void nameEachInterface(QList<LocalAddress>& rows)
{
    QHash<QString, QSet<QString>> interfacesByName;
    for (const LocalAddress& row : std::as_const(rows))
        interfacesByName[row.displayName].insert(row.interfaceName);
    for (LocalAddress& row : rows) {
        if (interfacesByName.value(row.displayName).size() > 1 && row.displayName != row.interfaceName)
            row.displayName += u" ("_s + row.interfaceName + u')';
    }
}

// The place of each display name in the locale's order; names the collator holds equal share a
// place. Ranking the few distinct names once spares the sort a collation per comparison.
QHash<QString, int> displayNameRanks(const QList<LocalAddress>& rows)
{
    QStringList names;
    for (const LocalAddress& row : rows)
        names.append(row.displayName);
    names.removeDuplicates();

    // Qt's collator compares plain code points in the C locale, numbers included; names there
    // are ordered as in English so that "Dock 9" still comes before "Dock 10".
    const QLocale locale = QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });

    QHash<QString, int> ranks;
    int rank = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i > 0 && collator.compare(names.at(i - 1), names.at(i)) != 0)
            ++rank;
        ranks.insert(names.at(i), rank);
    }
    return ranks;
}

} // namespace

namespace NetworkInterfaces {

QList<InterfaceAddress> activeAddresses(const std::vector<SystemAddressEntry>& entries)
{
    QList<InterfaceAddress> result;
    for (const SystemAddressEntry& entry : entries) {
        if (!entry.isUp || entry.isLoopback || entry.family == AddressFamily::Other || !entry.numericHost)
            continue;
        result.append({entry.interfaceName, withoutZone(*entry.numericHost), isPreferred(entry)});
    }
    return result;
}

QList<InterfaceAddress> activeAddresses(NetworkInventory& inventory)
{
    return activeAddresses(inventory.addressEntries());
}

QSet<QString> tailscaleInterfaces(const QList<InterfaceAddress>& addresses, const QHash<QString, QString>& displayNames,
                                  const std::optional<TailscaleStatus>& tailscale)
{
    QSet<QString> interfaces;
    for (const InterfaceAddress& entry : addresses) {
        if (tailscale && tailscale->addresses.contains(entry.address) && isInTailscaleRanges(entry.address))
            interfaces.insert(entry.name);
    }
    // An answer that names no address of this machine says nothing of its interfaces.
    if (!interfaces.isEmpty())
        return interfaces;
    for (auto it = displayNames.cbegin(); it != displayNames.cend(); ++it) {
        if (it.value() == u"Tailscale"_s)
            interfaces.insert(it.key());
    }
    return interfaces;
}

QList<QString> tailscaleAddresses(const QList<InterfaceAddress>& addresses, const QSet<QString>& tailscaleInterfaces)
{
    QList<QString> result;
    QSet<QString> seen;
    for (const InterfaceAddress& entry : addresses) {
        if (isTailscales(entry, tailscaleInterfaces) && !seen.contains(entry.address)) {
            seen.insert(entry.address);
            result.append(entry.address);
        }
    }
    std::sort(result.begin(), result.end(), addressBefore);
    return result;
}

Lists lists(NetworkInventory& inventory, const std::optional<TailscaleStatus>& tailscale)
{
    const QList<InterfaceAddress> addresses = activeAddresses(inventory);
    const QHash<QString, QString> names = inventory.displayNames();
    const QSet<QString> tailscaleOnes = tailscaleInterfaces(addresses, names, tailscale);
    return {tailscaleAddresses(addresses, tailscaleOnes),
            localAddresses(addresses, names, inventory.primaryInterface(), tailscaleOnes)};
}

QList<LocalAddress> localAddresses(const QList<InterfaceAddress>& addresses,
                                   const QHash<QString, QString>& displayNames,
                                   const std::optional<QString>& primaryInterface,
                                   const QSet<QString>& tailscaleInterfaces)
{
    QList<LocalAddress> result;
    for (const InterfaceAddress& entry : addresses) {
        if (isShownLocally(entry, tailscaleInterfaces)) {
            const QString name = displayNames.value(entry.name);
            result.append({entry.name, name.isEmpty() ? entry.name : name, entry.address, kindOf(name)});
        }
    }
    nameEachInterface(result);

    const QHash<QString, int> rank = displayNameRanks(result);
    const auto before = [&](const LocalAddress& a, const LocalAddress& b) {
        if (a.interfaceName == b.interfaceName)
            return addressBefore(a.address, b.address);
        if (primaryInterface && ((a.interfaceName == *primaryInterface) != (b.interfaceName == *primaryInterface)))
            return a.interfaceName == *primaryInterface;
        if (a.displayName != b.displayName)
            return rank.value(a.displayName) < rank.value(b.displayName);
        return a.interfaceName < b.interfaceName;
    };
    std::stable_sort(result.begin(), result.end(), before);
    return result;
}

QString kindOf(const QString& displayName)
{
    static const QHash<QString, QString> kinds{
        {u"Wi-Fi"_s, u"wifi"_s},
        {u"Ethernet"_s, u"ethernet"_s},
        {u"USB Ethernet"_s, u"ethernet"_s},
        {u"Mobile Broadband"_s, u"mobile"_s},
        {u"WireGuard"_s, u"vpn"_s},
        {u"VPN"_s, u"vpn"_s},
        {u"ZeroTier"_s, u"overlay"_s},
        {u"NetBird"_s, u"overlay"_s},
        {u"Tailscale"_s, u"overlay"_s},
        {u"Docker"_s, u"container"_s},
        {u"Podman"_s, u"container"_s},
        {u"Containers"_s, u"container"_s},
        {u"Virtual Machines"_s, u"vm"_s},
        {u"VirtualBox"_s, u"vm"_s},
        {u"VMware"_s, u"vm"_s},
        {u"Kubernetes"_s, u"kubernetes"_s},
    };
    return kinds.value(displayName, u"other"_s);
}

bool isVirtualNetwork(const QString& kind)
{
    return kind == u"container"_s || kind == u"vm"_s || kind == u"kubernetes"_s;
}

} // namespace NetworkInterfaces
