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

    /// tailscale: asked before the lists are made (it answers within its own short limit); none:
    /// Tailscale's interface is known by its name alone.
    SnapshotCommand(NetworkInventory& inventory, HostnameModel& hostname, PublicIPService* publicIPService,
                    Clock& clock, TailscaleStatusSource* tailscale = nullptr, QObject* parent = nullptr);
    ~SnapshotCommand() override;

    void start();

Q_SIGNALS:
    void finished(const Snapshot& snapshot);

private:
    void finishIfDone();
    void makeLists(const std::optional<TailscaleStatus>& tailscale);

    NetworkInventory& m_inventory;
    HostnameModel& m_hostname;
    PublicIPService* m_publicIPService;
    Clock& m_clock;
    TailscaleStatusSource* m_tailscale;
    Snapshot m_snapshot;
    std::unique_ptr<PublicIPLookup> m_lookup;
    QTimer m_hostnameWait;
    bool m_isHostnameDone = false;
    bool m_isLookupDone = false;
    bool m_areListsDone = false;
};
