#pragma once

#include "platform/PathMonitor.h"

#include <QByteArray>

class QSocketNotifier;

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

    int m_socket = -1;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_digest;
};
