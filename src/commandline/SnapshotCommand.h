#pragma once

#include "commandline/Snapshot.h"
#include "platform/TailscaleStatus.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class Clock;
class HostnameModel;
class NetworkInventory;
class PublicIPLookup;
class PublicIPService;
class TailscaleStatusSource;

/// One interface step and at most one public lookup, without monitoring: the command line's snapshot.
class SnapshotCommand : public QObject {
    Q_OBJECT
public:
    /// How long the snapshot waits for the fully qualified host name before it uses the plain one.
    static constexpr std::chrono::milliseconds hostnameWait{2000};

    /// The public lookups: none of a family is not asked.
    struct Lookups {
        PublicIPService* ipv4 = nullptr;
        /// Asked only while the machine has an IPv6 default route, beside the IPv4 one.
        PublicIPService* ipv6 = nullptr;
        /// False: the user turned public lookups off, and the snapshot says so.
        bool isEnabled = true;
    };

    /// tailscale: asked before the lists are made (it answers within its own short limit); none:
    /// Tailscale's interface is known by its name alone.
    SnapshotCommand(NetworkInventory& inventory, HostnameModel& hostname, Lookups lookups, Clock& clock,
                    TailscaleStatusSource* tailscale = nullptr, QObject* parent = nullptr);
    ~SnapshotCommand() override;

    void start();

Q_SIGNALS:
    void finished(const Snapshot& snapshot);

private:
    void finishIfDone();
    void makeLists(const std::optional<TailscaleStatus>& tailscale);

    NetworkInventory& m_inventory;
    HostnameModel& m_hostname;
    Lookups m_lookups;
    Clock& m_clock;
    TailscaleStatusSource* m_tailscale;
    Snapshot m_snapshot;
    std::unique_ptr<PublicIPLookup> m_lookup;
    std::unique_ptr<PublicIPLookup> m_lookup6;
    int m_pendingLookups = 0;
    QTimer m_hostnameWait;
    bool m_isHostnameDone = false;
    bool m_areListsDone = false;
};
