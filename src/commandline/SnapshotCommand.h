#pragma once

#include "commandline/Snapshot.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class Clock;
class HostnameModel;
class NetworkInventory;
class PublicIPLookup;
class PublicIPService;

/// One interface step and at most one public lookup, without monitoring: the command line's snapshot.
class SnapshotCommand : public QObject {
    Q_OBJECT
public:
    /// How long the snapshot waits for the fully qualified host name before it uses the plain one.
    static constexpr std::chrono::milliseconds hostnameWait{2000};

    SnapshotCommand(NetworkInventory& inventory, HostnameModel& hostname, PublicIPService* publicIPService,
                    Clock& clock, QObject* parent = nullptr);
    ~SnapshotCommand() override;

    void start();

Q_SIGNALS:
    void finished(const Snapshot& snapshot);

private:
    void finishIfDone();

    NetworkInventory& m_inventory;
    HostnameModel& m_hostname;
    PublicIPService* m_publicIPService;
    Clock& m_clock;
    Snapshot m_snapshot;
    std::unique_ptr<PublicIPLookup> m_lookup;
    QTimer m_hostnameWait;
    bool m_isHostnameDone = false;
    bool m_isLookupDone = false;
};
