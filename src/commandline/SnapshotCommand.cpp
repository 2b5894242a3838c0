#include "commandline/SnapshotCommand.h"

#include "network/HostnameModel.h"
#include "network/NetworkInterfaces.h"
#include "network/PublicIPService.h"
#include "platform/Clock.h"

SnapshotCommand::SnapshotCommand(NetworkInventory& inventory, HostnameModel& hostname, Lookups lookups, Clock& clock,
                                 TailscaleStatusSource* tailscale, QObject* parent)
    : QObject(parent)
    , m_inventory(inventory)
    , m_hostname(hostname)
    , m_lookups(lookups)
    , m_clock(clock)
    , m_tailscale(tailscale)
{
    m_hostnameWait.setSingleShot(true);
    m_hostnameWait.setInterval(hostnameWait);
}

SnapshotCommand::~SnapshotCommand() = default;

void SnapshotCommand::start()
{
    if (m_tailscale) {
        connect(m_tailscale, &TailscaleStatusSource::answered, this, &SnapshotCommand::makeLists);
        m_tailscale->query();
    } else {
        makeLists(std::nullopt);
    }

    const auto hostnameDone = [this] {
        m_isHostnameDone = true;
        m_hostnameWait.stop();
        finishIfDone();
    };
    connect(&m_hostname, &HostnameModel::resolved, this, hostnameDone);
    connect(&m_hostnameWait, &QTimer::timeout, this, hostnameDone);
    m_hostnameWait.start();
    m_hostname.resolve();

    m_snapshot.isPublicLookupEnabled = m_lookups.isEnabled;
    m_snapshot.hasIPv6Route = m_inventory.hasIPv6DefaultRoute();
    if (!m_lookups.isEnabled)
        return;
    if (m_lookups.ipv4) {
        ++m_pendingLookups;
        m_lookup = m_lookups.ipv4->fetch();
        connect(m_lookup.get(), &PublicIPLookup::finished, this, [this] {
            if (const auto address = m_lookup->address()) {
                m_snapshot.publicAddress = address;
                m_snapshot.lastUpdated = m_clock.now();
            } else {
                m_snapshot.lastError = description(m_lookup->error().value_or(PublicIPError::noValidResponse));
            }
            --m_pendingLookups;
            finishIfDone();
        });
    }
    if (m_lookups.ipv6 && m_snapshot.hasIPv6Route) {
        ++m_pendingLookups;
        m_lookup6 = m_lookups.ipv6->fetch();
        connect(m_lookup6.get(), &PublicIPLookup::finished, this, [this] {
            m_snapshot.publicIPv6Address = m_lookup6->address();
            --m_pendingLookups;
            finishIfDone();
        });
    }
}

void SnapshotCommand::makeLists(const std::optional<TailscaleStatus>& tailscale)
{
    NetworkInterfaces::Lists lists = NetworkInterfaces::lists(m_inventory, tailscale);
    m_snapshot.tailscaleAddresses = std::move(lists.tailscaleAddresses);
    m_snapshot.localAddresses = std::move(lists.localAddresses);
    if (tailscale && !tailscale->dnsName.isEmpty())
        m_snapshot.tailscaleName = tailscale->dnsName;
    m_areListsDone = true;
    finishIfDone();
}

void SnapshotCommand::finishIfDone()
{
    if (!m_isHostnameDone || m_pendingLookups > 0 || !m_areListsDone)
        return;
    m_snapshot.fullHostname = m_hostname.fullName();
    m_snapshot.shortHostname = HostnameModel::shortName(m_snapshot.fullHostname);
    Q_EMIT finished(m_snapshot);
}
