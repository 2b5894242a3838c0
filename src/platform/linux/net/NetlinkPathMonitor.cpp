#include "platform/linux/net/NetlinkPathMonitor.h"

#include "platform/linux/net/NetlinkRoute.h"

#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <cerrno>

#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

NetlinkPathMonitor::NetlinkPathMonitor(QObject* parent)
    : PathMonitor(parent)
{
}

NetlinkPathMonitor::~NetlinkPathMonitor()
{
    delete m_notifier;
    if (m_socket >= 0)
        close(m_socket);
}

void NetlinkPathMonitor::start()
{
    if (m_socket >= 0)
        return;
    // The first report comes whatever happens below: the path is always reported once.
    QTimer::singleShot(0, this, &PathMonitor::pathChanged);

    m_socket = NetlinkRoute::openSocket(RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE
                                        | RTMGRP_IPV6_ROUTE);
    if (m_socket < 0)
        return;
    m_digest = NetlinkRoute().pathDigest();
    m_notifier = new QSocketNotifier(m_socket, QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &NetlinkPathMonitor::drain);
}

void NetlinkPathMonitor::drain()
{
    // The messages only say that something moved; what moved is read from a fresh dump, which
    // also tells a real change from a lifetime refresh.
    bool overran = false;
    std::array<char, 16384> buffer{};
    for (;;) {
        const ssize_t received = ::recv(m_socket, buffer.data(), buffer.size(), MSG_DONTWAIT);
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
