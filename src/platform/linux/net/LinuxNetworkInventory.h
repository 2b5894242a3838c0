#pragma once

#include "platform/NetworkInventory.h"
#include "platform/linux/net/SysfsDisplayNames.h"

/// The network inventory of a Linux machine: getifaddrs for addresses, rtnetlink for IPv6
/// address state and default routes, sysfs for display names.
class LinuxNetworkInventory : public NetworkInventory {
public:
    explicit LinuxNetworkInventory(SysfsDisplayNames displayNames = SysfsDisplayNames());

    std::vector<SystemAddressEntry> addressEntries() override;
    QHash<QString, QString> displayNames() override;
    std::optional<QString> primaryInterface() override;
    bool hasIPv6DefaultRoute() override;

private:
    SysfsDisplayNames m_displayNames;
};
