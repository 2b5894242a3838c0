#include "network/NetworkInterfaces.h"

#include "network/IPAddress.h"

#include <QCollator>
#include <QSet>

#include <algorithm>

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

bool isShownLocally(const InterfaceAddress& entry)
{
    return entry.isPreferred && !IPAddress::isLinkLocalIPv4(entry.address) && !IPAddress::isLinkLocalIPv6(entry.address)
        && !IPAddress::isTailscaleIPv4(entry.address) && !IPAddress::isTailscaleIPv6(entry.address);
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

QList<QString> tailscaleAddresses(const QList<InterfaceAddress>& addresses)
{
    QList<QString> result;
    QSet<QString> seen;
    for (const InterfaceAddress& entry : addresses) {
        const QString& address = entry.address;
        if ((IPAddress::isTailscaleIPv4(address) || IPAddress::isTailscaleIPv6(address)) && !seen.contains(address)) {
            seen.insert(address);
            result.append(address);
        }
    }
    std::sort(result.begin(), result.end(), addressBefore);
    return result;
}

QList<LocalAddress> localAddresses(const QList<InterfaceAddress>& addresses, NetworkInventory& inventory)
{
    return localAddresses(addresses, inventory.displayNames(), inventory.primaryInterface());
}

QList<LocalAddress> localAddresses(const QList<InterfaceAddress>& addresses,
                                   const QHash<QString, QString>& displayNames,
                                   const std::optional<QString>& primaryInterface)
{
    QList<LocalAddress> result;
    for (const InterfaceAddress& entry : addresses) {
        if (isShownLocally(entry))
            result.append({entry.name, displayNames.value(entry.name, entry.name), entry.address});
    }

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

} // namespace NetworkInterfaces
