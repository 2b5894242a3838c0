#pragma once

#include "platform/PathMonitor.h"

#include <QByteArray>

class QSocketNotifier;
struct nl_sock;

/// Watches rtnetlink's link, address and route groups and reports when what the user can see
/// changed: up interfaces, their addresses, default routes. Lifetime refreshes are no change;
/// a lost notification (the socket overran) is.
class NetlinkPathMonitor : public PathMonitor {
    Q_OBJECT
public:
    explicit NetlinkPathMonitor(QObject* parent = nullptr);
    ~NetlinkPathMonitor() override;

    void start() override;

private:
    void drain();

    nl_sock* m_socket = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_digest;
};
