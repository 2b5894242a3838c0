#include "platform/linux/net/LinuxNetworkInventory.h"

#include "platform/linux/net/NetlinkRoute.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cstring>

#include <ifaddrs.h>
#include <linux/if_addr.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

QHash<QString, int> interfaceIndexes()
{
    QHash<QString, int> indexes;
    if (struct if_nameindex* list = if_nameindex()) {
        for (struct if_nameindex* entry = list; entry->if_index != 0 && entry->if_name; ++entry)
            indexes.insert(QString::fromUtf8(entry->if_name), static_cast<int>(entry->if_index));
        if_freenameindex(list);
    }
    return indexes;
}

std::optional<QString> numericHost(const sockaddr* address)
{
    const socklen_t length = address->sa_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    std::array<char, NI_MAXHOST> host{};
    if (getnameinfo(address, length, host.data(), host.size(), nullptr, 0, NI_NUMERICHOST) != 0)
        return std::nullopt;
    return QString::fromUtf8(host.data());
}

} // namespace

LinuxNetworkInventory::LinuxNetworkInventory(SysfsDisplayNames displayNames)
    : m_displayNames(std::move(displayNames))
{
}

std::vector<SystemAddressEntry> LinuxNetworkInventory::addressEntries()
{
    ifaddrs* head = nullptr;
    if (getifaddrs(&head) != 0 || !head)
        return {};

    // One netlink dump serves the whole walk; without it every IPv6 address counts as usable.
    NetlinkRoute netlink;
    const auto flags = netlink.ipv6AddressFlags();
    const QHash<QString, int> indexes = flags ? interfaceIndexes() : QHash<QString, int>();

    std::vector<SystemAddressEntry> entries;
    for (const ifaddrs* item = head; item; item = item->ifa_next) {
        SystemAddressEntry entry;
        entry.interfaceName = QString::fromUtf8(item->ifa_name);
        entry.isUp = item->ifa_flags & IFF_UP;
        entry.isLoopback = item->ifa_flags & IFF_LOOPBACK;
        const int family = item->ifa_addr ? item->ifa_addr->sa_family : AF_UNSPEC;
        entry.family = family == AF_INET ? AddressFamily::IPv4
            : family == AF_INET6         ? AddressFamily::IPv6
                                         : AddressFamily::Other;
        if (entry.family != AddressFamily::Other)
            entry.numericHost = numericHost(item->ifa_addr);
        if (entry.family == AddressFamily::IPv6 && flags) {
            NetlinkRoute::AddressKey key{indexes.value(entry.interfaceName, -1), {}};
            std::memcpy(key.second.data(), &reinterpret_cast<const sockaddr_in6*>(item->ifa_addr)->sin6_addr, 16);
            if (const auto found = flags->find(key); found != flags->end()) {
                const std::uint32_t bits = found->second;
                entry.ipv6State = IPv6AddressState{(bits & IFA_F_TENTATIVE) != 0, (bits & IFA_F_DADFAILED) != 0,
                                                   (bits & IFA_F_DEPRECATED) != 0};
            }
        }
        entries.push_back(std::move(entry));
    }
    freeifaddrs(head);
    return entries;
}

QHash<QString, QString> LinuxNetworkInventory::displayNames()
{
    return m_displayNames.byInterface();
}

std::optional<QString> LinuxNetworkInventory::primaryInterface()
{
    return NetlinkRoute().primaryInterface();
}

bool LinuxNetworkInventory::hasIPv6DefaultRoute()
{
    const std::vector<NetlinkRoute::DefaultRoute> routes = NetlinkRoute().defaultRoutes();
    return std::any_of(routes.begin(), routes.end(),
                       [](const NetlinkRoute::DefaultRoute& route) { return route.family == AF_INET6; });
}
