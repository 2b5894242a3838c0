#include "platform/linux/net/NetlinkPathMonitor.h"

#include "platform/linux/net/NetlinkRoute.h"

#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <cerrno>

#include <linux/rtnetlink.h>
#include <netlink/netlink.h>
#include <netlink/socket.h>
#include <sys/socket.h>

NetlinkPathMonitor::NetlinkPathMonitor(QObject* parent)
    : PathMonitor(parent)
{
}

NetlinkPathMonitor::~NetlinkPathMonitor()
{
    delete m_notifier;
    if (m_socket)
        nl_socket_free(m_socket);
}

void NetlinkPathMonitor::start()
{
    if (m_socket)
        return;
    // The first report comes whatever happens below: the path is always reported once.
    QTimer::singleShot(0, this, &PathMonitor::pathChanged);

    m_socket = nl_socket_alloc();
    if (!m_socket)
        return;
    nl_socket_disable_seq_check(m_socket);
    if (nl_connect(m_socket, NETLINK_ROUTE) < 0
        || nl_socket_add_memberships(m_socket, RTNLGRP_LINK, RTNLGRP_IPV4_IFADDR, RTNLGRP_IPV6_IFADDR,
                                     RTNLGRP_IPV4_ROUTE, RTNLGRP_IPV6_ROUTE, 0)
            < 0
        || nl_socket_set_nonblocking(m_socket) < 0) {
        nl_socket_free(m_socket);
        m_socket = nullptr;
        return;
    }
    m_digest = NetlinkRoute().pathDigest();
    m_notifier = new QSocketNotifier(nl_socket_get_fd(m_socket), QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &NetlinkPathMonitor::drain);
}

void NetlinkPathMonitor::drain()
{
    // The messages only say that something moved; what moved is read from a fresh dump, which
    // also tells a real change from a lifetime refresh.
    bool overran = false;
    std::array<char, 16384> buffer{};
    for (;;) {
        const ssize_t received = ::recv(nl_socket_get_fd(m_socket), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (received >= 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno == ENOBUFS) {
            overran = true;
            continue;
        }
        break;
    }
    QByteArray digest = NetlinkRoute().pathDigest();
    if (overran || digest != m_digest) {
        m_digest = std::move(digest);
        Q_EMIT pathChanged();
    }
}
