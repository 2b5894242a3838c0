#pragma once

#include "network/LocalAddress.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class HostnameModel;
class NetworkStatusModel;

/// Everything Tavrink knows at one moment, as the command line prints it.
struct Snapshot {
    QString fullHostname;
    QString shortHostname;
    std::optional<QString> publicAddress;
    QList<QString> tailscaleAddresses;
    QList<LocalAddress> localAddresses;
    std::optional<QDateTime> lastUpdated;
    std::optional<QString> lastError;
    std::optional<QString> tailscaleName;
    std::optional<QString> publicIPv6Address;
    bool hasIPv6Route = false;
    bool isPublicLookupEnabled = true;

    static Snapshot of(const HostnameModel& hostname, const NetworkStatusModel& model);

    /// One JSON object on one line, keys in a fixed order.
    QByteArray toJson() const;
    /// The lines of the menu above "Refresh Now".
    QStringList menuLines(bool useFQDN, bool showLocalAddresses, bool showVirtualNetworks) const;
};
