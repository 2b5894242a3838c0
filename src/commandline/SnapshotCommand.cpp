#include "commandline/SnapshotCommand.h"

#include "network/HostnameModel.h"
#include "network/NetworkInterfaces.h"
#include "network/PublicIPService.h"
#include "platform/Clock.h"

SnapshotCommand::SnapshotCommand(NetworkInventory& inventory, HostnameModel& hostname, PublicIPService* publicIPService,
                                 Clock& clock, QObject* parent)
    : QObject(parent)
    , m_inventory(inventory)
    , m_hostname(hostname)
    , m_publicIPService(publicIPService)
    , m_clock(clock)
{
    m_hostnameWait.setSingleShot(true);
    m_hostnameWait.setInterval(hostnameWait);
}

SnapshotCommand::~SnapshotCommand() = default;

void SnapshotCommand::start()
{
    const QList<InterfaceAddress> addresses = NetworkInterfaces::activeAddresses(m_inventory);
    m_snapshot.tailscaleAddresses = NetworkInterfaces::tailscaleAddresses(addresses);
    m_snapshot.localAddresses = NetworkInterfaces::localAddresses(addresses, m_inventory);

    const auto hostnameDone = [this] {
        m_isHostnameDone = true;
        m_hostnameWait.stop();
        finishIfDone();
    };
    connect(&m_hostname, &HostnameModel::resolved, this, hostnameDone);
    connect(&m_hostnameWait, &QTimer::timeout, this, hostnameDone);
    m_hostnameWait.start();
    m_hostname.resolve();

    if (!m_publicIPService) {
        m_isLookupDone = true;
        return;
    }
    m_lookup = m_publicIPService->fetch();
    connect(m_lookup.get(), &PublicIPLookup::finished, this, [this] {
        if (const auto address = m_lookup->address()) {
            m_snapshot.publicAddress = address;
            m_snapshot.lastUpdated = m_clock.now();
        } else {
            m_snapshot.lastError = description(m_lookup->error().value_or(PublicIPError::noValidResponse));
        }
        m_isLookupDone = true;
        finishIfDone();
    });
}

void SnapshotCommand::finishIfDone()
{
    if (!m_isHostnameDone || !m_isLookupDone)
        return;
    m_snapshot.fullHostname = m_hostname.fullName();
    m_snapshot.shortHostname = HostnameModel::shortName(m_snapshot.fullHostname);
    Q_EMIT finished(m_snapshot);
}
