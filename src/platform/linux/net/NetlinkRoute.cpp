#include "platform/linux/net/NetlinkRoute.h"

#include <QList>

#include <algorithm>
#include <cstring>

#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netlink/netlink.h>
#include <netlink/route/addr.h>
#include <netlink/route/link.h>
#include <netlink/route/route.h>
#include <sys/socket.h>

namespace {

struct CacheDeleter {
    void operator()(nl_cache* cache) const { nl_cache_free(cache); }
};
using Cache = std::unique_ptr<nl_cache, CacheDeleter>;

QByteArray addressBytes(nl_addr* address)
{
    if (!address)
        return {};
    return QByteArray(static_cast<const char*>(nl_addr_get_binary_addr(address)),
                      static_cast<qsizetype>(nl_addr_get_len(address)));
}

template<typename Object, typename Function>
void forEach(nl_cache* cache, Function&& function)
{
    for (nl_object* object = nl_cache_get_first(cache); object; object = nl_cache_get_next(object))
        function(reinterpret_cast<Object*>(object));
}

} // namespace

NetlinkRoute::NetlinkRoute()
{
    m_socket = nl_socket_alloc();
    if (m_socket && nl_connect(m_socket, NETLINK_ROUTE) < 0) {
        nl_socket_free(m_socket);
        m_socket = nullptr;
    }
}

NetlinkRoute::~NetlinkRoute()
{
    if (m_socket)
        nl_socket_free(m_socket);
}

std::optional<std::map<NetlinkRoute::AddressKey, std::uint32_t>> NetlinkRoute::ipv6AddressFlags()
{
    nl_cache* raw = nullptr;
    if (!m_socket || rtnl_addr_alloc_cache(m_socket, &raw) < 0)
        return std::nullopt;
    Cache cache(raw);
    std::map<AddressKey, std::uint32_t> flags;
    forEach<rtnl_addr>(cache.get(), [&](rtnl_addr* address) {
        if (rtnl_addr_get_family(address) != AF_INET6)
            return;
        const QByteArray bytes = addressBytes(rtnl_addr_get_local(address));
        if (bytes.size() != 16)
            return;
        AddressKey key{rtnl_addr_get_ifindex(address), {}};
        std::memcpy(key.second.data(), bytes.constData(), 16);
        flags[key] = rtnl_addr_get_flags(address);
    });
    return flags;
}

std::vector<NetlinkRoute::DefaultRoute> NetlinkRoute::defaultRoutes()
{
    nl_cache* raw = nullptr;
    if (!m_socket || rtnl_route_alloc_cache(m_socket, AF_UNSPEC, 0, &raw) < 0)
        return {};
    Cache cache(raw);
    std::vector<DefaultRoute> routes;
    forEach<rtnl_route>(cache.get(), [&](rtnl_route* route) {
        nl_addr* destination = rtnl_route_get_dst(route);
        if (rtnl_route_get_table(route) != RT_TABLE_MAIN || rtnl_route_get_type(route) != RTN_UNICAST
            || (destination && nl_addr_get_prefixlen(destination) != 0) || rtnl_route_get_nnexthops(route) < 1)
            return;
        rtnl_nexthop* hop = rtnl_route_nexthop_n(route, 0);
        if (rtnl_route_nh_get_flags(hop) & (RTNH_F_DEAD | RTNH_F_LINKDOWN))
            return;
        routes.push_back({rtnl_route_get_family(route), rtnl_route_nh_get_ifindex(hop), rtnl_route_get_priority(route),
                          addressBytes(rtnl_route_nh_get_gateway(hop))});
    });
    return routes;
}

std::optional<int> NetlinkRoute::primaryInterfaceIndex(const std::vector<DefaultRoute>& routes)
{
    for (const int family : {AF_INET, AF_INET6}) {
        const DefaultRoute* best = nullptr;
        for (const DefaultRoute& route : routes) {
            if (route.family == family && route.interfaceIndex > 0 && (!best || route.metric < best->metric))
                best = &route;
        }
        if (best)
            return best->interfaceIndex;
    }
    return std::nullopt;
}

std::optional<QString> NetlinkRoute::primaryInterface()
{
    const std::optional<int> index = primaryInterfaceIndex(defaultRoutes());
    char name[IF_NAMESIZE] = {};
    if (!index || !if_indextoname(static_cast<unsigned>(*index), name))
        return std::nullopt;
    return QString::fromUtf8(name);
}

QByteArray NetlinkRoute::pathDigest()
{
    nl_cache* rawLinks = nullptr;
    nl_cache* rawAddresses = nullptr;
    if (!m_socket || rtnl_link_alloc_cache(m_socket, AF_UNSPEC, &rawLinks) < 0)
        return {};
    Cache links(rawLinks);
    if (rtnl_addr_alloc_cache(m_socket, &rawAddresses) < 0)
        return {};
    Cache addresses(rawAddresses);

    QList<QByteArray> lines;
    forEach<rtnl_link>(links.get(), [&](rtnl_link* link) {
        if (rtnl_link_get_flags(link) & IFF_UP)
            lines << "link " + QByteArray::number(rtnl_link_get_ifindex(link)) + ' ' + rtnl_link_get_name(link);
    });
    forEach<rtnl_addr>(addresses.get(), [&](rtnl_addr* address) {
        lines << "addr " + QByteArray::number(rtnl_addr_get_ifindex(address)) + ' '
                + addressBytes(rtnl_addr_get_local(address)).toHex() + '/'
                + QByteArray::number(rtnl_addr_get_prefixlen(address)) + ' '
                + QByteArray::number(rtnl_addr_get_flags(address));
    });
    for (const DefaultRoute& route : defaultRoutes()) {
        lines << "route " + QByteArray::number(route.family) + ' ' + QByteArray::number(route.interfaceIndex) + ' '
                + QByteArray::number(route.metric) + ' ' + route.gateway.toHex();
    }
    std::sort(lines.begin(), lines.end());
    return lines.join('\n');
}
