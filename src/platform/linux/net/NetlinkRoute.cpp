#include "platform/linux/net/NetlinkRoute.h"

#include <QList>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <linux/if_addr.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The attributes after a message's fixed header, by type; a later one of a type wins.
std::map<int, QByteArray> attributes(const QByteArray& payload, size_t headerSize)
{
    std::map<int, QByteArray> found;
    auto offset = static_cast<qsizetype>(NLMSG_ALIGN(headerSize));
    while (offset + static_cast<qsizetype>(sizeof(rtattr)) <= payload.size()) {
        rtattr attribute{};
        std::memcpy(&attribute, payload.constData() + offset, sizeof attribute);
        if (attribute.rta_len < sizeof attribute || offset + attribute.rta_len > payload.size())
            break;
        found[attribute.rta_type & NLA_TYPE_MASK] = payload.mid(
            offset + static_cast<qsizetype>(RTA_LENGTH(0)), attribute.rta_len - static_cast<qsizetype>(RTA_LENGTH(0)));
        offset += static_cast<qsizetype>(RTA_ALIGN(attribute.rta_len));
    }
    return found;
}

template<typename Header>
Header header(const QByteArray& payload)
{
    Header fixed{};
    std::memcpy(&fixed, payload.constData(), std::min(sizeof fixed, static_cast<size_t>(payload.size())));
    return fixed;
}

std::uint32_t number(const std::map<int, QByteArray>& attributes, int type, std::uint32_t fallback = 0)
{
    const auto it = attributes.find(type);
    std::uint32_t value = fallback;
    if (it != attributes.end() && it->second.size() == sizeof value)
        std::memcpy(&value, it->second.constData(), sizeof value);
    return value;
}

QByteArray text(const std::map<int, QByteArray>& attributes, int type)
{
    const auto it = attributes.find(type);
    return it == attributes.end() ? QByteArray() : QByteArray(it->second.constData()); // up to its NUL
}

// An address's own address: IFA_LOCAL where the kernel gives one (point-to-point), else IFA_ADDRESS.
QByteArray localAddress(const std::map<int, QByteArray>& attributes)
{
    const auto local = attributes.find(IFA_LOCAL);
    if (local != attributes.end())
        return local->second;
    const auto address = attributes.find(IFA_ADDRESS);
    return address == attributes.end() ? QByteArray() : address->second;
}

// The flags of an address: the 32-bit IFA_FLAGS where present, else the header's 8 bits.
std::uint32_t addressFlags(const QByteArray& payload, const std::map<int, QByteArray>& attributes)
{
    return number(attributes, IFA_FLAGS, header<ifaddrmsg>(payload).ifa_flags);
}

struct NextHop {
    int interfaceIndex = 0;
    QByteArray gateway;
};

// The first hop of RTA_MULTIPATH's list whose link is neither dead nor down.
std::optional<NextHop> firstUsableHop(const QByteArray& hops)
{
    for (qsizetype offset = 0; offset + static_cast<qsizetype>(sizeof(rtnexthop)) <= hops.size();) {
        const auto hop = header<rtnexthop>(hops.mid(offset));
        if (hop.rtnh_len < sizeof hop || offset + hop.rtnh_len > hops.size())
            break;
        if (!(hop.rtnh_flags & (RTNH_F_DEAD | RTNH_F_LINKDOWN)) && hop.rtnh_ifindex > 0) {
            const auto found = attributes(hops.mid(offset, hop.rtnh_len), sizeof(rtnexthop));
            return NextHop{hop.rtnh_ifindex, found.count(RTA_GATEWAY) ? found.at(RTA_GATEWAY) : QByteArray()};
        }
        offset += static_cast<qsizetype>(RTNH_ALIGN(hop.rtnh_len));
    }
    return std::nullopt;
}

} // namespace

NetlinkRoute::NetlinkRoute()
    : m_socket(openSocket())
{
}

NetlinkRoute::~NetlinkRoute()
{
    if (m_socket >= 0)
        close(m_socket);
}

int NetlinkRoute::openSocket(std::uint32_t groups)
{
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = groups;
    if (fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

std::optional<std::vector<std::pair<int, QByteArray>>> NetlinkRoute::dump(int type, int family)
{
    if (m_socket < 0)
        return std::nullopt;
    struct {
        nlmsghdr header;
        rtgenmsg message;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof request.message);
    request.header.nlmsg_type = static_cast<std::uint16_t>(type);
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = ++m_sequence;
    request.message.rtgen_family = static_cast<unsigned char>(family);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(m_socket, &request, request.header.nlmsg_len, 0, reinterpret_cast<const sockaddr*>(&kernel),
               sizeof kernel)
        < 0)
        return std::nullopt;
    std::vector<std::pair<int, QByteArray>> messages;
    // Each read holds whole messages; the kernel sizes them to a page or two, never more than this.
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        pollfd ready{m_socket, POLLIN, 0};
        iovec vector{buffer.data(), static_cast<size_t>(buffer.size())};
        msghdr reading{};
        reading.msg_iov = &vector;
        reading.msg_iovlen = 1;
        const ssize_t received = recvmsg(m_socket, &reading, 0);
        if (received < 0 && (errno == EINTR || errno == EAGAIN)) {
            if (errno == EAGAIN && poll(&ready, 1, 5000) <= 0)
                return std::nullopt; // the kernel always answers a dump at once
            continue;
        }
        if (received <= 0 || (reading.msg_flags & MSG_TRUNC))
            return std::nullopt;
        qsizetype offset = 0;
        while (offset + static_cast<qsizetype>(sizeof(nlmsghdr)) <= received) {
            nlmsghdr message{};
            std::memcpy(&message, buffer.constData() + offset, sizeof message);
            if (message.nlmsg_len < sizeof message || offset + message.nlmsg_len > received)
                return std::nullopt;
            const qsizetype start = offset;
            offset += static_cast<qsizetype>(NLMSG_ALIGN(message.nlmsg_len));
            if (message.nlmsg_seq != m_sequence)
                continue; // an answer to an earlier request that was given up
            if (message.nlmsg_type == NLMSG_DONE)
                return messages;
            if (message.nlmsg_type == NLMSG_ERROR || (message.nlmsg_flags & NLM_F_DUMP_INTR))
                return std::nullopt;
            messages.emplace_back(message.nlmsg_type,
                                  buffer.mid(start + static_cast<qsizetype>(NLMSG_HDRLEN),
                                             message.nlmsg_len - static_cast<qsizetype>(NLMSG_HDRLEN)));
        }
    }
}

std::optional<std::map<NetlinkRoute::AddressKey, std::uint32_t>> NetlinkRoute::ipv6AddressFlags()
{
    const auto messages = dump(RTM_GETADDR, AF_INET6);
    if (!messages)
        return std::nullopt;
    std::map<AddressKey, std::uint32_t> flags;
    for (const auto& [type, payload] : *messages) {
        const auto fixed = header<ifaddrmsg>(payload);
        const auto found = attributes(payload, sizeof(ifaddrmsg));
        const QByteArray bytes = localAddress(found);
        if (type != RTM_NEWADDR || fixed.ifa_family != AF_INET6 || bytes.size() != 16)
            continue;
        AddressKey key{static_cast<int>(fixed.ifa_index), {}};
        std::memcpy(key.second.data(), bytes.constData(), 16);
        flags[key] = addressFlags(payload, found);
    }
    return flags;
}

std::vector<NetlinkRoute::DefaultRoute> NetlinkRoute::defaultRoutes()
{
    std::vector<DefaultRoute> routes;
    for (const auto& [type, payload] :
         dump(RTM_GETROUTE, AF_UNSPEC).value_or(std::vector<std::pair<int, QByteArray>>())) {
        const auto fixed = header<rtmsg>(payload);
        const auto found = attributes(payload, sizeof(rtmsg));
        if (type != RTM_NEWROUTE || number(found, RTA_TABLE, fixed.rtm_table) != RT_TABLE_MAIN
            || fixed.rtm_type != RTN_UNICAST || fixed.rtm_dst_len != 0)
            continue;
        // The next hop: the route's own, or the first usable one of a multipath route's. Each hop
        // of a multipath route carries its own flags; the route's say nothing of them.
        std::optional<NextHop> hop;
        if (const auto multipath = found.find(RTA_MULTIPATH); multipath != found.end())
            hop = firstUsableHop(multipath->second);
        else if (const int index = static_cast<int>(number(found, RTA_OIF));
                 index != 0 && !(fixed.rtm_flags & (RTNH_F_DEAD | RTNH_F_LINKDOWN)))
            hop = NextHop{index, found.count(RTA_GATEWAY) ? found.at(RTA_GATEWAY) : QByteArray()};
        if (hop)
            routes.push_back({fixed.rtm_family, hop->interfaceIndex, number(found, RTA_PRIORITY), hop->gateway});
    }
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
    const auto links = dump(RTM_GETLINK, AF_UNSPEC);
    const auto addresses = links ? dump(RTM_GETADDR, AF_UNSPEC) : std::nullopt;
    if (!addresses)
        return {};
    QList<QByteArray> lines;
    for (const auto& [type, payload] : *links) {
        const auto fixed = header<ifinfomsg>(payload);
        if (type == RTM_NEWLINK && (fixed.ifi_flags & IFF_UP))
            lines << "link " + QByteArray::number(fixed.ifi_index) + ' '
                    + text(attributes(payload, sizeof(ifinfomsg)), IFLA_IFNAME);
    }
    for (const auto& [type, payload] : *addresses) {
        const auto fixed = header<ifaddrmsg>(payload);
        const auto found = attributes(payload, sizeof(ifaddrmsg));
        if (type == RTM_NEWADDR)
            lines << "addr " + QByteArray::number(fixed.ifa_index) + ' ' + localAddress(found).toHex() + '/'
                    + QByteArray::number(fixed.ifa_prefixlen) + ' ' + QByteArray::number(addressFlags(payload, found));
    }
    for (const DefaultRoute& route : defaultRoutes()) {
        lines << "route " + QByteArray::number(route.family) + ' ' + QByteArray::number(route.interfaceIndex) + ' '
                + QByteArray::number(route.metric) + ' ' + route.gateway.toHex();
    }
    std::sort(lines.begin(), lines.end());
    return lines.join('\n');
}
