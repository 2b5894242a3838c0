#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

/// One rtnetlink socket for dumps of addresses, links and routes, read as the kernel writes them.
class NetlinkRoute {
public:
    /// A route to everything (prefix length 0) in the main table.
    struct DefaultRoute {
        int family = 0;
        int interfaceIndex = 0;
        std::uint32_t metric = 0;
        QByteArray gateway;
    };
    using AddressKey = std::pair<int, std::array<unsigned char, 16>>;

    NetlinkRoute();
    ~NetlinkRoute();
    NetlinkRoute(const NetlinkRoute&) = delete;
    NetlinkRoute& operator=(const NetlinkRoute&) = delete;

    /// Kernel flags (IFA_FLAGS) of every IPv6 address, by interface index and address bytes.
    std::optional<std::map<AddressKey, std::uint32_t>> ipv6AddressFlags();
    /// Default routes of the main table whose next hop is usable.
    std::vector<DefaultRoute> defaultRoutes();
    /// The interface of the lowest-metric IPv4 default route, else of the lowest-metric IPv6 one.
    std::optional<QString> primaryInterface();
    /// A canonical text of what the user can see change: up interfaces, their addresses with
    /// their flags, and default routes. Lifetimes are left out, so that refreshing them is no change.
    QByteArray pathDigest();

    /// The interface of the preferred default route among routes; a stateless rule.
    static std::optional<int> primaryInterfaceIndex(const std::vector<DefaultRoute>& routes);

    /// An rtnetlink socket that hears of the groups (RTMGRP_*): non-blocking, close-on-exec;
    /// -1 when there is none.
    static int openSocket(std::uint32_t groups = 0);

private:
    /// Every message of a dump of this type for the family: type and payload, or nothing on failure.
    std::optional<std::vector<std::pair<int, QByteArray>>> dump(int type, int family);

    int m_socket = -1;
    std::uint32_t m_sequence = 0;
};
